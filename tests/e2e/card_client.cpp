#include "card_client.h"

#include <dlfcn.h>

#include <cstring>

#include "common/bytes.h"
#include "h1/blocks.h"

namespace e2e {

using namespace kesta;

CardClient::CardClient() {
  void* lib = dlopen(H1DLLNT_PATH, RTLD_NOW);
  if (lib == nullptr) return;
  auto bind = [lib](const char* name) { return dlsym(lib, name); };
  h1_.H1DriverOpen = reinterpret_cast<H1DriverOpenFn>(bind("H1DriverOpen"));
  h1_.H1DriverClose = reinterpret_cast<H1DriverCloseFn>(bind("H1DriverClose"));
  h1_.H1StarteVerbindungKarte = reinterpret_cast<H1StarteVerbindungKarteFn>(bind("H1StarteVerbindungKarte"));
  h1_.H1StoppeVerbindung = reinterpret_cast<H1StoppeVerbindungFn>(bind("H1StoppeVerbindung"));
  h1_.H1SendeDaten = reinterpret_cast<H1SendeDatenFn>(bind("H1SendeDaten"));
  h1_.H1LeseDaten = reinterpret_cast<H1LeseDatenFn>(bind("H1LeseDaten"));
  h1_.H1HoleStandardwerte = reinterpret_cast<H1HoleStandardwerteFn>(bind("H1HoleStandardwerte"));
  h1_.H1SetzeStandardwerte = reinterpret_cast<H1SetzeStandardwerteFn>(bind("H1SetzeStandardwerte"));
  ok_ = h1_.H1DriverOpen && h1_.H1DriverClose && h1_.H1StarteVerbindungKarte &&
        h1_.H1StoppeVerbindung && h1_.H1SendeDaten && h1_.H1LeseDaten && h1_.H1HoleStandardwerte &&
        h1_.H1SetzeStandardwerte;
}

CardClient::ConnectResult CardClient::Connect(const uint8_t* mac, const char* ownTsap,
                                              const char* stationTsap, uint16_t card) {
  std::memset(block_, 0x5A, sizeof block_);
  BuildConnectBlock(block_, mac, reinterpret_cast<const uint8_t*>(ownTsap),
                    reinterpret_cast<const uint8_t*>(stationTsap), static_cast<uint8_t>(card));
  const uint16_t rc = h1_.H1StarteVerbindungKarte(block_);
  return {rc, GetLe16(block_ + kCbStatus), static_cast<int16_t>(GetLe16(block_ + kCbConnection))};
}

uint32_t CardClient::Send(uint16_t connectionWord, const std::vector<uint8_t>& piece) {
  PutLe16(block_ + kTbConnection, connectionWord);
  PutLe16(block_ + kTbLength, static_cast<uint16_t>(piece.size()));
  if (!piece.empty() && piece.size() <= sizeof block_ - kTbSendData) {
    std::memcpy(block_ + kTbSendData, piece.data(), piece.size());
  }
  const uint16_t rc = h1_.H1SendeDaten(block_);
  return rc != 0 ? 0x10000u + rc : GetLe16(block_ + kTbSendStatus);
}

uint32_t CardClient::SendMessage(uint16_t connection, const std::vector<uint8_t>& message) {
  size_t at = 0;
  do {
    const size_t n = message.size() - at > kMaxSendPiece ? kMaxSendPiece : message.size() - at;
    const bool more = at + n < message.size();
    const uint32_t status = Send(static_cast<uint16_t>(connection | (more ? kTbMorePieces : 0)),
                                 std::vector<uint8_t>(message.begin() + at, message.begin() + at + n));
    if (status != 0) return status;
    at += n;
  } while (at < message.size());
  return 0;
}

CardClient::Piece CardClient::Receive(uint16_t connection) {
  PutLe16(block_ + kTbConnection, connection);
  PutLe16(block_ + kTbLength, kReceiveRequestLength);
  PutLe16(block_ + kTbReceived, 0xEEEE);
  const uint16_t rc = h1_.H1LeseDaten(block_);
  Piece piece;
  piece.status = rc != 0 ? 0x10000u + rc : GetLe16(block_ + kTbReceiveStatus);
  const size_t received = GetLe16(block_ + kTbReceived);
  if (received <= kMaxReceivePiece) {
    piece.data.assign(block_ + kTbReceiveData, block_ + kTbReceiveData + received);
  } else {
    piece.status = 0xBAD;  // the library must never claim more than fits
  }
  return piece;
}

uint32_t CardClient::ReceiveMessage(uint16_t connection, std::vector<uint8_t>* message,
                                    std::vector<size_t>* pieces) {
  message->clear();
  for (int i = 0; i < 10000; ++i) {
    Piece p = Receive(connection);
    message->insert(message->end(), p.data.begin(), p.data.end());
    if (pieces != nullptr) pieces->push_back(p.data.size());
    if (p.status != 12) return p.status;
  }
  return 0xBAD;
}

uint16_t CardClient::SetTimeout(uint32_t timeoutMs) {
  uint8_t defaults[kDefaultsBlockSize];
  PrepareDefaultsBlock(defaults);
  if (const uint16_t rc = h1_.H1HoleStandardwerte(defaults); rc != 0) return rc;
  const uint16_t percent95 = static_cast<uint16_t>(static_cast<uint32_t>(timeoutMs * 0.95));
  PutLe16(defaults + kDbTimeoutA, percent95);
  PutLe16(defaults + kDbTimeoutB, percent95);
  PutLe32(defaults + kDbTimeoutMs, timeoutMs);
  return h1_.H1SetzeStandardwerte(defaults);
}

std::vector<uint8_t> S5Request(uint8_t op, uint8_t org, uint8_t db, uint16_t start, uint16_t length) {
  std::vector<uint8_t> r = {0x53, 0x35, 0x10, 0x01, 0x03, op, 0x03, 0x08, org, db, 0, 0, 0, 0, 0xFF, 0x02};
  PutBe16(r.data() + 10, start);
  PutBe16(r.data() + 12, length);
  return r;
}

}  // namespace e2e
