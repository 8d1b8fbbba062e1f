#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "driver_harness.h"
#include "h1/blocks.h"
#include "h1/connection.h"
#include "temp_dir.h"

namespace kesta::test {
namespace {

CardReply Connect(uint16_t rc, uint16_t status, std::optional<int16_t> connection) {
  CardReply reply;
  reply.rc = rc;
  reply.status = status;
  reply.connection = connection;
  return reply;
}

std::string Text(const uint8_t* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}

// A started VPI with card 3, its own direction TSAPs and two stations.
class OpenChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("KESTA01.INT",
              "CARD = 3\nRTSAP = RD\nWTSAP = WRITER\n"
              "21 = 080006A1B2C3 , PLC21\n22 = 080006000022\n");
    ColdStartParams params{};
    params.openDriver = 1;
    ASSERT_EQ(h.Call(1, &params), 0);
    h.card.calls.clear();
    h.log.clear();
    std::memset(TransferArea(h.work()), 0x77, kTransferAreaSize);
  }

  std::vector<uint8_t> Entry(uint32_t station) {
    const uint8_t* e = StationEntryOf(h.work(), station);
    return std::vector<uint8_t>(e, e + kStationEntrySize);
  }

  ScopedTempDir dir;
  DriverHarness h;
};

TEST_F(OpenChannelTest, ReadAndWriteConnectionsOpenSeparatelyWithTheirTsaps) {
  h.card.connect = {Connect(0, 0, 0x0011), Connect(0, 0, 0x0012)};

  ASSERT_EQ(OpenChannel(h.work(), 0x21, Direction::Read), 0);
  EXPECT_EQ(StationConn(h.work(), 0x21, Direction::Read), 0x11);
  EXPECT_EQ(StationConn(h.work(), 0x21, Direction::Write), -1);
  EXPECT_EQ(StationFlags(h.work(), 0x21), STATION_DEFINED | READ_OPEN);

  ASSERT_EQ(OpenChannel(h.work(), 0x21, Direction::Write), 0);
  EXPECT_EQ(StationConn(h.work(), 0x21, Direction::Write), 0x12);
  EXPECT_EQ(StationFlags(h.work(), 0x21), STATION_DEFINED | READ_OPEN | WRITE_OPEN);

  const std::vector<CardCall> connects = h.card.callsOf("H1StarteVerbindungKarte");
  ASSERT_EQ(connects.size(), 2u);
  const char* const ownTsap[2] = {"RD      ", "WRITER  "};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const std::vector<uint8_t>& b = connects[i].block;
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 3), (std::vector<uint8_t>{4, 1, 6}));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 3, b.begin() + 9),
              (std::vector<uint8_t>{0x08, 0x00, 0x06, 0xA1, 0xB2, 0xC3}));
    EXPECT_EQ(b[9], 0);
    EXPECT_EQ(b[10], 0);
    EXPECT_EQ(b[11], 0x77);  // bytes the driver does not name keep what the area held
    EXPECT_EQ(b[23], 8);
    EXPECT_EQ(Text(&b[24], 9), std::string(ownTsap[i]) + '\0');
    EXPECT_EQ(b[40], 8);
    EXPECT_EQ(Text(&b[41], 9), std::string("PLC21   ") + '\0');
    EXPECT_EQ(b[57], 0);
    EXPECT_EQ(GetLe16(&b[74]), 0xFFFF);  // preset before the call
    EXPECT_EQ(GetLe16(&b[78]), 3);
  }
  EXPECT_TRUE(h.log.lines().empty());
  EXPECT_TRUE(h.platform.sleeps.empty());
  // Nothing beyond the 80 bytes of the connect block was written.
  for (size_t i = kConnectBlockSize; i < kTransferAreaSize; ++i) {
    ASSERT_EQ(TransferArea(h.work())[i], 0x77) << i;
  }
  EXPECT_TRUE(h.GuardsIntact());
}

TEST_F(OpenChannelTest, UndefinedStationIsRefusedWithoutACall) {
  for (uint32_t station : {0u, 0x20u, 255u, 256u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(station);
    EXPECT_EQ(OpenChannel(h.work(), station, Direction::Read), 1);
    EXPECT_EQ(OpenChannel(h.work(), station, Direction::Write), 1);
  }
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_TRUE(h.log.lines().empty());
}

// The library's answer to a connect: result, status, the number it wrote.
TEST_F(OpenChannelTest, ResultAndStatusDecideTheOutcome) {
  struct Case {
    const char* what;
    CardReply reply;
    int32_t result;
    std::vector<LogLine> lines;
    std::vector<uint32_t> sleeps;
    int16_t conn;  // readConn afterwards
  };
  const std::vector<Case> cases = {
      {"done", Connect(0, 0, 0x0105), 0, {}, {}, 0x0105},
      {"busy counts as done after a wait", Connect(0, 3, 0x0106), 0, {}, {100}, 0x0106},
      {"refused call", Connect(5, 0, 0x0107), 1,
       {{8, "KESTA> OpenChannel() H1StarteVerbindungKarte iRc= 5"}}, {}, -1},
      {"all connections used", Connect(0, 2, 0x0108), 1,
       {{8, "KESTA> OpenChannel() all connections used, increase H1 connections"}}, {}, -1},
      {"other status", Connect(0, 12, 0x0109), 1, {}, {}, -1},
      {"number never written stays -1", Connect(0, 0, std::nullopt), 0, {}, {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetStationConn(h.work(), 0x22, Direction::Read, -1);
    SetStationFlags(h.work(), 0x22, STATION_DEFINED);
    const std::vector<uint8_t> before = Entry(0x22);
    h.card.connect = {c.reply};
    h.log.clear();
    h.platform.sleeps.clear();

    EXPECT_EQ(OpenChannel(h.work(), 0x22, Direction::Read), c.result);

    EXPECT_EQ(h.log.lines(), c.lines);
    EXPECT_EQ(h.platform.sleeps, c.sleeps);
    EXPECT_EQ(StationConn(h.work(), 0x22, Direction::Read), c.conn);
    if (c.result == 0) {
      EXPECT_EQ(StationFlags(h.work(), 0x22), STATION_DEFINED | READ_OPEN);
    } else {
      EXPECT_EQ(Entry(0x22), before);  // a failure leaves the entry as it was
    }
    // The default TSAP of a seven-item station line reaches the connect block.
    const CardCall& call = h.card.calls.back();
    EXPECT_EQ(Text(&call.block[41], 9), std::string("TAMBOR  ") + '\0');
  }
}

}  // namespace
}  // namespace kesta::test
