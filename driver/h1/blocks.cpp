#include "h1/blocks.h"

#include <cstring>

#include "h1/card_library.h"

namespace kesta {

void BuildConnectBlock(uint8_t* block, const uint8_t* mac, const uint8_t* ownTsap,
                       const uint8_t* stationTsap, uint8_t card) {
  block[kCbFixed0] = 4;
  block[kCbFixed1] = 1;
  block[kCbMacLength] = 6;
  std::memcpy(block + kCbMac, mac, 6);
  block[kCbFixed9] = 0;
  block[kCbFixed10] = 0;
  block[kCbOwnTsapLength] = 8;
  std::memcpy(block + kCbOwnTsap, ownTsap, 9);
  block[kCbStationTsapLength] = 8;
  std::memcpy(block + kCbStationTsap, stationTsap, 9);
  block[kCbFixed57] = 0;
  PutLe16(block + kCbConnection, 0xFFFF);
  PutLe16(block + kCbCard, card);
}

void BuildSendBlock(uint8_t* block, uint16_t connection, bool morePieces, const uint8_t* data,
                    uint16_t length) {
  const uint16_t word =
      static_cast<uint16_t>((connection & 0x7FFF) | (morePieces ? kTbMorePieces : 0));
  PutLe16(block + kTbConnection, word);
  PutLe16(block + kTbLength, length);
  std::memmove(block + kTbSendData, data, length);
}

void BuildReceiveBlock(uint8_t* block, uint16_t connection) {
  PutLe16(block + kTbConnection, static_cast<uint16_t>(connection & 0x7FFF));
  PutLe16(block + kTbLength, kReceiveRequestLength);
}

void PutDefaultsTimeouts(uint8_t* block, uint16_t percent95, uint32_t timeoutMs) {
  PutLe16(block + kDbTimeoutA, percent95);
  PutLe16(block + kDbTimeoutB, percent95);
  PutLe32(block + kDbTimeoutMs, timeoutMs);
}

}  // namespace kesta
