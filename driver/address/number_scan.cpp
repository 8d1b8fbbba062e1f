#include "address/number_scan.h"

namespace kesta {
namespace {

// White space as the C library's scan knows it in the "C" locale.
bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c, int base) {
  if (base == 10) return (c >= '0' && c <= '9') ? c - '0' : -1;
  return HexDigitValue(c);
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ScanNumber(const char* text, size_t size, size_t pos, int maxDigits, int base,
                uint32_t* value) {
  while (pos < size && IsScanSpace(text[pos])) ++pos;
  uint32_t number = 0;
  int taken = 0;
  while (taken < maxDigits && pos < size) {
    const int digit = DigitValue(text[pos], base);
    if (digit < 0) break;
    number = number * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    ++taken;
    ++pos;
  }
  if (taken == 0) return false;
  *value = number;
  return true;
}

}  // namespace kesta
