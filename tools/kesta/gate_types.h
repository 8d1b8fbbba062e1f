// What the tool knows about a gate besides its address text: the host's
// gate type codes by name, the fields the driver encoded, and the names of
// the data kinds and station flags for people.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestatool {

// The host's gate type codes as the driver checks them.
inline constexpr int32_t kTypeWord = 0;  // words, bytes and station status (also 1, 2)
inline constexpr int32_t kTypeFloat = 3;
inline constexpr int32_t kTypeLong = 4;  // also 5
inline constexpr int32_t kTypeDigital = 6;
inline constexpr int32_t kTypeString = 7;

// "word", "float", "long", "digital", "string" or a code 0 to 7; "byte" and
// "status" are other names of the word type, which serves bytes as well.
std::optional<int32_t> GateTypeFromName(std::string_view name);
std::string GateTypeName(int32_t type);

// The five fields the address parser writes, as the host keeps them.
struct GateFields {
  int32_t station = 0;
  int32_t kind = 0;
  int32_t s5Address = 0;
  int32_t bit = -1;
  int32_t width = 0;
};

bool IsKnownKind(int32_t kind);

// The gate type a host gives an address of these fields: DIGITAL for a bit,
// STRING, FLOAT or LONG for those kinds, word for the rest.
int32_t InferGateType(const GateFields& f);

// The gate type's name as it applies to these fields: the word type of a
// byte or station status gate reads "byte" or "status".
std::string GateTypeNameFor(const GateFields& f, int32_t type);

// "data word", "flag byte", ... for a kind code.
const char* KindName(int32_t kind);

// Where the gate lies, in words: "station 0x0A, DB 5, DW 18, bit 3".
std::string DescribeLocation(const GateFields& f);

// Station flag bits, the value of a station status gate.
inline constexpr uint8_t kFlagDefined = 0x01;
inline constexpr uint8_t kFlagReadOpen = 0x02;
inline constexpr uint8_t kFlagWriteOpen = 0x04;
inline constexpr uint8_t kFlagLastReadOk = 0x08;
inline constexpr uint8_t kFlagLastWriteOk = 0x10;

// "defined, read open, last read ok"; "none" for 0.
std::string DescribeFlags(uint32_t flags);

}  // namespace kestatool
