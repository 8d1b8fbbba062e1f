#include "gate_value.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kestatool {
namespace {

uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Decimal or 0x hexadecimal, with an optional sign.
bool ParseInteger(std::string_view text, int64_t* out) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (magnitude > (uint64_t{1} << 40)) return false;  // far beyond every gate
  *out = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool ParseDigital(std::string_view text, int64_t* out) {
  if (text == "1" || text == "on" || text == "true") {
    *out = 1;
    return true;
  }
  if (text == "0" || text == "off" || text == "false") {
    *out = 0;
    return true;
  }
  return false;
}

bool ParseReal(std::string_view text, float* out) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  float value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  *out = value;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A text as written on the command line: bare, or in double quotes with
// backslash escapes.
bool ParseText(std::string_view text, std::string* out, std::string* error) {
  out->clear();
  if (text.empty() || text[0] != '"') {
    out->assign(text);
    return true;
  }
  if (text.size() < 2 || text.back() != '"') {
    *error = "the closing quote is missing";
    return false;
  }
  text = text.substr(1, text.size() - 2);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      *error = "a quote inside quoted text must be written \\\"";
      return false;
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i == text.size()) {
      *error = "the text ends with a lone backslash";
      return false;
    }
    switch (text[i]) {
      case '\\': *out += '\\'; break;
      case '"': *out += '"'; break;
      case 'n': *out += '\n'; break;
      case 't': *out += '\t'; break;
      case 'r': *out += '\r'; break;
      case 'x': {
        const int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
          *error = "\\x needs two hexadecimal digits";
          return false;
        }
        if (hi == 0 && lo == 0) {
          *error = "a string gate cannot hold a zero byte";
          return false;
        }
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + text[i];
        return false;
    }
  }
  return true;
}

