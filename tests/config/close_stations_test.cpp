#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "driver_harness.h"
#include "h1/card_library.h"
#include "h1/connection.h"
#include "temp_dir.h"

namespace kesta::test {
namespace {

CardReply Rc(uint16_t rc) {
  CardReply reply;
  reply.rc = rc;
  return reply;
}

// A started VPI (so the card library is bound) whose station table the test
// then arranges by hand.
class CloseStationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("KESTA01.INT", "05 = 080006000005\n");
    ColdStartParams params{};
    params.openDriver = 1;
    ASSERT_EQ(h.Call(1, &params), 0);
    h.card.calls.clear();
    h.log.clear();
    h.platform.sleeps.clear();
  }

  void Open(uint32_t station, int16_t readConn, int16_t writeConn, uint8_t flags) {
    SetStationConn(h.work(), station, Direction::Read, readConn);
    SetStationConn(h.work(), station, Direction::Write, writeConn);
    SetStationFlags(h.work(), station, flags);
  }

  int32_t WarmStart(int32_t station) { return h.Call(2, &station); }

  std::vector<uint16_t> Closed() const {
    std::vector<uint16_t> out;
    for (const CardCall& c : h.card.calls) {
      EXPECT_EQ(c.entry, "H1StoppeVerbindung");
      out.push_back(c.connection);
    }
    return out;
  }

  ScopedTempDir dir;
  DriverHarness h;
};

TEST_F(CloseStationsTest, WarmStartClosesBothConnectionsAndKeepsTheOtherBits) {
  Open(5, 0x0102, 0x0203, STATION_DEFINED | READ_OPEN | WRITE_OPEN | LAST_READ_OK | LAST_WRITE_OK);
  h.card.stop = {Rc(1), Rc(2)};

  EXPECT_EQ(WarmStart(5), 3);  // the OR of both statuses

  EXPECT_EQ(Closed(), (std::vector<uint16_t>{0x0102, 0x0203}));
  EXPECT_EQ(StationConn(h.work(), 5, Direction::Read), -1);
  EXPECT_EQ(StationConn(h.work(), 5, Direction::Write), -1);
  EXPECT_EQ(StationFlags(h.work(), 5), STATION_DEFINED | LAST_READ_OK | LAST_WRITE_OK);
  EXPECT_EQ(h.platform.sleeps, (std::vector<uint32_t>{100}));
  EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, "KESTA> WarmStart() VPI1 plc05h exited rc-3"}}));
}

TEST_F(CloseStationsTest, WarmStartOfAStationWithoutConnectionsStillWaits) {
  Open(0x2A, -1, -1, 0);  // not even defined: WarmStart does not look

  EXPECT_EQ(WarmStart(0x2A), 0);

  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_EQ(h.platform.sleeps, (std::vector<uint32_t>{100}));
  EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, "KESTA> WarmStart() VPI1 plc2Ah exited rc-0"}}));
}

TEST_F(CloseStationsTest, WarmStartClosesOnlyTheOpenDirection) {
  Open(255, -1, 7, STATION_DEFINED | WRITE_OPEN);
  EXPECT_EQ(WarmStart(255), 0);
  EXPECT_EQ(Closed(), (std::vector<uint16_t>{7}));
  EXPECT_EQ(StationFlags(h.work(), 255), STATION_DEFINED);
}

// A number with no entry in the table is refused before anything happens.
TEST_F(CloseStationsTest, WarmStartRefusesStationsBeyondTheTable) {
  const struct {
    int32_t station;
    const char* line;
  } cases[] = {
      {256, "KESTA> WarmStart() VPI1 plc100h invalid station number"},
      {-1, "KESTA> WarmStart() VPI1 plcFFFFFFFFh invalid station number"},
      {INT32_MIN, "KESTA> WarmStart() VPI1 plc80000000h invalid station number"},
  };
  Open(0, 3, 4, READ_OPEN | WRITE_OPEN);
  Open(255, 5, 6, STATION_DEFINED | READ_OPEN | WRITE_OPEN);
  const std::vector<uint8_t> before(h.work(), h.work() + kWorkAreaSize);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.station);
    h.log.clear();
    EXPECT_EQ(WarmStart(c.station), 1);
    EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, c.line}}));
  }
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_TRUE(h.platform.sleeps.empty());
  EXPECT_EQ(std::vector<uint8_t>(h.work(), h.work() + kWorkAreaSize), before);
}

TEST_F(CloseStationsTest, EndVpiWithNothingOpenOnlyDeactivates) {
  EXPECT_EQ(h.Call(11, nullptr), 0);
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_FALSE(IsActive(h.work()));
  EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, "KESTA> EndVpi() exited, 0"}}));
}

// Every open number of all 256 stations is closed in ascending order, each
// read before write, even after failures; the table keeps numbers and bits,
// so a later WarmStart closes the same numbers again.
TEST_F(CloseStationsTest, EndVpiClosesEverythingAndLeavesTheTable) {
  Open(0, 10, -1, READ_OPEN);
  Open(5, 11, 12, STATION_DEFINED | READ_OPEN | WRITE_OPEN | LAST_READ_OK);
  Open(255, -1, 13, STATION_DEFINED | WRITE_OPEN);
  h.card.stop = {Rc(0), Rc(1), Rc(2), Rc(0)};
  const std::vector<uint8_t> stationsBefore(h.work() + kWaStations, h.work() + kWaDataBuffer);

  EXPECT_EQ(h.Call(11, nullptr), 3);

  EXPECT_EQ(Closed(), (std::vector<uint16_t>{10, 11, 12, 13}));
  EXPECT_FALSE(IsActive(h.work()));
  EXPECT_EQ(std::vector<uint8_t>(h.work() + kWaStations, h.work() + kWaDataBuffer), stationsBefore);
  EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, "KESTA> EndVpi() exited, 3"}}));
  EXPECT_TRUE(h.platform.sleeps.empty());

  h.card.calls.clear();
  EXPECT_EQ(WarmStart(5), 0);
  EXPECT_EQ(Closed(), (std::vector<uint16_t>{11, 12}));
}

// A host that closes before it ever started a VPI: the work area holds what
// the host left there (zeros look like open connection 0), and no card
// library is bound. Nothing may be called through a null entry.
TEST(CloseStations, BeforeAnyColdStartNothingIsCalled) {
  DriverHarness h;
  const H1Entries bound = g_h1;
  g_h1 = H1Entries{};
  std::memset(h.work(), 0, kWorkAreaSize);
  SetActive(h.work(), true);
  SetStationFlags(h.work(), 3, STATION_DEFINED);

  int32_t station = 3;
  EXPECT_EQ(h.Call(2, &station), 0);
  EXPECT_EQ(h.Call(11, nullptr), 0);
  EXPECT_EQ(OpenChannel(h.work(), 3, Direction::Read), 1);

  g_h1 = bound;
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_FALSE(IsActive(h.work()));
  EXPECT_EQ(StationConn(h.work(), 3, Direction::Read), -1);
  EXPECT_EQ(StationConn(h.work(), 4, Direction::Read), 0);  // EndVpi leaves the table
}

}  // namespace
}  // namespace kesta::test
