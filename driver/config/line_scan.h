// Matching one init-file line against a pattern the way the C library's
// formatted scan matches it, for the directives the init file uses: a blank
// matches any run of white space (none included), every other literal must
// equal the next character (case counts), "%u" reads a decimal number,
// "%<w>x" at most w hexadecimal digits and "%<w>s" at most w characters up to
// white space (w at most 8); each conversion first skips white space.
//
// Deliberate differences from sscanf, for inputs a sane init file never has:
// no sign and no "0x" prefix is accepted, and a decimal number too large for
// 32 bits reads as 4294967295 instead of being undefined. So "CARD = -5" and
// "-1 = ..." are not read at all, where sscanf would turn them into huge
// numbers (a station number of 0xFFFFFFFF would index past the table).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kesta {

inline constexpr size_t kScanTextMax = 8;

struct ScanItem {
  uint32_t number;                 // %u, %x
  char text[kScanTextMax + 1];     // %s, NUL-terminated
};

// Matches the NUL-terminated `line` from its first character. Returns the
// number of items read before the first mismatch or the end of the line;
// whatever follows the last item read is ignored.
int ScanLine(const char* line, const char* pattern, ScanItem* items, int capacity);

}  // namespace kesta
