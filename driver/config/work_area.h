// The per-VPI work area: one byte-packed block of 10328 bytes that the host
// owns. Fields are reached by offset only; multi-byte fields are little-endian
// and stand at odd offsets, so they are read and written through the helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/bytes.h"

namespace kesta {

// VpiWorkArea
inline constexpr size_t kWaActive = 0;         // 1 byte
inline constexpr size_t kWaTimeoutMs = 1;      // int32
inline constexpr size_t kWaCardNumber = 5;     // 1 byte
inline constexpr size_t kWaReadTsap = 6;       // 9 bytes
inline constexpr size_t kWaWriteTsap = 15;     // 9 bytes
inline constexpr size_t kWaStations = 24;      // 256 x StationEntry
inline constexpr size_t kWaDataBuffer = 5144;  // 4160 bytes
inline constexpr size_t kWaTransferArea = 9304;  // 1024 bytes
inline constexpr size_t kWorkAreaSize = 10328;

inline constexpr size_t kTsapSize = 9;  // 8 characters and a NUL
inline constexpr size_t kStationCount = 256;
inline constexpr size_t kDataBufferSize = 4160;
inline constexpr size_t kTransferAreaSize = 1024;

// StationEntry
inline constexpr size_t kStFlags = 0;      // 1 byte
inline constexpr size_t kStReadConn = 1;   // int16
inline constexpr size_t kStWriteConn = 3;  // int16
inline constexpr size_t kStMac = 5;        // 6 bytes
inline constexpr size_t kStTsap = 11;      // 9 bytes
inline constexpr size_t kStationEntrySize = 20;
inline constexpr size_t kMacSize = 6;

static_assert(kWaTimeoutMs == kWaActive + 1 && kWaCardNumber == kWaTimeoutMs + 4 &&
              kWaReadTsap == kWaCardNumber + 1 && kWaWriteTsap == kWaReadTsap + kTsapSize &&
              kWaStations == kWaWriteTsap + kTsapSize &&
              kWaDataBuffer == kWaStations + kStationCount * kStationEntrySize &&
              kWaTransferArea == kWaDataBuffer + kDataBufferSize &&
              kWorkAreaSize == kWaTransferArea + kTransferAreaSize);
static_assert(kStReadConn == kStFlags + 1 && kStWriteConn == kStReadConn + 2 &&
              kStMac == kStWriteConn + 2 && kStTsap == kStMac + kMacSize &&
              kStationEntrySize == kStTsap + kTsapSize);

// Station flag bits.
inline constexpr uint8_t STATION_DEFINED = 0x01;
inline constexpr uint8_t READ_OPEN = 0x02;
inline constexpr uint8_t WRITE_OPEN = 0x04;
inline constexpr uint8_t LAST_READ_OK = 0x08;
inline constexpr uint8_t LAST_WRITE_OK = 0x10;

inline constexpr int16_t kNoConnection = -1;

enum class Direction { Read, Write };

// A station number from the host that has an entry in the table.
inline bool IsStationNumber(int32_t station) {
  return station >= 0 && static_cast<uint32_t>(station) < kStationCount;
}

inline uint8_t* StationEntryOf(uint8_t* work, uint32_t station) {
  return work + kWaStations + static_cast<size_t>(station) * kStationEntrySize;
}

inline bool IsActive(const uint8_t* work) { return work[kWaActive] != 0; }
inline void SetActive(uint8_t* work, bool on) { work[kWaActive] = on ? 1 : 0; }
inline int32_t TimeoutMs(const uint8_t* work) {
  return static_cast<int32_t>(GetLe32(work + kWaTimeoutMs));
}
inline void SetTimeoutMs(uint8_t* work, int32_t ms) {
  PutLe32(work + kWaTimeoutMs, static_cast<uint32_t>(ms));
}
inline uint8_t CardNumber(const uint8_t* work) { return work[kWaCardNumber]; }
inline void SetCardNumber(uint8_t* work, uint8_t card) { work[kWaCardNumber] = card; }
inline uint8_t* ReadTsap(uint8_t* work) { return work + kWaReadTsap; }
inline uint8_t* WriteTsap(uint8_t* work) { return work + kWaWriteTsap; }
inline uint8_t* DataBuffer(uint8_t* work) { return work + kWaDataBuffer; }
inline uint8_t* TransferArea(uint8_t* work) { return work + kWaTransferArea; }

inline uint8_t StationFlags(uint8_t* work, uint32_t station) {
  return StationEntryOf(work, station)[kStFlags];
}
inline void SetStationFlags(uint8_t* work, uint32_t station, uint8_t flags) {
  StationEntryOf(work, station)[kStFlags] = flags;
}
inline void SetStationFlagBits(uint8_t* work, uint32_t station, uint8_t bits) {
  StationEntryOf(work, station)[kStFlags] |= bits;
}
inline void ClearStationFlagBits(uint8_t* work, uint32_t station, uint8_t bits) {
  StationEntryOf(work, station)[kStFlags] &= static_cast<uint8_t>(~bits);
}
inline int16_t StationConn(uint8_t* work, uint32_t station, Direction dir) {
  const size_t at = dir == Direction::Read ? kStReadConn : kStWriteConn;
  return static_cast<int16_t>(GetLe16(StationEntryOf(work, station) + at));
}
inline void SetStationConn(uint8_t* work, uint32_t station, Direction dir, int16_t conn) {
  const size_t at = dir == Direction::Read ? kStReadConn : kStWriteConn;
  PutLe16(StationEntryOf(work, station) + at, static_cast<uint16_t>(conn));
}
inline uint8_t* StationMac(uint8_t* work, uint32_t station) {
  return StationEntryOf(work, station) + kStMac;
}
inline uint8_t* StationTsap(uint8_t* work, uint32_t station) {
  return StationEntryOf(work, station) + kStTsap;
}

// Stores an 8-character TSAP name: `text` (up to its NUL or `len` characters,
// at most 8) padded with blanks, then a NUL.
void StoreTsap(uint8_t* dest, const char* text, size_t len);

void ResetWorkArea(uint8_t* work);

}  // namespace kesta
