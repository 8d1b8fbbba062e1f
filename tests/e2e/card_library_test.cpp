// The card library against the simulator and against a scripted peer that
// sends what no controller should: through the library's real entries.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "loopback.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "card_client.h"
#include "common/bytes.h"
#include "h1tcp.h"
#include "sim_process.h"

namespace e2e {
namespace {

using namespace h1tcp;

std::string MapPath() {
  return ::testing::TempDir() + "h1tcp_card_test_" + std::to_string(getpid()) + ".cfg";
}

void MapStationTo(uint16_t port) {
  WriteStationMap(MapPath(), "# test map\n0 080006010203 = 127.0.0.1:" + std::to_string(port) + "\n");
}

class CardLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card.ok()) << "cannot load " << H1DLLNT_PATH;
    ASSERT_EQ(card.h1().H1DriverOpen(), 0);
    ASSERT_EQ(card.SetTimeout(2000), 0);
  }
  void TearDown() override {
    card.h1().H1DriverClose();
    std::remove(MapPath().c_str());
  }

  // A simulator with `args`, and a connection to it.
  uint16_t StartAndConnect(const std::vector<std::string>& args) {
    EXPECT_TRUE(sim.Start(args));
    MapStationTo(sim.port());
    const auto c = card.Connect(kStationMac);
    EXPECT_EQ(c.rc, 0);
    EXPECT_EQ(c.status, 0);
    EXPECT_GT(c.connection, 0);
    return static_cast<uint16_t>(c.connection);
  }

  CardClient card;
  SimProcess sim;
};

TEST_F(CardLibrary, FetchRoundTripAndTsapsReachThePeer) {
  const uint16_t conn = StartAndConnect({"--verbose", "--calling-tsap", "READ", "--called-tsap", "PLC1"});
  ASSERT_EQ(card.Send(conn, S5Request(5, 1, 1, 0, 2)), 0u);
  std::vector<uint8_t> answer;
  ASSERT_EQ(card.ReceiveMessage(conn, &answer), 0u);
  ASSERT_EQ(answer.size(), 20u);
  EXPECT_EQ(answer[5], 6);
  EXPECT_EQ(answer[8], 0);
  EXPECT_TRUE(sim.WaitForOutput("calling TSAP 'READ', called TSAP 'PLC1'")) << sim.output();

  // TSAPs the controller does not serve: refused, and the status says so.
  const auto refused = card.Connect(kStationMac, "OTHER   ");
  EXPECT_EQ(refused.status, kStatusPeerRefused);
  EXPECT_EQ(refused.rc, kStatusPeerRefused);
  EXPECT_EQ(refused.connection, -1);

  EXPECT_EQ(card.h1().H1StoppeVerbindung(conn), 0);
  EXPECT_EQ(card.h1().H1StoppeVerbindung(conn), kStatusUnknownConnection);
  EXPECT_EQ(card.Send(conn, S5Request(5, 1, 1, 0, 2)), kStatusUnknownConnection);
  EXPECT_EQ(card.Receive(conn).status, kStatusUnknownConnection);
  // A number just closed does not come back with the next connection, so a
  // second close of the stale number cannot hit the new one.
  const auto next = card.Connect(kStationMac);
  ASSERT_EQ(next.status, 0);
  EXPECT_NE(next.connection, static_cast<int16_t>(conn));
}

// 2072 words (an answer of 4160 bytes) arrive in several TPDUs and are
// delivered in pieces of at most 1012 bytes, 12 on all but the last.
TEST_F(CardLibrary, LargeAnswerArrivesInPiecesWhateverTheTpduSize) {
  const std::vector<std::vector<std::string>> variants = {
      {}, {"--tpdu-size", "128"}, {"--max-dt", "7"}, {"--tpdu-size", "2048"}};
  for (const auto& variant : variants) {
    SCOPED_TRACE(variant.empty() ? "default" : variant[0] + " " + variant[1]);
    std::vector<std::string> args = {"--db", "9=4096"};
    args.insert(args.end(), variant.begin(), variant.end());
    const uint16_t conn = StartAndConnect(args);

    // Fill DW 0-2071 with a pattern, 600 bytes a write.
    for (uint16_t w = 0; w < 2072; w += 300) {
      const uint16_t n = static_cast<uint16_t>(std::min(300, 2072 - w));
      std::vector<uint8_t> request = S5Request(3, 1, 9, w, n);
      for (uint16_t i = 0; i < n; ++i) {
        request.push_back(static_cast<uint8_t>((w + i) >> 8));
        request.push_back(static_cast<uint8_t>(w + i));
      }
      ASSERT_EQ(card.SendMessage(conn, request), 0u);
      std::vector<uint8_t> ack;
      ASSERT_EQ(card.ReceiveMessage(conn, &ack), 0u);
      ASSERT_EQ(ack.size(), 16u);
      ASSERT_EQ(ack[8], 0);
    }

    ASSERT_EQ(card.Send(conn, S5Request(5, 1, 9, 0, 2072)), 0u);
    std::vector<uint8_t> answer;
    std::vector<size_t> pieces;
    ASSERT_EQ(card.ReceiveMessage(conn, &answer, &pieces), 0u);
    ASSERT_EQ(answer.size(), 4160u);
    EXPECT_GE(pieces.size(), 5u);
    for (size_t p : pieces) EXPECT_LE(p, 1012u);
    for (uint16_t w = 0; w < 2072; ++w) {
      ASSERT_EQ(kesta::GetBe16(answer.data() + 16 + 2 * w), w) << w;
    }
    card.h1().H1StoppeVerbindung(conn);
    sim.Stop();
  }
}

