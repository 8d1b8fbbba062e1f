// The S5 Fetch/Write request header and the rule that turns a gate's kind,
// packed address and count into org id, DB number, start address and length.
// Fetch requests (read path) and write requests (write path) share it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kesta {

inline constexpr size_t kS5HeaderSize = 16;
inline constexpr uint8_t kS5OpFetch = 5;
inline constexpr uint8_t kS5OpWrite = 3;

// Request header bytes.
inline constexpr size_t kS5HdOpCode = 5;
inline constexpr size_t kS5HdOrgId = 8;
inline constexpr size_t kS5HdDbNumber = 9;
inline constexpr size_t kS5HdStart = 10;   // big-endian
inline constexpr size_t kS5HdLength = 12;  // big-endian
// Answer header: the S5 error number, 0 when the request was carried out.
inline constexpr size_t kS5AnswerError = 8;

inline constexpr uint8_t kS5OrgData = 1;
inline constexpr uint8_t kS5OrgFlags = 2;
inline constexpr uint8_t kS5OrgInputs = 3;
inline constexpr uint8_t kS5OrgOutputs = 4;

// Longest string a gate may address (the parser allows even lengths 2 to 80).
inline constexpr uint32_t kMaxStringLength = 80;

struct S5RequestFields {
  uint8_t orgId;
  uint8_t dbNumber;  // org id 1 only; 0 otherwise
  uint16_t start;    // words for org id 1, bytes otherwise
  uint16_t length;   // same unit as start
};

// The header fields for `count` gates of `kind` from `s5Address`. Every step
// is 16-bit arithmetic; only the low 16 bits are kept. False when the kind
// produces no frame (station status, unknown codes, a string length outside
// 1 to 80).
bool S5FieldsFor(int32_t kind, int32_t s5Address, uint16_t count, S5RequestFields* out);

// Data bytes that a request's length field covers for `count` gates, counted
// without 16-bit wrap: the answer data of a fetch, the data of a write frame.
// 0 for a kind that produces no frame.
uint64_t S5CoveredBytes(int32_t kind, int32_t s5Address, uint32_t count);

// Writes the 16 header bytes for a request with `opCode`.
void PutS5Header(uint8_t* header, uint8_t opCode, const S5RequestFields& fields);

}  // namespace kesta
