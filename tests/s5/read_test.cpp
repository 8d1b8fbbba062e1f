#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "h1/card_library.h"
#include "s5/store_data.h"
#include "s5_fixture.h"

namespace kesta::test {
namespace {

constexpr uint32_t kSingleRead = 5;
constexpr uint32_t kBlockRead = 6;

using ReadTest = S5Test;

TEST_F(ReadTest, StationStatusGateReadsTheFlagsWithoutTheCard) {
  SetStationFlags(h.work(), kStation, STATION_DEFINED | READ_OPEN | LAST_READ_OK);
  SetActive(h.work(), false);
  HostBuffer buffer;
  IoRecord io = Gate(kKindStatus, kStation, buffer);
  io.station = 0;
  EXPECT_EQ(h.Call(kSingleRead, &io), 0);
  EXPECT_EQ(buffer.Value16(), 11);
  EXPECT_EQ(buffer.data()[0], HostBuffer::kFill);
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_EQ(Flags(), STATION_DEFINED | READ_OPEN | LAST_READ_OK);
}

TEST_F(ReadTest, SingleWordReadSendsOneFetchAndStoresTheValue) {
  HostBuffer buffer;
  IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0x12), buffer, kNoBit, 7);
  h.card.receive.push_back(Piece(Answer({0x12, 0x34})));

  EXPECT_EQ(h.Call(kSingleRead, &io), 0);
  EXPECT_EQ(buffer.Value16(), 0x1234);
  EXPECT_EQ(io.count, 1);  // a single read sets the host's count
  EXPECT_EQ(Flags(), STATION_DEFINED | READ_OPEN | LAST_READ_OK);
  EXPECT_EQ(StationConn(h.work(), kStation, Direction::Read), 1);
  EXPECT_EQ(StationConn(h.work(), kStation, Direction::Write), -1);

  ASSERT_EQ(h.card.countOf("H1SendeDaten"), 1u);
  const std::vector<uint8_t> block = h.card.callsOf("H1SendeDaten")[0].block;
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 4), Bytes({1, 0, 16, 0}));
  EXPECT_EQ(SentPieces()[0], Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x05,
                                    0x00, 0x12, 0x00, 0x01, 0xFF, 0x02}));
  const std::vector<uint8_t> receive = h.card.callsOf("H1LeseDaten")[0].block;
  EXPECT_EQ(std::vector<uint8_t>(receive.begin(), receive.begin() + 4), Bytes({1, 0, 0, 4}));
  EXPECT_TRUE(h.log.lines().empty());
  EXPECT_TRUE(h.GuardsIntact());
  EXPECT_TRUE(buffer.GuardsIntact());
}

TEST_F(ReadTest, OpenConnectionIsReusedWithoutConnecting) {
  SetStationConn(h.work(), kStation, Direction::Read, 0x123);
  HostBuffer buffer;
  IoRecord io = Gate(kKindFlag, 0x20, buffer);
  h.card.receive.push_back(Piece(Answer({0x42})));
  EXPECT_EQ(h.Call(kSingleRead, &io), 0);
  EXPECT_EQ(buffer.Value16(), 0x42);
  EXPECT_EQ(h.card.countOf("H1StarteVerbindungKarte"), 0u);
  EXPECT_EQ(SentConnectionWords(), (std::vector<uint16_t>{0x123}));
}

TEST_F(ReadTest, AnswerInThreePiecesIsStoredAsOne) {
  HostBuffer buffer(6);
  IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0), buffer, kNoBit, 3);
  const std::vector<uint8_t> answer = Answer({0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
  h.card.receive.push_back(Piece({answer.begin(), answer.begin() + 5}, 12));
  h.card.receive.push_back(Piece({answer.begin() + 5, answer.begin() + 17}, 12));
  h.card.receive.push_back(Piece({answer.begin() + 17, answer.end()}, 0));
  EXPECT_EQ(h.Call(kBlockRead, &io), 0);
  EXPECT_EQ(buffer.contents(), Bytes({0x22, 0x11, 0x44, 0x33, 0x66, 0x55}));
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 3u);
  // The request length of 1024 is set once, before the first piece.
  EXPECT_EQ(io.count, 3);
}

TEST_F(ReadTest, BusyReceiveIsRepeatedOnceAfterAPause) {
  HostBuffer buffer;
  IoRecord io = Gate(kKindInput, 3, buffer);
  h.card.receive.push_back(Status(3));
  h.card.receive.push_back(Piece(Answer({0x99})));
  EXPECT_EQ(h.Call(kSingleRead, &io), 0);
  EXPECT_EQ(buffer.Value16(), 0x99);
  EXPECT_EQ(h.platform.sleeps, (std::vector<uint32_t>{100}));
}