TEST_F(CardLibrary, FailuresOfTheConnectGiveTheirOwnStatus) {
  // No map file at all.
  setenv("H1TCP_CONFIG", (MapPath() + ".none").c_str(), 1);
  EXPECT_EQ(card.Connect(kStationMac).status, kStatusNoConfig);
  // A station the map does not name, and a card it does not name.
  MapStationTo(1);
  const uint8_t otherMac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x09};
  EXPECT_EQ(card.Connect(otherMac).status, kStatusNoMapping);
  EXPECT_EQ(card.Connect(kStationMac, "READ    ", "PLC1    ", 1).status, kStatusNoMapping);
  // A port nobody listens on: take one from the system and close it again.
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
  close(s);
  MapStationTo(ntohs(a.sin_port));
  const auto refused = card.Connect(kStationMac);
  EXPECT_EQ(refused.status, kStatusRefused);
  EXPECT_EQ(refused.connection, -1);
  WriteStationMap(MapPath(), "0 * = no-such-host.invalid:102\n");
  EXPECT_EQ(card.Connect(kStationMac).status, kStatusUnresolved);
}

TEST_F(CardLibrary, ReceiveTimeoutComesWithinTheTimeSetAndIsSeparateFromPeerClosed) {
  const uint16_t conn = StartAndConnect({"--delay", "900"});
  ASSERT_EQ(card.SetTimeout(300), 0);
  ASSERT_EQ(card.Send(conn, S5Request(5, 1, 1, 0, 1)), 0u);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(card.Receive(conn).status, kStatusReceiveTimeout);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - t0).count();
  // 95 % of the timeout, with room above for a loaded machine (tests run
  // in parallel, under the sanitizers too); far below the library default.
  EXPECT_GE(waited, 280);
  EXPECT_LT(waited, 300 + 150);
  // The connection was closed (its late answer must never be taken for the
  // next one's); receives repeat the failure at once.
  EXPECT_EQ(card.Receive(conn).status, kStatusReceiveTimeout);
  sim.Stop();

  // A peer that ends in the middle of an answer: the pieces before, then 33.
  const uint16_t dropped = StartAndConnect({"--drop-mid-answer", "--max-dt", "100"});
  ASSERT_EQ(card.Send(dropped, S5Request(5, 1, 1, 0, 400)), 0u);
  std::vector<uint8_t> part;
  EXPECT_EQ(card.ReceiveMessage(dropped, &part), kStatusPeerClosed);
  EXPECT_EQ(part.size(), 408u);  // half of 816
  // The next message connects again first.
  ASSERT_EQ(card.Send(dropped, S5Request(5, 1, 1, 0, 4)), 0u);
  EXPECT_EQ(card.ReceiveMessage(dropped, &part), kStatusPeerClosed);
  EXPECT_EQ(part.size(), 12u);
}

