// The number reader of the address parser. Every number of a gate address is
// read the way the C library's formatted scan reads it with "%02X", "%03X",
// "%04X", "%01X" or "%02u": leading white space is skipped, then at most
// `maxDigits` digits of the base are taken, stopping at the first character
// that is no digit; the read succeeds when at least one digit was taken.
//
// This is our own reader rather than sscanf, on purpose: sscanf would also
// take a '+' or '-' sign ("-1" read with %X gives 0xFFFFFFFF, "+2" with %u
// gives 2) and, for %X, a "0x" prefix. The per-position character table
// keeps signs and 'x' out of positions 0 to 7, but numbers may run on into
// the unchecked positions 8 and later (a DW or byte number after blanks, the
// string length at 8-9), where sscanf would accept a negative byte number or
// a signed string length. Here a sign or prefix is simply a non-digit. No
// locale is involved either.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kesta {

// Reads from text[pos] on, never past text[size - 1] and never past a NUL.
// On success stores the number in *value and returns true; otherwise leaves
// *value alone and returns false. `base` is 10 or 16.
bool ScanNumber(const char* text, size_t size, size_t pos, int maxDigits, int base,
                uint32_t* value);

// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char c);

}  // namespace kesta
