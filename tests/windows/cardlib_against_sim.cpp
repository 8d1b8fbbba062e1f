// The Windows build of H1DLLNT.DLL (Winsock) against the simulator, which
// runs natively on the same machine: loaded and bound as the driver binds
// it, one connection over loopback, a write in several pieces and its ack, a
// fetch whose answer arrives in pieces, and the stop. The simulator's port is
// in s5sim.port in the working directory; the station map H1TCP.CFG is
// written there too.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "h1/blocks.h"
#include "h1/card_library.h"

using namespace kesta;

namespace {

int g_failed = 0;

bool Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++g_failed;
  return ok;
}

template <typename Fn>
Fn Bind(HMODULE lib, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)));
}

constexpr uint8_t kMac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x03};
constexpr uint8_t kOwnTsap[9] = "READ    ";
constexpr uint8_t kStationTsap[9] = "PLC1    ";
constexpr uint16_t kWords = 600;  // an answer of 1216 bytes: two receive pieces

std::vector<uint8_t> Request(uint8_t op, uint16_t start, uint16_t words) {
  std::vector<uint8_t> r = {0x53, 0x35, 0x10, 0x01, 0x03, op, 0x03, 0x08, 1, 1, 0, 0, 0, 0, 0xFF, 0x02};
  PutBe16(r.data() + 10, start);
  PutBe16(r.data() + 12, words);
  return r;
}

// The header every answer starts with, op 4 for a write's ack, 6 for a fetch.
bool AnswerHeaderIs(const std::vector<uint8_t>& a, uint8_t op) {
  const uint8_t expected[16] = {0x53, 0x35, 0x10, 0x01, 0x03, op, 0x0F, 0x03, 0, 0xFF, 0x07, 0, 0, 0, 0, 0};
  return a.size() >= 16 && std::memcmp(a.data(), expected, 16) == 0;
}

class Card {
 public:
  explicit Card(const H1Entries& h1) : h1_(h1) {}

  // Sends in pieces of at most 256 bytes, bit 15 on all but the last;
  // returns the first status other than 0 (or 0x10000 + a result not 0).
  uint32_t Send(uint16_t connection, const std::vector<uint8_t>& message, int* pieces) {
    size_t at = 0;
    *pieces = 0;
    while (at < message.size()) {
      const size_t n = message.size() - at > kMaxSendPiece ? kMaxSendPiece : message.size() - at;
      const bool more = at + n < message.size();
      std::memset(block_, 0x5A, sizeof block_);
      BuildSendBlock(block_, connection, more, message.data() + at, static_cast<uint16_t>(n));
      const uint16_t rc = h1_.H1SendeDaten(block_);
      ++*pieces;
      if (rc != 0) return 0x10000u + rc;
      if (SendBlockStatus(block_) != 0) return SendBlockStatus(block_);
      at += n;
    }
    return 0;
  }

  // Receives until a status other than 12; the statuses in order.
  uint32_t Receive(uint16_t connection, std::vector<uint8_t>* message, std::vector<uint16_t>* statuses) {
    message->clear();
    statuses->clear();
    for (int i = 0; i < 100; ++i) {
      std::memset(block_, 0x5A, sizeof block_);
      BuildReceiveBlock(block_, connection);
      const uint16_t rc = h1_.H1LeseDaten(block_);
      if (rc != 0) return 0x10000u + rc;
      const uint16_t status = ReceiveBlockStatus(block_);
      const uint16_t received = ReceiveBlockReceived(block_);
      statuses->push_back(status);
      if (received > kMaxReceivePiece) return 0xBAD;  // never more than the block holds
      message->insert(message->end(), ReceiveBlockData(block_), ReceiveBlockData(block_) + received);
      if (status != 12) return status;
    }
    return 0xBAD;
  }

 private:
  const H1Entries& h1_;
  uint8_t block_[kTransferBlockSize] = {};
};

bool WriteStationMap(unsigned port) {
  std::FILE* f = std::fopen("H1TCP.CFG", "w");
  if (f == nullptr) return false;
  std::fprintf(f, "# the native simulator\n0 080006010203 = 127.0.0.1:%u\n", port);
  return std::fclose(f) == 0;
}

unsigned ReadPort() {
  std::FILE* f = std::fopen("s5sim.port", "r");
  if (f == nullptr) return 0;
  unsigned port = 0;
  if (std::fscanf(f, "%u", &port) != 1 || port > 65535) port = 0;
  std::fclose(f);
  return port;
}