TEST_F(CardLibrary, APeerThatClosedBetweenMessagesIsConnectedAgain) {
  const uint16_t conn = StartAndConnect({"--drop-after", "1", "--verbose"});
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(card.Send(conn, S5Request(5, 2, 0, 0, 4)), 0u);
    std::vector<uint8_t> answer;
    ASSERT_EQ(card.ReceiveMessage(conn, &answer), 0u);
    EXPECT_EQ(answer.size(), 20u);
    // Time for the peer's end of the connection to arrive.
    ASSERT_TRUE(sim.WaitForOutput("connection " + std::to_string(i + 1) + ": connection dropped after 1 answers"));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

TEST_F(CardLibrary, AWriteInPiecesArrivesAsOneMessage) {
  const uint16_t conn = StartAndConnect({"--verbose"});
  // 16 + 584 bytes: pieces of 256, 256 and 88.
  std::vector<uint8_t> request = S5Request(3, 1, 2, 10, 292);
  for (int i = 0; i < 584; ++i) request.push_back(static_cast<uint8_t>(i * 7));
  ASSERT_EQ(request.size(), 600u);
  ASSERT_EQ(card.SendMessage(conn, request), 0u);
  std::vector<uint8_t> ack;
  ASSERT_EQ(card.ReceiveMessage(conn, &ack), 0u);
  ASSERT_EQ(ack.size(), 16u);
  EXPECT_EQ(ack[5], 4);
  EXPECT_EQ(ack[8], 0);
  ASSERT_EQ(card.Send(conn, S5Request(5, 1, 2, 10, 292)), 0u);
  std::vector<uint8_t> answer;
  ASSERT_EQ(card.ReceiveMessage(conn, &answer), 0u);
  EXPECT_TRUE(std::equal(request.begin() + 16, request.end(), answer.begin() + 16));
  EXPECT_TRUE(sim.WaitForOutput("write DB2 start 10 length 292 (600 bytes) -> error 0")) << sim.output();

  // A piece longer than the transfer block holds is refused.
  EXPECT_EQ(card.Send(conn, std::vector<uint8_t>(1015, 0)), kStatusBadLength);
}

TEST_F(CardLibrary, TableOfConnectionsFullGivesStatus2) {
  ASSERT_TRUE(sim.Start({}));
  MapStationTo(sim.port());
  std::vector<int16_t> open;
  for (int i = 0; i < kMaxConnections; ++i) {
    const auto c = card.Connect(kStationMac);
    ASSERT_EQ(c.status, 0) << i;
    open.push_back(c.connection);
  }
  const auto full = card.Connect(kStationMac);
  EXPECT_EQ(full.rc, 0);
  EXPECT_EQ(full.status, kStatusTableFull);
  EXPECT_EQ(full.connection, -1);
  EXPECT_EQ(card.h1().H1StoppeVerbindung(static_cast<uint16_t>(open[17])), 0);
  const auto again = card.Connect(kStationMac);
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.connection, open[17]);
}

TEST_F(CardLibrary, DefaultsBlockIsKeptAndTooSmallABlockRefused) {
  uint8_t block[kesta::kDefaultsBlockSize];
  std::memset(block, 0x77, sizeof block);
  kesta::PutLe16(block, 20);
  EXPECT_EQ(card.h1().H1HoleStandardwerte(block), kStatusBadLength);
  EXPECT_EQ(block[2], 0x77);  // nothing written
  kesta::PrepareDefaultsBlock(block);
  ASSERT_EQ(card.h1().H1HoleStandardwerte(block), 0);
  block[40] = 0x42;  // a byte of the library's own
  kesta::PutLe32(block + kesta::kDbTimeoutMs, 1234);
  ASSERT_EQ(card.h1().H1SetzeStandardwerte(block), 0);
  uint8_t back[kesta::kDefaultsBlockSize] = {};
  kesta::PrepareDefaultsBlock(back);
  ASSERT_EQ(card.h1().H1HoleStandardwerte(back), 0);
  EXPECT_EQ(std::memcmp(block, back, sizeof block), 0);
}