// A block of data words whose answer fills the data buffer exactly, header
// included, and the same answer one byte longer.
TEST_F(ReadTest, AnswerOfExactlyTheBufferSizeIsAccepted) {
  HostBuffer buffer(4144);
  IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0), buffer, kNoBit, 2072);
  std::vector<uint8_t> answer = Answer(std::vector<uint8_t>(4144, 0xAB));
  for (size_t at = 0; at < answer.size(); at += 1000) {
    const size_t end = at + 1000 < answer.size() ? at + 1000 : answer.size();
    h.card.receive.push_back(Piece({answer.begin() + at, answer.begin() + end},
                                   end == answer.size() ? 0 : 12));
  }
  EXPECT_EQ(h.Call(kBlockRead, &io), 0);
  EXPECT_EQ(buffer.contents(), std::vector<uint8_t>(4144, 0xAB));
  EXPECT_TRUE(h.GuardsIntact());
}

TEST_F(ReadTest, OverflowRefusesTheReadAndDrainsTheRestOfTheAnswer) {
  SetStationConn(h.work(), kStation, Direction::Read, 1);
  HostBuffer buffer(64);
  IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0), buffer, kNoBit, 2);
  for (int i = 0; i < 4; ++i) h.card.receive.push_back(Piece(std::vector<uint8_t>(1000, 1), 12));
  h.card.receive.push_back(Piece(std::vector<uint8_t>(161, 2), 12));  // 4161 bytes
  h.card.receive.push_back(Piece(std::vector<uint8_t>(500, 3), 12));
  h.card.receive.push_back(Piece(std::vector<uint8_t>(20, 4), 0));    // end of that answer
  h.card.receive.push_back(Piece(Answer({0x12, 0x34, 0x56, 0x78})));  // the next read's

  EXPECT_EQ(h.Call(kBlockRead, &io), 1);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{{8, "KESTA> DoRead() '0A05012' databuf overflow 4000+161 > 4160"}}));
  EXPECT_EQ(Flags(), STATION_DEFINED);  // LAST_READ_OK untouched
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 7u);
  EXPECT_EQ(buffer.contents(), std::vector<uint8_t>(64, HostBuffer::kFill));

  h.log.clear();
  EXPECT_EQ(h.Call(kBlockRead, &io), 0);
  EXPECT_EQ(GetLe16(buffer.data()), 0x1234);
  EXPECT_EQ(GetLe16(buffer.data() + 2), 0x5678);
  EXPECT_TRUE(h.GuardsIntact());
}

// An oversized piece that says more follows fails the read, and the rest of
// that answer is drained: the piece that looks like an answer (DE AD) and its
// end never reach the next read, which gets its own answer.
TEST_F(ReadTest, OversizedPieceDrainsTheRestOfTheAnswer) {
  SetStationConn(h.work(), kStation, Direction::Read, 1);
  SetStationFlags(h.work(), kStation, STATION_DEFINED | READ_OPEN | LAST_READ_OK);
  HostBuffer buffer;
  buffer.SetValue16(0x4711);
  IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0x12), buffer);
  CardReply oversized = Piece(Answer(), 12);
  oversized.received = 1013;
  h.card.receive.push_back(oversized);
  h.card.receive.push_back(Piece(Answer({0xDE, 0xAD}), 12));
  h.card.receive.push_back(Piece({}, 0));                     // end of that answer
  h.card.receive.push_back(Piece(Answer({0x12, 0x34})));      // the next read's

  EXPECT_EQ(h.Call(kSingleRead, &io), 2);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{
                {32, "KESTA> DoRead() error reading answer t1= 0.00s t2= 0.00s rc0 fhlr12 vpi1 "
                     "plc0Ah"}}));
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 3u);
  EXPECT_EQ(Flags(), STATION_DEFINED | READ_OPEN);
  EXPECT_EQ(buffer.Value16(), 0x4711);

  h.log.clear();
  EXPECT_EQ(h.Call(kSingleRead, &io), 0);
  EXPECT_EQ(buffer.Value16(), 0x1234);
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 4u);
  EXPECT_TRUE(h.card.receive.empty());
  EXPECT_TRUE(h.log.lines().empty());
  EXPECT_EQ(Flags(), STATION_DEFINED | READ_OPEN | LAST_READ_OK);
  EXPECT_TRUE(buffer.GuardsIntact());
}

