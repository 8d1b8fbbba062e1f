// What a gate addresses, as the address parser encodes it and every read and
// write path decodes it: the DataKind code, the packed s5Address and the
// host's gate type codes. This is the one definition of those fields.
#pragma once

#include <cstdint>

namespace kesta {

// DataKind: a character code held in a 32-bit `kind` field.
inline constexpr int32_t kKindWord = ' ';    // data word, or one bit of it
inline constexpr int32_t kKindString = '$';  // string of L bytes in a data block
inline constexpr int32_t kKindByte = 'S';    // one byte of a data word
inline constexpr int32_t kKindDouble = 'L';  // 32-bit double word
inline constexpr int32_t kKindFloat = 'Y';   // S5 floating point
inline constexpr int32_t kKindFlag = 'M';    // flag byte
inline constexpr int32_t kKindInput = 'E';   // input byte
inline constexpr int32_t kKindOutput = 'A';  // output byte
inline constexpr int32_t kKindStatus = '*';  // the driver's status flags of a station

// `bit` when the address names the whole value.
inline constexpr int32_t kNoBit = -1;

// `width`, the addressed item's width in bits: 8 for 'S', 'M', 'E', 'A' and
// '*', 16 for ' ' and '$', 32 for 'L' and 'Y'.
inline constexpr int32_t kWidthByte = 8;
inline constexpr int32_t kWidthWord = 16;
inline constexpr int32_t kWidthDouble = 32;

// s5Address: bits 24-31 string length (kind '$'), bits 16-23 DB number,
// bits 0-15 the address in the unit of the kind.
inline uint32_t S5StringLength(int32_t s5Address) {
  return static_cast<uint32_t>(s5Address) >> 24;
}
inline uint32_t S5DbNumber(int32_t s5Address) {
  return (static_cast<uint32_t>(s5Address) >> 16) & 0xFFu;
}
inline uint16_t S5Unit(int32_t s5Address) {
  return static_cast<uint16_t>(static_cast<uint32_t>(s5Address) & 0xFFFFu);
}
inline int32_t PackS5Address(uint32_t stringLength, uint32_t db, uint32_t unit) {
  return static_cast<int32_t>((stringLength << 24) | ((db & 0xFFu) << 16) | (unit & 0xFFFFu));
}

// The host's gate type codes (0, 1 and 2 are words and bytes without a name).
inline constexpr int32_t kGateFloat = 3;
inline constexpr int32_t kGateLong = 4;
inline constexpr int32_t kGateLongAlt = 5;
inline constexpr int32_t kGateDigital = 6;
inline constexpr int32_t kGateString = 7;

}  // namespace kesta
