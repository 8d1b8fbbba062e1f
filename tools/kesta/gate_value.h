// Gate values between the command line and the host's value buffer. The
// buffer layouts are those the driver reads and stores: a single word, byte,
// bit or station status as an unsigned 16-bit value at offset 2, a double
// word or float as 32 bits at offset 0, a string as its bytes from offset 0
// with a zero after them; blocks as consecutive elements (bytes, 16-bit or
// 32-bit little-endian values, 81-byte string slots).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gate_types.h"

namespace kestatool {

// Room for one gate of any kind: the longest string (80) and its zero.
inline constexpr size_t kSingleBufferSize = 84;
inline constexpr size_t kStringSlotSize = 81;

enum class ValueForm {
  Digital,   // 0 or 1
  Unsigned,  // a word, a byte or station flags
  Signed,    // a double word
  Real,      // an IEEE single-precision number
  Text,      // the bytes of a string gate
};

// How a gate's value is shown and entered: follows the kind, the bit and the
// gate type (FLOAT makes a double word an IEEE number).
ValueForm FormOf(const GateFields& f, int32_t gateType);

// The largest value of an unsigned gate: 1, 255 or 65535.
uint32_t UnsignedLimit(const GateFields& f);

// String length of a '$' gate (bits 24-31 of the packed address).
size_t StringLength(const GateFields& f);

// Bytes one element of a block takes in the host's buffer; 0 for kinds that
// make no block.
size_t BlockElementSize(const GateFields& f);

struct GateValue {
  ValueForm form = ValueForm::Unsigned;
  int64_t integer = 0;
  float real = 0;
  std::string text;
};

// Reads the value the driver stored for a single gate.
GateValue DecodeSingle(const GateFields& f, int32_t gateType, const uint8_t* buffer);
// Reads element `index` of a block buffer.
GateValue DecodeElement(const GateFields& f, int32_t gateType, const uint8_t* buffer, size_t index);

// "1234", "1.5", "\"text\"" (quotes, with \" \\ \t \n \r and \xHH escapes).
std::string FormatValue(const GateValue& v);

// Parses `text` in the form of the gate and puts it where the driver takes it
// from: a single gate's value (the buffer has kSingleBufferSize bytes) or
// element `index` of a block. On a bad value returns false with a reason.
bool EncodeSingle(const GateFields& f, int32_t gateType, std::string_view text, uint8_t* buffer,
                  std::string* error);
bool EncodeElement(const GateFields& f, int32_t gateType, std::string_view text, uint8_t* buffer,
                   size_t index, std::string* error);

// Splits "v1,v2,..." at commas outside double quotes.
bool SplitValueList(std::string_view text, std::vector<std::string>* out, std::string* error);

}  // namespace kestatool