void Run() {
  const unsigned port = ReadPort();
  if (!Check(port != 0, "the simulator's port is in s5sim.port")) return;
  // The map of this directory, whatever the environment names.
  if (!Check(WriteStationMap(port) && _putenv("H1TCP_CONFIG=H1TCP.CFG") == 0,
             "station map H1TCP.CFG written")) {
    return;
  }

  HMODULE lib = LoadLibraryA("H1DLLNT.DLL");
  if (!Check(lib != nullptr, "LoadLibraryA(\"H1DLLNT.DLL\")")) return;
  H1Entries h1{};
  h1.H1DriverOpen = Bind<H1DriverOpenFn>(lib, "H1DriverOpen");
  h1.H1DriverClose = Bind<H1DriverCloseFn>(lib, "H1DriverClose");
  h1.H1StarteVerbindungKarte = Bind<H1StarteVerbindungKarteFn>(lib, "H1StarteVerbindungKarte");
  h1.H1StoppeVerbindung = Bind<H1StoppeVerbindungFn>(lib, "H1StoppeVerbindung");
  h1.H1SendeDaten = Bind<H1SendeDatenFn>(lib, "H1SendeDaten");
  h1.H1LeseDaten = Bind<H1LeseDatenFn>(lib, "H1LeseDaten");
  h1.H1HoleStandardwerte = Bind<H1HoleStandardwerteFn>(lib, "H1HoleStandardwerte");
  h1.H1SetzeStandardwerte = Bind<H1SetzeStandardwerteFn>(lib, "H1SetzeStandardwerte");
  if (!Check(h1.H1DriverOpen && h1.H1DriverClose && h1.H1StarteVerbindungKarte && h1.H1StoppeVerbindung &&
                 h1.H1SendeDaten && h1.H1LeseDaten && h1.H1HoleStandardwerte && h1.H1SetzeStandardwerte,
             "all eight entries bound by GetProcAddress")) {
    return;
  }

  Check(h1.H1DriverOpen() == 0, "H1DriverOpen answers 0");
  // Short timeouts, so that a lost answer fails the test well within its time.
  uint8_t defaults[kDefaultsBlockSize] = {};
  PrepareDefaultsBlock(defaults);
  Check(h1.H1HoleStandardwerte(defaults) == 0, "H1HoleStandardwerte answers 0");
  PutDefaultsTimeouts(defaults, 1900, 2000);
  Check(h1.H1SetzeStandardwerte(defaults) == 0, "H1SetzeStandardwerte answers 0");

  uint8_t connect[kConnectBlockSize];
  std::memset(connect, 0x5A, sizeof connect);
  BuildConnectBlock(connect, kMac, kOwnTsap, kStationTsap, 0);
  const uint16_t rc = h1.H1StarteVerbindungKarte(connect);
  const int16_t connection = ConnectBlockConnection(connect);
  std::printf("connect: result %u, status %u, connection %d\n", rc, ConnectBlockStatus(connect), connection);
  if (!Check(rc == 0 && ConnectBlockStatus(connect) == 0 && connection > 0,
             "connected to the simulator over Winsock")) {
    h1.H1DriverClose();
    return;
  }
  const uint16_t conn = static_cast<uint16_t>(connection);
  Card card(h1);

  // DW 0-599 of DB 1 set to a pattern: 1216 bytes sent in 5 pieces.
  std::vector<uint8_t> write = Request(3, 0, kWords);
  for (uint16_t w = 0; w < kWords; ++w) {
    write.push_back(static_cast<uint8_t>(0xA0 ^ (w >> 8)));
    write.push_back(static_cast<uint8_t>(w * 7));
  }
  int pieces = 0;
  Check(card.Send(conn, write, &pieces) == 0 && pieces == 5, "write request sent in 5 pieces");
  std::vector<uint8_t> answer;
  std::vector<uint16_t> statuses;
  const uint32_t ackStatus = card.Receive(conn, &answer, &statuses);
  std::printf("ack: status %u, %u bytes\n", ackStatus, static_cast<unsigned>(answer.size()));
  Check(ackStatus == 0 && answer.size() == 16 && AnswerHeaderIs(answer, 4),
        "write ack: 16 bytes, op 4, error 0");

  Check(card.Send(conn, Request(5, 0, kWords), &pieces) == 0 && pieces == 1, "fetch request sent");
  const uint32_t fetchStatus = card.Receive(conn, &answer, &statuses);
  std::printf("answer: status %u, %u bytes in %u pieces\n", fetchStatus, static_cast<unsigned>(answer.size()),
              static_cast<unsigned>(statuses.size()));
  Check(fetchStatus == 0 && statuses.size() == 2 && statuses[0] == 12 && statuses[1] == 0,
        "fetch answer: status 12, then 0");
  Check(answer.size() == 16u + 2u * kWords && AnswerHeaderIs(answer, 6),
        "fetch answer: 16-byte header (op 6, error 0) and 1200 data bytes");
  Check(answer.size() == write.size() && std::memcmp(answer.data() + 16, write.data() + 16, 2 * kWords) == 0,
        "the data read back is the data written");

  Check(h1.H1StoppeVerbindung(conn) == 0, "H1StoppeVerbindung answers 0");
  Check(h1.H1StoppeVerbindung(conn) == 30, "a second stop of the number answers 30");
  Check(h1.H1DriverClose() == 0, "H1DriverClose answers 0");
  FreeLibrary(lib);
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  Run();
  std::printf("cardlib against s5sim: %d failed checks\n", g_failed);
  return g_failed == 0 ? 0 : 1;
}
