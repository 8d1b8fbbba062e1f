#include "config/line_scan.h"

#include <cstdint>

namespace kesta {
namespace {

// White space as the C locale's isspace sees it, without its sign pitfalls.
bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char* SkipSpace(const char* p) {
  while (IsScanSpace(*p)) ++p;
  return p;
}

// An optional sign, as the formatted scan takes one before %u and %x: a
// minus negates the number modulo 2^32. The sign counts against the width.
const char* ReadSign(const char* in, size_t* width, bool* negative) {
  *negative = *in == '-';
  if ((*in == '-' || *in == '+') && *width > 0) {
    --*width;
    return in + 1;
  }
  return in;
}

uint32_t ApplySign(uint32_t value, bool negative) { return negative ? 0u - value : value; }

// Each reader returns the position after the item, or null when no item
// could be read there.
const char* ReadDecimal(const char* in, size_t width, uint32_t* out) {
  bool negative = false;
  in = ReadSign(in, &width, &negative);
  uint32_t value = 0;
  size_t n = 0;
  for (; n < width && *in >= '0' && *in <= '9'; ++n, ++in) {
    const uint32_t digit = static_cast<uint32_t>(*in - '0');
    value = value > (UINT32_MAX - digit) / 10 ? UINT32_MAX : value * 10 + digit;
  }
  if (n == 0) return nullptr;
  *out = value == UINT32_MAX ? value : ApplySign(value, negative);
  return in;
}

const char* ReadHex(const char* in, size_t width, uint32_t* out) {
  bool negative = false;
  in = ReadSign(in, &width, &negative);
  uint32_t value = 0;
  size_t n = 0;
  for (; n < width && HexDigit(*in) >= 0; ++n, ++in) {
    value = (value << 4) | static_cast<uint32_t>(HexDigit(*in));
  }
  if (n == 0) return nullptr;
  *out = ApplySign(value, negative);
  return in;
}

const char* ReadText(const char* in, size_t width, char* out) {
  size_t n = 0;
  for (; n < width && *in != '\0' && !IsScanSpace(*in); ++n, ++in) out[n] = *in;
  out[n] = '\0';
  return n == 0 ? nullptr : in;
}

}  // namespace

int ScanLine(const char* line, const char* pattern, ScanItem* items, int capacity) {
  const char* in = line;
  const char* p = pattern;
  int count = 0;
  while (*p != '\0') {
    if (IsScanSpace(*p)) {
      p = SkipSpace(p);
      in = SkipSpace(in);
      continue;
    }
    if (*p != '%') {
      if (*in != *p) return count;
      ++in;
      ++p;
      continue;
    }
    ++p;
    size_t width = 0;
    for (; *p >= '0' && *p <= '9'; ++p) width = width * 10 + static_cast<size_t>(*p - '0');
    const char conversion = *p;
    if (conversion == '\0' || count >= capacity) return count;
    ++p;
    in = SkipSpace(in);
    ScanItem& item = items[count];
    switch (conversion) {
      case 'u':
        in = ReadDecimal(in, width == 0 ? SIZE_MAX : width, &item.number);
        break;
      case 'x':
        in = ReadHex(in, width == 0 ? 8 : width, &item.number);
        break;
      case 's':
        in = ReadText(in, width == 0 || width > kScanTextMax ? kScanTextMax : width, item.text);
        break;
      default:
        return count;
    }
    if (in == nullptr) return count;
    ++count;
  }
  return count;
}

}  // namespace kesta