std::string TextFrom(const uint8_t* p, size_t length) {
  size_t n = 0;
  while (n < length && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

GateValue Decode(const GateFields& f, int32_t gateType, const uint8_t* p, bool single) {
  GateValue v;
  v.form = FormOf(f, gateType);
  switch (v.form) {
    case ValueForm::Digital:
      v.integer = GetLe16(p + 2);
      break;
    case ValueForm::Unsigned:
      if (single) {
        v.integer = GetLe16(p + 2);
      } else {
        v.integer = BlockElementSize(f) == 2 ? GetLe16(p) : p[0];
      }
      break;
    case ValueForm::Signed:
      v.integer = static_cast<int32_t>(GetLe32(p));
      break;
    case ValueForm::Real:
      v.real = std::bit_cast<float>(GetLe32(p));
      break;
    case ValueForm::Text:
      v.text = TextFrom(p, StringLength(f));
      break;
  }
  return v;
}

bool OutOfRange(int64_t value, int64_t low, int64_t high, std::string* error) {
  if (value >= low && value <= high) return false;
  *error = "the value is out of range " + std::to_string(low) + " to " + std::to_string(high);
  return true;
}

// Puts `text` at `p`: a single gate's buffer or one block element.
bool Encode(const GateFields& f, int32_t gateType, std::string_view text, uint8_t* p, bool single,
            std::string* error) {
  const ValueForm form = FormOf(f, gateType);
  int64_t integer = 0;
  switch (form) {
    case ValueForm::Digital:
      if (!ParseDigital(text, &integer)) {
        *error = "a bit takes 0 or 1";
        return false;
      }
      PutLe16(p + 2, static_cast<uint16_t>(integer));
      return true;
    case ValueForm::Unsigned: {
      if (!ParseInteger(text, &integer)) {
        *error = "not a whole number (decimal, or hexadecimal with 0x)";
        return false;
      }
      const int64_t high = UnsignedLimit(f);
      // A data word also takes the signed form of its 16 bits.
      const int64_t low = high == 0xFFFF ? -32768 : 0;
      if (OutOfRange(integer, low, high, error)) return false;
      const uint16_t bits = static_cast<uint16_t>(integer);
      if (single) {
        PutLe16(p + 2, bits);
      } else if (BlockElementSize(f) == 2) {
        PutLe16(p, bits);
      } else {
        p[0] = static_cast<uint8_t>(bits);
      }
      return true;
    }
    case ValueForm::Signed:
      if (!ParseInteger(text, &integer)) {
        *error = "not a whole number (decimal, or hexadecimal with 0x)";
        return false;
      }
      if (OutOfRange(integer, INT32_MIN, UINT32_MAX, error)) return false;
      PutLe32(p, static_cast<uint32_t>(integer));
      return true;
    case ValueForm::Real: {
      float value = 0;
      if (!ParseReal(text, &value) || !std::isfinite(value)) {
        *error = "not a finite number";
        return false;
      }
      if (f.kind == 'Y') {
        // The S5 format holds exponents -128 to 127 and has no negative
        // zero: values it cannot hold would arrive as quite different ones.
        if (value == 0) value = 0.0f;
        const uint32_t exponent = (std::bit_cast<uint32_t>(value) >> 23) & 0xFFu;
        if (value != 0 && (exponent == 0 || exponent >= 254)) {
          *error = exponent == 0 ? "too small for an S5 float (below 1.2e-38)"
                                 : "too large for an S5 float (2^127 or more)";
          return false;
        }
      }
      PutLe32(p, std::bit_cast<uint32_t>(value));
      return true;
    }
    case ValueForm::Text: {
      std::string value;
      if (!ParseText(text, &value, error)) return false;
      const size_t length = StringLength(f);
      if (value.size() > length) {
        *error = "the text has " + std::to_string(value.size()) + " characters, the gate holds " +
                 std::to_string(length);
        return false;
      }
      std::memset(p, 0, single ? kSingleBufferSize : kStringSlotSize);
      std::memcpy(p, value.data(), value.size());
      return true;
    }
  }
  return false;
}

}  // namespace

ValueForm FormOf(const GateFields& f, int32_t gateType) {
  if (f.bit != -1) return ValueForm::Digital;
  switch (f.kind) {
    case '$':
      return ValueForm::Text;
    case 'Y':
      return ValueForm::Real;
    case 'L':
      return gateType == kTypeFloat ? ValueForm::Real : ValueForm::Signed;
    default:
      return ValueForm::Unsigned;
  }
}

uint32_t UnsignedLimit(const GateFields& f) {
  if (f.bit != -1) return 1;
  return f.kind == ' ' ? 0xFFFFu : 0xFFu;
}

size_t StringLength(const GateFields& f) {
  const size_t length = static_cast<uint32_t>(f.s5Address) >> 24;
  return length < kStringSlotSize ? length : kStringSlotSize - 1;
}

size_t BlockElementSize(const GateFields& f) {
  switch (f.kind) {
    case 'S':
    case 'M':
    case 'E':
    case 'A':
      return 1;
    case ' ':
      return 2;
    case 'L':
    case 'Y':
      return 4;
    case '$':
      return kStringSlotSize;
    default:
      return 0;
  }
}

GateValue DecodeSingle(const GateFields& f, int32_t gateType, const uint8_t* buffer) {
  return Decode(f, gateType, buffer, true);
}

GateValue DecodeElement(const GateFields& f, int32_t gateType, const uint8_t* buffer, size_t index) {
  return Decode(f, gateType, buffer + index * BlockElementSize(f), false);
}

std::string FormatValue(const GateValue& v) {
  switch (v.form) {
    case ValueForm::Digital:
    case ValueForm::Unsigned:
    case ValueForm::Signed:
      return std::to_string(v.integer);
    case ValueForm::Real: {
      if (std::isnan(v.real)) return "nan";
      if (std::isinf(v.real)) return v.real < 0 ? "-inf" : "inf";
      char text[32];
      const auto result = std::to_chars(text, text + sizeof text, v.real);
      return std::string(text, result.ptr);
    }
    case ValueForm::Text: {
      std::string out = "\"";
      for (const char c : v.text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
          case '"': out += "\\\""; break;
          case '\\': out += "\\\\"; break;
          case '\n': out += "\\n"; break;
          case '\t': out += "\\t"; break;
          case '\r': out += "\\r"; break;
          default:
            if (u < 0x20 || u >= 0x7F) {
              char hex[8];
              std::snprintf(hex, sizeof hex, "\\x%02X", u);
              out += hex;
            } else {
              out += c;
            }
        }
      }
      return out + "\"";
    }
  }
  return {};
}

bool EncodeSingle(const GateFields& f, int32_t gateType, std::string_view text, uint8_t* buffer,
                  std::string* error) {
  return Encode(f, gateType, text, buffer, true, error);
}

bool EncodeElement(const GateFields& f, int32_t gateType, std::string_view text, uint8_t* buffer,
                   size_t index, std::string* error) {
  return Encode(f, gateType, text, buffer + index * BlockElementSize(f), false, error);
}

bool SplitValueList(std::string_view text, std::vector<std::string>* out, std::string* error) {
  out->clear();
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '\\' && i + 1 < text.size()) {
      current += c;
      current += text[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out->emplace_back(Trim(current));
      current.clear();
      continue;
    }
    current += c;
  }
  if (quoted) {
    *error = "a quote is not closed";
    return false;
  }
  out->emplace_back(Trim(current));
  for (size_t i = 0; i < out->size(); ++i) {
    if ((*out)[i].empty()) {
      *error = "value " + std::to_string(i + 1) + " is empty";
      return false;
    }
  }
  return true;
}

}  // namespace kestatool
