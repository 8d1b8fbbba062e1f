// Matching one init-file line against a pattern the way the C library's
// formatted scan matches it, for the directives the init file uses: a blank
// matches any run of white space (none included), every other literal must
// equal the next character (case counts), "%u" reads a decimal number,
// "%<w>x" at most w hexadecimal digits and "%<w>s" at most w characters up to
// white space (w at most 8); each conversion first skips white space.
//
// Numbers take an optional sign, counted in the width; a minus negates
// modulo 2^32, so "CARD = -5" reads as a huge number and fails the card
// test. Deliberate differences from sscanf, for inputs a sane init file never
// has: no "0x" prefix is taken (within a two-digit field it cannot be
// followed by a digit, and C libraries disagree on what it then reads), and
// a decimal number too large for 32 bits reads as 4294967295 instead of
// being undefined.
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
