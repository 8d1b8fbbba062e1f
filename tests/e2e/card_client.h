// The real card library, loaded from the build as the driver loads it, with
// small helpers that fill its blocks the way the driver does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "h1/blocks.h"
#include "h1/card_library.h"

namespace e2e {

class CardClient {
 public:
  // dlopen of the built H1DLLNT.DLL; entries bound, or `ok()` false.
  CardClient();
  bool ok() const { return ok_; }
  const kesta::H1Entries& h1() const { return h1_; }

  struct ConnectResult {
    uint16_t rc;
    uint16_t status;
    int16_t connection;
  };
  ConnectResult Connect(const uint8_t* mac, const char* ownTsap = "READ    ",
                        const char* stationTsap = "PLC1    ", uint16_t card = 0);

  // One piece; returns the status (or 0x10000 + rc when rc is not 0).
  uint32_t Send(uint16_t connectionWord, const std::vector<uint8_t>& piece);
  // Sends a message in pieces of at most 256 bytes, bit 15 on all but the last.
  uint32_t SendMessage(uint16_t connection, const std::vector<uint8_t>& message);
  struct Piece {
    uint32_t status;  // 0x10000 + rc when rc is not 0
    std::vector<uint8_t> data;
  };
  Piece Receive(uint16_t connection);
  // Pieces until a status other than 12; the whole message and the pieces' sizes.
  uint32_t ReceiveMessage(uint16_t connection, std::vector<uint8_t>* message,
                          std::vector<size_t>* pieces = nullptr);
  // Sets the library's timeouts the way the driver's SetTimeout does.
  uint16_t SetTimeout(uint32_t timeoutMs);

 private:
  bool ok_ = false;
  kesta::H1Entries h1_{};
  // Room beyond the transfer block, so that a test may claim a piece longer
  // than the block holds without the helper itself overrunning.
  uint8_t block_[2 * kesta::kTransferBlockSize] = {};
};

// A fetch or write request header.
std::vector<uint8_t> S5Request(uint8_t op, uint8_t org, uint8_t db, uint16_t start, uint16_t length);

inline constexpr uint8_t kStationMac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x03};

}  // namespace e2e