TEST_F(ReadTest, FailureRows) {
  struct Case {
    const char* what;
    std::vector<CardReply> send;
    std::vector<CardReply> receive;
    uint8_t flagsBefore;
    int32_t result;
    uint8_t flagsAfter;
    std::vector<LogLine> log;
  };
  const uint8_t open = STATION_DEFINED | READ_OPEN;
  const Case cases[] = {
      {"send refused", {Status(0, 5)}, {}, open | LAST_READ_OK, 2, open,
       {{8, "KESTA> DoRead() error sending data t= 0.25s rc5 fhlr0 vpi1 plc0Ah"}}},
      {"send busy twice", {Status(3), Status(3)}, {}, open | LAST_READ_OK, 2, open,
       {{8, "KESTA> DoRead() error sending data t= 0.35s rc0 fhlr3 vpi1 plc0Ah"}}},
      {"send status 7", {Status(7)}, {}, open, 2, open,
       {{8, "KESTA> DoRead() error sending data t= 0.25s rc0 fhlr7 vpi1 plc0Ah"}}},
      {"receive refused", {}, {Status(0, 9)}, open | LAST_READ_OK, 2, open,
       {{32, "KESTA> DoRead() error reading answer t1= 0.50s t2= 0.25s rc9 fhlr0 vpi1 plc0Ah"}}},
      {"receive status 99 after a piece", {}, {Piece(Answer(), 12), Status(99)},
       open | LAST_READ_OK, 2, open,
       {{32, "KESTA> DoRead() error reading answer t1= 0.50s t2= 0.25s rc0 fhlr99 vpi1 plc0Ah"}}},
      {"receive busy twice", {}, {Status(3), Status(3)}, open | LAST_READ_OK, 2, open,
       {{32, "KESTA> DoRead() error reading answer t1= 0.60s t2= 0.35s rc0 fhlr3 vpi1 plc0Ah"}}},
      {"piece larger than the transfer area", {}, [] {
         CardReply r = Piece(Answer({1, 2}));
         r.received = 1013;
         return std::vector<CardReply>{r};
       }(), open | LAST_READ_OK, 2, open,
       {{32, "KESTA> DoRead() error reading answer t1= 0.50s t2= 0.25s rc0 fhlr0 vpi1 plc0Ah"}}},
      {"S5 error number 5", {}, {Piece(Answer({1, 2}, 5))}, open, 1, open | LAST_READ_OK,
       {{8, "KESTA> DoRead() unable to read requested data S5err5 VPI1 '0A05012'"}}},
      {"answer shorter than its header", {}, {Piece(Bytes({'S', '5', 0x10}))}, open, 1,
       open | LAST_READ_OK,
       {{8, "KESTA> DoRead() '0A05012' answer of 3 bytes shorter than its header"}}},
      {"wrong data length", {}, {Piece(Answer({1}))}, open, 1, open | LAST_READ_OK,
       {{8, "KESTA> StoreData() Wrong data length"}}},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.card.send.assign(c.send.begin(), c.send.end());
    h.card.receive.assign(c.receive.begin(), c.receive.end());
    h.log.clear();
    h.platform.sleeps.clear();
    h.platform.nowMs = 1000;
    h.platform.clockStepMs = 250;
    SetStationConn(h.work(), kStation, Direction::Read, 4);
    SetStationFlags(h.work(), kStation, c.flagsBefore);
    // A refused call leaves the status word as it was: start from zeros.
    std::memset(TransferArea(h.work()), 0, kTransferAreaSize);
    HostBuffer buffer;
    buffer.SetValue16(0x4711);
    IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0x12), buffer);

    EXPECT_EQ(h.Call(kSingleRead, &io), c.result) << c.what;
    EXPECT_EQ(Flags(), c.flagsAfter) << c.what;
    EXPECT_EQ(h.log.lines(), c.log) << c.what;
    EXPECT_EQ(buffer.Value16(), 0x4711) << c.what;  // nothing stored
    EXPECT_EQ(StationConn(h.work(), kStation, Direction::Read), 4) << c.what;  // stays open
    EXPECT_EQ(h.card.countOf("H1StarteVerbindungKarte"), 0u) << c.what;
    EXPECT_TRUE(h.GuardsIntact()) << c.what;
  }
}