// A peer speaking broken ISO-on-TCP: it answers the connection request with
// `confirm`, then the first TPKT it gets with `reply`, then closes.
class ScriptedPeer {
 public:
  ScriptedPeer(std::vector<uint8_t> confirm, std::vector<uint8_t> reply)
      : confirm_(std::move(confirm)), reply_(std::move(reply)) {
    listener_ = posix_test::ListenOnLoopback(&port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedPeer() {
    thread_.join();
    close(listener_);
  }
  uint16_t port() const { return port_; }

 private:
  static bool ReadTpkt(int fd) {
    uint8_t header[4];
    if (recv(fd, header, 4, MSG_WAITALL) != 4) return false;
    std::vector<uint8_t> rest(kesta::GetBe16(header + 2) - 4u);
    return recv(fd, rest.data(), rest.size(), MSG_WAITALL) == static_cast<ssize_t>(rest.size());
  }
  void Serve() {
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    if (ReadTpkt(fd)) {
      send(fd, confirm_.data(), confirm_.size(), MSG_NOSIGNAL);
      if (!reply_.empty() && ReadTpkt(fd)) send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    }
    // Let the library see the bytes before the end of the connection.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    close(fd);
  }
  std::vector<uint8_t> confirm_, reply_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

// A CC for the connection request whose source reference was `dstRef`,
// with 1024-byte TPDUs.
std::vector<uint8_t> GoodConfirm(uint16_t dstRef) {
  return {0x03, 0x00, 0x00, 0x0E, 0x09, 0xD0, static_cast<uint8_t>(dstRef >> 8),
          static_cast<uint8_t>(dstRef), 0x00, 0x01, 0x00, 0xC0, 0x01, 0x0A};
}

TEST_F(CardLibrary, MalformedConfirmsFailTheConnectNeverTheProcess) {
  struct Case {
    const char* name;
    std::vector<uint8_t> confirm;
    uint16_t status;
  };
  const Case cases[] = {
      {"not a TPKT", {0x45, 0x00, 0x00, 0x0B, 0x06, 0xD0, 0, 0, 0, 1, 0}, kStatusBadConfirm},
      {"LI past the TPDU", {0x03, 0x00, 0x00, 0x0B, 0x40, 0xD0, 0, 0, 0, 1, 0}, kStatusBadConfirm},
      {"TPKT length below a TPDU", {0x03, 0x00, 0x00, 0x05, 0x00}, kStatusBadConfirm},
      {"CC for another reference", GoodConfirm(0x0001), kStatusBadConfirm},
      {"class 4", {0x03, 0x00, 0x00, 0x0B, 0x06, 0xD0, 0, 0, 0, 1, 0x40}, kStatusBadConfirm},
      {"disconnect request", {0x03, 0x00, 0x00, 0x0B, 0x06, 0x80, 0, 0, 0, 1, 0}, kStatusPeerRefused},
      {"closed without a word", {}, kStatusPeerRefused},
      {"half a TPKT header, then closed", {0x03, 0x00}, kStatusPeerRefused},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ScriptedPeer peer(k.confirm, {});
    MapStationTo(peer.port());
    const auto c = card.Connect(kStationMac);
    EXPECT_EQ(c.status, k.status);
    EXPECT_EQ(c.connection, -1);
  }
}

// A peer that confirms the connection properly (echoing the library's
// reference from its CR), then answers the first request with `reply`.
class EchoingPeer {
 public:
  explicit EchoingPeer(std::vector<uint8_t> reply) : reply_(std::move(reply)) {
    listener_ = posix_test::ListenOnLoopback(&port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EchoingPeer() {
    thread_.join();
    close(listener_);
  }
  uint16_t port() const { return port_; }

 private:
  void Serve() {
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    uint8_t cr[256];
    if (recv(fd, cr, 4, MSG_WAITALL) == 4) {
      const size_t rest = kesta::GetBe16(cr + 2) - 4u;
      if (rest <= sizeof cr - 4 && recv(fd, cr + 4, rest, MSG_WAITALL) == static_cast<ssize_t>(rest)) {
        const std::vector<uint8_t> cc = GoodConfirm(kesta::GetBe16(cr + 8));
        send(fd, cc.data(), cc.size(), MSG_NOSIGNAL);
        uint8_t request[64];
        if (recv(fd, request, 4 + 3 + 16, MSG_WAITALL) == 23) {
          send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    close(fd);
  }
  std::vector<uint8_t> reply_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

TEST_F(CardLibrary, MalformedDataFailsTheConnectionNeverTheProcess) {
  struct Case {
    const char* name;
    std::vector<uint8_t> reply;
    uint16_t status;
  };
  const Case cases[] = {
      {"TPKT version 2", {0x02, 0x00, 0x00, 0x17, 0x02, 0xF0, 0x80}, kStatusMalformed},
      {"TPKT shorter than a TPDU", {0x03, 0x00, 0x00, 0x05, 0x02}, kStatusMalformed},
      {"LI past the TPKT", {0x03, 0x00, 0x00, 0x07, 0x09, 0xF0, 0x80}, kStatusMalformed},
      {"DT with LI 1", {0x03, 0x00, 0x00, 0x06, 0x01, 0xF0}, kStatusMalformed},
      {"error TPDU", {0x03, 0x00, 0x00, 0x09, 0x04, 0x70, 0, 0, 0}, kStatusMalformed},
      {"disconnect request", {0x03, 0x00, 0x00, 0x0B, 0x06, 0x80, 0, 0, 0, 1, 0}, kStatusPeerClosed},
      {"TPKT of 65535 bytes, then closed", {0x03, 0x00, 0xFF, 0xFF, 0x02, 0xF0, 0x80, 0x53, 0x35},
       kStatusPeerClosed},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EchoingPeer peer(k.reply);
    MapStationTo(peer.port());
    const auto c = card.Connect(kStationMac);
    ASSERT_EQ(c.status, 0);
    ASSERT_EQ(card.Send(static_cast<uint16_t>(c.connection), S5Request(5, 1, 1, 0, 1)), 0u);
    std::vector<uint8_t> data;
    EXPECT_EQ(card.ReceiveMessage(static_cast<uint16_t>(c.connection), &data), k.status);
    EXPECT_LE(data.size(), 2u);
    card.h1().H1StoppeVerbindung(static_cast<uint16_t>(c.connection));
  }
}

}  // namespace
}  // namespace e2e
