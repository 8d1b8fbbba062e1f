#include "fake_card.h"

#include <cstring>

#include "common/bytes.h"
#include "common/callconv.h"
#include "h1/blocks.h"
#include "h1/card_library.h"

namespace kesta::test {
namespace {

FakeCard* g_card = nullptr;

std::optional<CardReply> Next(std::deque<CardReply>& queue) {
  if (queue.empty()) return std::nullopt;
  CardReply reply = queue.front();
  queue.pop_front();
  return reply;
}

void Record(const char* entry, const void* block, size_t size, uint16_t connection = 0) {
  CardCall call;
  call.entry = entry;
  if (block != nullptr) {
    const auto* bytes = static_cast<const uint8_t*>(block);
    call.block.assign(bytes, bytes + size);
  }
  call.connection = connection;
  g_card->calls.push_back(std::move(call));
}

uint16_t KESTA_WINAPI FakeH1DriverOpen() {
  Record("H1DriverOpen", nullptr, 0);
  auto reply = Next(g_card->driverOpen);
  return reply ? reply->rc : 0;
}

uint16_t KESTA_WINAPI FakeH1DriverClose() {
  Record("H1DriverClose", nullptr, 0);
  return 0;
}

uint16_t KESTA_WINAPI FakeH1StarteVerbindungKarte(void* block) {
  Record("H1StarteVerbindungKarte", block, kConnectBlockSize);
  auto* b = static_cast<uint8_t*>(block);
  auto reply = Next(g_card->connect);
  if (!reply) {
    CardReply def;
    def.connection = g_card->nextConnection++;
    reply = def;
  }
  if (reply->rc != 0) return reply->rc;
  if (reply->connection) PutLe16(b + kCbConnection, static_cast<uint16_t>(*reply->connection));
  PutLe16(b + kCbStatus, reply->status);
  return 0;
}

uint16_t KESTA_WINAPI FakeH1StoppeVerbindung(uint16_t connection) {
  Record("H1StoppeVerbindung", nullptr, 0, connection);
  auto reply = Next(g_card->stop);
  return reply ? reply->rc : 0;
}

uint16_t KESTA_WINAPI FakeH1SendeDaten(void* block) {
  Record("H1SendeDaten", block, kTransferBlockSize);
  auto* b = static_cast<uint8_t*>(block);
  auto reply = Next(g_card->send);
  const CardReply r = reply ? *reply : CardReply{};
  if (r.rc != 0) return r.rc;
  PutLe16(b + kTbSendStatus, r.status);
  if (r.status == 0 && g_card->responder != nullptr) {
    const uint16_t length = GetLe16(b + kTbLength);
    const size_t n = length <= kTransferBlockSize - kTbSendData ? length : 0;
    g_card->responder->OnSend(GetLe16(b + kTbConnection),
                              std::vector<uint8_t>(b + kTbSendData, b + kTbSendData + n));
  }
  return 0;
}

uint16_t KESTA_WINAPI FakeH1LeseDaten(void* block) {
  Record("H1LeseDaten", block, kTransferBlockSize);
  auto* b = static_cast<uint8_t*>(block);
  std::optional<CardReply> reply = Next(g_card->receive);
  if (!reply && g_card->responder != nullptr) {
    reply = g_card->responder->OnReceive(GetLe16(b + kTbConnection));
    if (!reply) {
      CardReply none;
      none.status = 99;
      reply = none;
    }
  }
  const CardReply r = reply ? *reply : CardReply{};
  if (r.rc != 0) return r.rc;
  // Data is written only as far as the transfer block reaches.
  const size_t room = kTransferBlockSize - kTbReceiveData;
  if (!r.data.empty()) {
    std::memcpy(b + kTbReceiveData, r.data.data(), r.data.size() < room ? r.data.size() : room);
  }
  PutLe16(b + kTbReceived, r.received ? *r.received : static_cast<uint16_t>(r.data.size()));
  PutLe16(b + kTbReceiveStatus, r.status);
  return 0;
}

uint16_t KESTA_WINAPI FakeH1HoleStandardwerte(void* block) {
  Record("H1HoleStandardwerte", block, kDefaultsBlockSize);
  auto reply = Next(g_card->getDefaults);
  if (reply && reply->rc != 0) return reply->rc;
  auto* b = static_cast<uint8_t*>(block);
  std::memset(b + 2, g_card->defaultsFill, kDefaultsBlockSize - 2);
  return 0;
}

uint16_t KESTA_WINAPI FakeH1SetzeStandardwerte(void* block) {
  Record("H1SetzeStandardwerte", block, kDefaultsBlockSize);
  auto reply = Next(g_card->setDefaults);
  return reply ? reply->rc : 0;
}

template <typename Fn>
GenericProc AsProc(Fn fn) {
  return reinterpret_cast<GenericProc>(reinterpret_cast<void (*)()>(fn));
}

}  // namespace

FakeCard::FakeCard() { g_card = this; }
FakeCard::~FakeCard() { g_card = nullptr; }
FakeCard& FakeCard::Current() { return *g_card; }

std::vector<CardCall> FakeCard::callsOf(const std::string& entry) const {
  std::vector<CardCall> out;
  for (const CardCall& call : calls) {
    if (call.entry == entry) out.push_back(call);
  }
  return out;
}

size_t FakeCard::countOf(const std::string& entry) const { return callsOf(entry).size(); }

std::map<std::string, GenericProc> FakeCardEntries() {
  return {
      {"H1DriverOpen", AsProc(&FakeH1DriverOpen)},
      {"H1DriverClose", AsProc(&FakeH1DriverClose)},
      {"H1StarteVerbindungKarte", AsProc(&FakeH1StarteVerbindungKarte)},
      {"H1StoppeVerbindung", AsProc(&FakeH1StoppeVerbindung)},
      {"H1SendeDaten", AsProc(&FakeH1SendeDaten)},
      {"H1LeseDaten", AsProc(&FakeH1LeseDaten)},
      {"H1HoleStandardwerte", AsProc(&FakeH1HoleStandardwerte)},
      {"H1SetzeStandardwerte", AsProc(&FakeH1SetzeStandardwerte)},
  };
}

void BindFakeCard() {
  g_h1.H1DriverOpen = &FakeH1DriverOpen;
  g_h1.H1DriverClose = &FakeH1DriverClose;
  g_h1.H1StarteVerbindungKarte = &FakeH1StarteVerbindungKarte;
  g_h1.H1StoppeVerbindung = &FakeH1StoppeVerbindung;
  g_h1.H1SendeDaten = &FakeH1SendeDaten;
  g_h1.H1LeseDaten = &FakeH1LeseDaten;
  g_h1.H1HoleStandardwerte = &FakeH1HoleStandardwerte;
  g_h1.H1SetzeStandardwerte = &FakeH1SetzeStandardwerte;
}

}  // namespace kesta::test
