// Shared set-up of the S5 data exchange tests: a harness with an active VPI,
// one defined station, the fake card library bound, and a host value buffer
// with guard bytes on both sides.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "address/data_kind.h"
#include "common/bytes.h"
#include "config/work_area.h"
#include "driver_harness.h"
#include "h1/blocks.h"

namespace kesta::test {

// The host's value storage, with guard bytes the driver must never touch.
class HostBuffer {
 public:
  static constexpr size_t kGuard = 32;
  static constexpr uint8_t kGuardByte = 0xC3;
  static constexpr uint8_t kFill = 0x5A;

  explicit HostBuffer(size_t size = 16) : size_(size), bytes_(size + 2 * kGuard, kGuardByte) {
    std::memset(data(), kFill, size_);
  }
  uint8_t* data() { return bytes_.data() + kGuard; }
  size_t size() const { return size_; }
  std::vector<uint8_t> contents() const {
    return std::vector<uint8_t>(bytes_.begin() + kGuard, bytes_.begin() + kGuard + size_);
  }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (bytes_[i] != kGuardByte || bytes_[kGuard + size_ + i] != kGuardByte) return false;
    }
    return true;
  }
  uint16_t Value16() { return GetLe16(data() + 2); }
  void SetValue16(uint16_t v) { PutLe16(data() + 2, v); }
  uint32_t Value32() { return GetLe32(data()); }
  void SetValue32(uint32_t v) { PutLe32(data(), v); }

 private:
  size_t size_;
  std::vector<uint8_t> bytes_;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int b : list) out.push_back(static_cast<uint8_t>(b));
  return out;
}

// A fetch answer or write acknowledgement: a 16-byte header with the error
// number at byte 8, then `data`.
inline std::vector<uint8_t> Answer(const std::vector<uint8_t>& data = {}, uint8_t error = 0) {
  static constexpr uint8_t kHeader[16] = {'S', '5', 0x10, 0x01, 0x03, 0x06, 0x0F, 0x03,
                                          0,   0xFF, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00};
  std::vector<uint8_t> out;
  out.reserve(sizeof kHeader + data.size());
  for (uint8_t b : kHeader) out.push_back(b);
  out[8] = error;
  for (uint8_t b : data) out.push_back(b);
  return out;
}

inline CardReply Piece(std::vector<uint8_t> data, uint16_t status = 0, uint16_t rc = 0) {
  CardReply r;
  r.rc = rc;
  r.status = status;
  r.data = std::move(data);
  return r;
}

inline CardReply Status(uint16_t status, uint16_t rc = 0) { return Piece({}, status, rc); }

class S5Test : public ::testing::Test {
 protected:
  static constexpr int32_t kStation = 0x0A;
  static constexpr const char* kText = "0A05012";

  S5Test() {
    ResetWorkArea(h.work());
    SetStationFlags(h.work(), kStation, STATION_DEFINED);
    const uint8_t mac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x03};
    std::memcpy(StationMac(h.work(), kStation), mac, sizeof mac);
    StoreTsap(StationTsap(h.work(), kStation), "TAMSTAT", 7);
    SetActive(h.work(), true);
    BindFakeCard();
  }

  IoRecord Gate(int32_t kind, int32_t s5Address, HostBuffer& buffer, int32_t bit = kNoBit,
                int32_t count = 1, int32_t gateType = 0) {
    IoRecord io{};
    io.address = kText;
    io.station = kStation;
    io.kind = kind;
    io.s5Address = s5Address;
    io.bit = bit;
    io.width = kind == kKindDouble || kind == kKindFloat ? 32 : 16;
    io.gateType = gateType;
    io.count = count;
    io.data = buffer.data();
    return io;
  }

  uint8_t Flags() { return StationFlags(h.work(), kStation); }

  // The data of every piece handed to H1SendeDaten, in order.
  std::vector<std::vector<uint8_t>> SentPieces() const {
    std::vector<std::vector<uint8_t>> out;
    for (const CardCall& call : h.card.callsOf("H1SendeDaten")) {
      const uint16_t length = GetLe16(call.block.data() + kTbLength);
      out.emplace_back(call.block.begin() + kTbSendData,
                       call.block.begin() + kTbSendData + length);
    }
    return out;
  }
  std::vector<uint16_t> SentConnectionWords() const {
    std::vector<uint16_t> out;
    for (const CardCall& call : h.card.callsOf("H1SendeDaten")) {
      out.push_back(GetLe16(call.block.data() + kTbConnection));
    }
    return out;
  }

  DriverHarness h;
};

}  // namespace kesta::test
