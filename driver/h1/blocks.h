// The card library's request blocks. The connect block and the transfer block
// both begin at offset 0 of the work area's transfer area; the defaults block
// is a 46-byte block of its own. Only the bytes named here are written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace kesta {

// H1ConnectBlock
inline constexpr size_t kCbFixed0 = 0;        // 4
inline constexpr size_t kCbFixed1 = 1;        // 1
inline constexpr size_t kCbMacLength = 2;     // 6
inline constexpr size_t kCbMac = 3;           // 6 bytes
inline constexpr size_t kCbFixed9 = 9;        // 0
inline constexpr size_t kCbFixed10 = 10;      // 0
inline constexpr size_t kCbOwnTsapLength = 23;  // 8
inline constexpr size_t kCbOwnTsap = 24;        // 9 bytes: direction TSAP
inline constexpr size_t kCbStationTsapLength = 40;  // 8
inline constexpr size_t kCbStationTsap = 41;        // 9 bytes
inline constexpr size_t kCbFixed57 = 57;            // 0
inline constexpr size_t kCbConnection = 74;         // int16
inline constexpr size_t kCbStatus = 76;             // uint16
inline constexpr size_t kCbCard = 78;               // uint16
inline constexpr size_t kConnectBlockSize = 80;
static_assert(kCbOwnTsap + 9 <= kCbStationTsapLength && kCbStationTsap + 9 == 50 &&
              kCbConnection + 2 == kCbStatus && kCbStatus + 2 == kCbCard &&
              kCbCard + 2 == kConnectBlockSize);

// H1TransferBlock, send view
inline constexpr size_t kTbConnection = 0;     // uint16, bit 15: more pieces follow
inline constexpr size_t kTbLength = 2;         // uint16
inline constexpr size_t kTbSendStatus = 4;     // uint16
inline constexpr size_t kTbSendData = 10;
// H1TransferBlock, receive view
inline constexpr size_t kTbReceived = 4;       // uint16
inline constexpr size_t kTbReceiveStatus = 6;  // uint16
inline constexpr size_t kTbReceiveData = 12;
inline constexpr size_t kTransferBlockSize = 1024;
inline constexpr uint16_t kTbMorePieces = 0x8000;
inline constexpr uint16_t kReceiveRequestLength = 1024;
// The most data one receive can deliver inside the transfer area.
inline constexpr size_t kMaxReceivePiece = kTransferBlockSize - kTbReceiveData;  // 1012
inline constexpr size_t kMaxSendPiece = 256;
static_assert(kMaxReceivePiece == 1012 && kTbSendData + kMaxSendPiece <= kTransferBlockSize);

// H1DefaultsBlock
inline constexpr size_t kDbSize = 0;        // uint16, 46
inline constexpr size_t kDbTimeoutA = 8;    // uint16, 95 % of the timeout
inline constexpr size_t kDbTimeoutB = 10;   // uint16, the same
inline constexpr size_t kDbTimeoutMs = 30;  // uint32, the timeout
inline constexpr size_t kDefaultsBlockSize = 46;
static_assert(kDbTimeoutMs + 4 <= kDefaultsBlockSize);

// Fills the connect block: fixed bytes, the station's Ethernet address, the
// direction TSAP and the station TSAP (9 bytes each, with their NUL), the
// connection preset to -1 and the card number. Other bytes stay as they are.
void BuildConnectBlock(uint8_t* block, const uint8_t* mac, const uint8_t* ownTsap,
                       const uint8_t* stationTsap, uint8_t card);
inline int16_t ConnectBlockConnection(const uint8_t* block) {
  return static_cast<int16_t>(GetLe16(block + kCbConnection));
}
inline uint16_t ConnectBlockStatus(const uint8_t* block) { return GetLe16(block + kCbStatus); }

// Send view: connection word (with bit 15 when more pieces follow), length and
// the piece's data at offset 10. `length` is at most 256.
void BuildSendBlock(uint8_t* block, uint16_t connection, bool morePieces, const uint8_t* data,
                    uint16_t length);
inline uint16_t SendBlockStatus(const uint8_t* block) { return GetLe16(block + kTbSendStatus); }

// Receive view: connection word and the requested length of 1024.
void BuildReceiveBlock(uint8_t* block, uint16_t connection);
inline uint16_t ReceiveBlockReceived(const uint8_t* block) { return GetLe16(block + kTbReceived); }
inline uint16_t ReceiveBlockStatus(const uint8_t* block) {
  return GetLe16(block + kTbReceiveStatus);
}
inline const uint8_t* ReceiveBlockData(const uint8_t* block) { return block + kTbReceiveData; }

// Defaults block: the size word before H1HoleStandardwerte, the timeouts
// before H1SetzeStandardwerte.
inline void PrepareDefaultsBlock(uint8_t* block) {
  PutLe16(block + kDbSize, static_cast<uint16_t>(kDefaultsBlockSize));
}
void PutDefaultsTimeouts(uint8_t* block, uint16_t percent95, uint32_t timeoutMs);

}  // namespace kesta