TEST_F(ReadTest, RefusedBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    bool active;
    int32_t kind;
    int32_t s5Address;
    int32_t count;
    uint32_t connects;
    std::vector<LogLine> log;
  };
  const Case cases[] = {
      {"VPI inactive", false, kKindWord, 0, 1, 0, {}},
      {"kind not readable", true, 'Q', 0, 1, 1, {}},
      {"negative count", true, kKindWord, 0, -1, 1,
       {{8, "KESTA> DoRead() '0A05012' block count -1 out of range"}}},
      {"answer beyond the data buffer", true, kKindWord, 0, 2073, 1,
       {{8, "KESTA> DoRead() '0A05012' block count 2073 out of range"}}},
      {"strings beyond the data buffer", true, kKindString, PackS5Address(80, 1, 0), 52, 1,
       {{8, "KESTA> DoRead() '0A05012' block count 52 out of range"}}},
      {"count that would wrap the request length", true, kKindDouble, 0, 0x8001, 1,
       {{8, "KESTA> DoRead() '0A05012' block count 32769 out of range"}}},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.log.clear();
    SetStationConn(h.work(), kStation, Direction::Read, -1);
    SetStationFlags(h.work(), kStation, STATION_DEFINED | LAST_READ_OK);
    SetActive(h.work(), c.active);
    HostBuffer buffer;
    IoRecord io = Gate(c.kind, c.s5Address, buffer, kNoBit, c.count);
    EXPECT_EQ(h.Call(kBlockRead, &io), 1) << c.what;
    EXPECT_EQ(h.card.countOf("H1StarteVerbindungKarte"), c.connects) << c.what;
    EXPECT_EQ(h.card.countOf("H1SendeDaten"), 0u) << c.what;
    EXPECT_EQ(h.log.lines(), c.log) << c.what;
    EXPECT_EQ(Flags() & LAST_READ_OK, LAST_READ_OK) << c.what;
  }
}

TEST_F(ReadTest, LargestStringBlockThatFitsIsSent) {
  HostBuffer buffer(51 * kStringSlotSize);
  IoRecord io = Gate(kKindString, PackS5Address(80, 1, 0), buffer, kNoBit, 51, kGateString);
  // Split into pieces of at most 1012 bytes, as a card delivers them.
  const std::vector<uint8_t> answer = Answer(std::vector<uint8_t>(4080, 'x'));
  for (size_t at = 0; at < answer.size(); at += 1012) {
    const size_t end = at + 1012 < answer.size() ? at + 1012 : answer.size();
    h.card.receive.push_back(Piece({answer.begin() + at, answer.begin() + end},
                                   end == answer.size() ? 0 : 12));
  }
  EXPECT_EQ(h.Call(kBlockRead, &io), 0);
  EXPECT_EQ(GetBe16(SentPieces()[0].data() + 12), 2040);
  EXPECT_EQ(buffer.data()[50 * kStringSlotSize + 79], 'x');
  EXPECT_EQ(buffer.data()[50 * kStringSlotSize + 80], 0);
  EXPECT_TRUE(buffer.GuardsIntact());
}

TEST_F(ReadTest, StationWithoutInitLineCannotBeOpened) {
  SetStationFlags(h.work(), kStation, 0);
  HostBuffer buffer;
  IoRecord io = Gate(kKindWord, 0, buffer);
  EXPECT_EQ(h.Call(kSingleRead, &io), 2);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{{8, "KESTA> DoRead() error opening R channel vpi1 plc0Ah"}}));
  EXPECT_TRUE(h.card.calls.empty());
}

TEST_F(ReadTest, StationNumbersOutsideTheTableAreRefused) {
  HostBuffer buffer;
  IoRecord status = Gate(kKindStatus, 256, buffer);
  EXPECT_EQ(h.Call(kSingleRead, &status), 1);
  IoRecord word = Gate(kKindWord, 0, buffer);
  word.station = -1;
  EXPECT_EQ(h.Call(kSingleRead, &word), 1);
  EXPECT_EQ(h.log.texts(), (std::vector<std::string>{
                               "KESTA> DoRead() '0A05012' invalid station 256",
                               "KESTA> DoRead() '0A05012' invalid station -1"}));
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_TRUE(h.GuardsIntact());
}

}  // namespace
}  // namespace kesta::test

namespace kesta::test {
namespace {

// Another VPI's ColdStart may have found a library without these entries;
// the transactions then fail as communication failures instead of calling null.
TEST_F(S5Test, MissingSendOrReceiveEntryFailsWithoutACall) {
  struct Case {
    bool dropSend;
    const char* line;
  };
  const Case cases[] = {
      {true, "KESTA> DoRead() error sending data t= 0.00s rc65535 fhlr0 vpi1 plc0Ah"},
      {false, "KESTA> DoRead() error reading answer t1= 0.00s t2= 0.00s rc65535 fhlr0 vpi1 plc0Ah"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    BindFakeCard();
    if (c.dropSend) {
      g_h1.H1SendeDaten = nullptr;
    } else {
      g_h1.H1LeseDaten = nullptr;
    }
    std::memset(TransferArea(h.work()), 0, kTransferAreaSize);
    h.log.clear();
    HostBuffer buffer;
    IoRecord io = Gate(kKindWord, PackS5Address(0, 5, 0x12), buffer);
    EXPECT_EQ(h.Call(5, &io), 2);
    EXPECT_EQ(h.log.texts().back(), c.line);
    EXPECT_EQ(Flags() & LAST_READ_OK, 0);
    EXPECT_TRUE(buffer.GuardsIntact());
  }
  BindFakeCard();
}

}  // namespace
}  // namespace kesta::test
