// A card library as a real Windows DLL for the host-like test: the eight
// entries, __stdcall and undecorated, in front of one simulated controller.
// Pieces sent on a connection are gathered until the last one (bit 15 clear),
// the controller answers the whole request, and receives hand the answer out
// in pieces of at most 1012 bytes, status 12 while more follows.
// A few extra entries let the test see what the driver asked for.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "common/bytes.h"
#include "controller.h"
#include "h1/blocks.h"

using kesta::GetLe16;
using kesta::PutLe16;

namespace {

struct Connection {
  std::vector<uint8_t> request;  // pieces of the message being sent
  std::vector<uint8_t> answer;   // what the receives still have to deliver
  size_t delivered = 0;
};

enum Entry { kOpen, kClose, kConnect, kStop, kSend, kReceive, kGetDefaults, kSetDefaults, kEntries };

const char* const kEntryNames[kEntries] = {
    "H1DriverOpen",        "H1DriverClose", "H1StarteVerbindungKarte", "H1StoppeVerbindung",
    "H1SendeDaten",        "H1LeseDaten",   "H1HoleStandardwerte",     "H1SetzeStandardwerte",
};

s5sim::Controller& TheController() {
  static s5sim::Controller controller;
  return controller;
}

std::map<uint16_t, Connection> g_connections;
int16_t g_nextConnection = 1;
long g_calls[kEntries] = {};
uint8_t g_lastDefaults[kesta::kDefaultsBlockSize] = {};

constexpr uint16_t kStatusDone = 0;
constexpr uint16_t kStatusMore = 12;
constexpr uint16_t kStatusUnknownConnection = 20;
constexpr uint16_t kStatusNothingPending = 21;

}  // namespace

extern "C" {

uint16_t WINAPI H1DriverOpen() {
  ++g_calls[kOpen];
  return 0;
}

uint16_t WINAPI H1DriverClose() {
  ++g_calls[kClose];
  return 0;
}

uint16_t WINAPI H1StarteVerbindungKarte(void* block) {
  ++g_calls[kConnect];
  auto* b = static_cast<uint8_t*>(block);
  const int16_t number = g_nextConnection++;
  g_connections[static_cast<uint16_t>(number)] = Connection{};
  PutLe16(b + kesta::kCbConnection, static_cast<uint16_t>(number));
  PutLe16(b + kesta::kCbStatus, kStatusDone);
  return 0;
}

uint16_t WINAPI H1StoppeVerbindung(uint16_t connection) {
  ++g_calls[kStop];
  return g_connections.erase(connection) == 1 ? 0 : 1;
}

uint16_t WINAPI H1SendeDaten(void* block) {
  ++g_calls[kSend];
  auto* b = static_cast<uint8_t*>(block);
  const uint16_t word = GetLe16(b + kesta::kTbConnection);
  const uint16_t length = GetLe16(b + kesta::kTbLength);
  auto it = g_connections.find(static_cast<uint16_t>(word & ~kesta::kTbMorePieces));
  if (it == g_connections.end() || length > kesta::kTransferBlockSize - kesta::kTbSendData) {
    PutLe16(b + kesta::kTbSendStatus, kStatusUnknownConnection);
    return 0;
  }
  Connection& c = it->second;
  c.request.insert(c.request.end(), b + kesta::kTbSendData, b + kesta::kTbSendData + length);
  if ((word & kesta::kTbMorePieces) == 0) {
    c.answer = TheController().Handle(c.request.data(), c.request.size());
    c.delivered = 0;
    c.request.clear();
  }
  PutLe16(b + kesta::kTbSendStatus, kStatusDone);
  return 0;
}

uint16_t WINAPI H1LeseDaten(void* block) {
  ++g_calls[kReceive];
  auto* b = static_cast<uint8_t*>(block);
  auto it = g_connections.find(GetLe16(b + kesta::kTbConnection));
  if (it == g_connections.end() || it->second.delivered >= it->second.answer.size()) {
    PutLe16(b + kesta::kTbReceived, 0);
    PutLe16(b + kesta::kTbReceiveStatus, it == g_connections.end() ? kStatusUnknownConnection
                                                                    : kStatusNothingPending);
    return 0;
  }
  Connection& c = it->second;
  size_t n = c.answer.size() - c.delivered;
  if (n > kesta::kMaxReceivePiece) n = kesta::kMaxReceivePiece;
  std::memcpy(b + kesta::kTbReceiveData, c.answer.data() + c.delivered, n);
  c.delivered += n;
  PutLe16(b + kesta::kTbReceived, static_cast<uint16_t>(n));
  PutLe16(b + kesta::kTbReceiveStatus, c.delivered < c.answer.size() ? kStatusMore : kStatusDone);
  return 0;
}

uint16_t WINAPI H1HoleStandardwerte(void* block) {
  ++g_calls[kGetDefaults];
  auto* b = static_cast<uint8_t*>(block);
  if (GetLe16(b + kesta::kDbSize) != kesta::kDefaultsBlockSize) return 1;
  std::memset(b + 2, 0x5A, kesta::kDefaultsBlockSize - 2);
  return 0;
}

uint16_t WINAPI H1SetzeStandardwerte(void* block) {
  ++g_calls[kSetDefaults];
  std::memcpy(g_lastDefaults, block, sizeof g_lastDefaults);
  return 0;
}

// For the test: how often an entry was called (-1 for an unknown name).
long WINAPI FakeCardCalls(const char* entry) {
  for (int i = 0; i < kEntries; ++i) {
    if (std::strcmp(entry, kEntryNames[i]) == 0) return g_calls[i];
  }
  return -1;
}

// For the test: the defaults block as H1SetzeStandardwerte last received it.
void WINAPI FakeCardLastDefaults(uint8_t* out) { std::memcpy(out, g_lastDefaults, sizeof g_lastDefaults); }

// For the test: a data word of the controller, and the number of open connections.
uint16_t WINAPI FakeCardDataWord(uint8_t db, uint16_t word) { return TheController().DataWord(db, word); }
long WINAPI FakeCardOpenConnections() { return static_cast<long>(g_connections.size()); }

}  // extern "C"
