#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "s5/s5_frame.h"
#include "s5_fixture.h"

namespace kesta::test {
namespace {

constexpr uint32_t kSingleWrite = 7;
constexpr uint32_t kBlockWrite = 10;

using WriteTest = S5Test;

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& pieces) {
  std::vector<uint8_t> out;
  for (const auto& p : pieces) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<uint8_t> WriteHeader(uint8_t org, uint8_t db, uint16_t start, uint16_t length) {
  return Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x03, 0x03, 0x08, org, db, start >> 8, start & 0xFF,
                length >> 8, length & 0xFF, 0xFF, 0x02});
}

std::vector<uint8_t> Frame(std::vector<uint8_t> header, const std::vector<uint8_t>& data) {
  header.insert(header.end(), data.begin(), data.end());
  return header;
}

TEST_F(WriteTest, SingleWordIsOneEighteenBytePieceWithoutARead) {
  HostBuffer buffer;
  buffer.SetValue16(0x1234);
  IoRecord io = Gate(kKindWord, PackS5Address(0, 10, 3), buffer);
  h.card.receive.push_back(Piece(Answer()));
  EXPECT_EQ(h.Call(kSingleWrite, &io), 0);
  EXPECT_EQ(SentPieces(), (std::vector<std::vector<uint8_t>>{
                              Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x03, 0x03, 0x08, 0x01, 0x0A,
                                     0x00, 0x03, 0x00, 0x01, 0xFF, 0x02, 0x12, 0x34})}));
  EXPECT_EQ(SentConnectionWords(), (std::vector<uint16_t>{1}));
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 1u);
  EXPECT_EQ(StationConn(h.work(), kStation, Direction::Read), -1);
  EXPECT_EQ(Flags(), STATION_DEFINED | WRITE_OPEN | LAST_WRITE_OK);
  const std::vector<uint8_t> receive = h.card.callsOf("H1LeseDaten")[0].block;
  EXPECT_EQ(std::vector<uint8_t>(receive.begin(), receive.begin() + 4), Bytes({1, 0, 0, 4}));
  EXPECT_TRUE(h.log.lines().empty());
}

// Single writes by kind; `current` is the controller's word or byte that a
// read-modify-write fetches first (empty: no read expected).
TEST_F(WriteTest, SingleFramesByKind) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t bit;
    std::vector<uint8_t> host;  // host buffer from offset 0
    std::vector<uint8_t> current;
    std::vector<uint8_t> frame;
  };
  const Case cases[] = {
      {"set bit 3 of a word", kKindWord, PackS5Address(0, 10, 3), 3, {0, 0, 7, 0}, {0x00, 0xF0},
       Frame(WriteHeader(1, 10, 3, 1), {0x00, 0xF8})},
      {"clear bit 4 of a word", kKindWord, PackS5Address(0, 10, 3), 4, {0, 0, 0, 0},
       {0x00, 0xF0}, Frame(WriteHeader(1, 10, 3, 1), {0x00, 0xE0})},
      {"set bit 15 of a word", kKindWord, PackS5Address(0, 10, 3), 15, {0, 0, 0, 1},
       {0x00, 0x01}, Frame(WriteHeader(1, 10, 3, 1), {0x80, 0x01})},
      {"byte at an even address", kKindByte, PackS5Address(0, 10, 8), kNoBit, {0, 0, 0x41, 0},
       {0x12, 0x34}, Frame(WriteHeader(1, 10, 4, 1), {0x12, 0x41})},
      {"byte at an odd address", kKindByte, PackS5Address(0, 10, 9), kNoBit, {0, 0, 0x41, 0},
       {0x12, 0x34}, Frame(WriteHeader(1, 10, 4, 1), {0x41, 0x34})},
      {"flag byte", kKindFlag, 0xFF, kNoBit, {0, 0, 0x81, 0x7F}, {},
       Frame(WriteHeader(2, 0, 0xFF, 1), {0x81})},
      {"output byte", kKindOutput, 0x0F, kNoBit, {0, 0, 0x01, 0}, {},
       Frame(WriteHeader(4, 0, 0x0F, 1), {0x01})},
      {"set flag bit 7", kKindFlag, 0x20, 7, {0, 0, 1, 0}, {0x01},
       Frame(WriteHeader(2, 0, 0x20, 1), {0x81})},
      {"clear output bit 0", kKindOutput, 0x20, 0, {0, 0, 0, 0}, {0x81},
       Frame(WriteHeader(4, 0, 0x20, 1), {0x80})},
      {"output bit 9 leaves the byte", kKindOutput, 0x20, 9, {0, 0, 1, 0}, {0x81},
       Frame(WriteHeader(4, 0, 0x20, 1), {0x81})},
      {"float 1.0", kKindFloat, PackS5Address(0, 10, 4), kNoBit, {0x00, 0x00, 0x80, 0x3F}, {},
       Frame(WriteHeader(1, 10, 8, 2), {0x01, 0x40, 0x00, 0x00})},
      {"double word keeps its bits", kKindDouble, PackS5Address(0, 10, 4), kNoBit,
       {0x00, 0x00, 0x80, 0x3F}, {}, Frame(WriteHeader(1, 10, 8, 2), {0x3F, 0x80, 0x00, 0x00})},
      {"string shorter than its length", kKindString, PackS5Address(10, 10, 2), kNoBit,
       {'A', 'B', 'C', 0, 'Z', 'Z'}, {},
       Frame(WriteHeader(1, 10, 10, 5), {0x41, 0x42, 0x43, 0, 0, 0, 0, 0, 0, 0})},
      {"string as long as its length", kKindString, PackS5Address(4, 10, 0), kNoBit,
       {'W', 'X', 'Y', 'Z', 'Q'}, {}, Frame(WriteHeader(1, 10, 0, 2), {'W', 'X', 'Y', 'Z'})},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.card.receive.clear();
    h.log.clear();
    HostBuffer buffer(8);
    std::memcpy(buffer.data(), c.host.data(), c.host.size());
    const std::vector<uint8_t> before = buffer.contents();
    IoRecord io = Gate(c.kind, c.s5Address, buffer, c.bit);
    io.width = 8;
    const IoRecord saved = io;
    if (!c.current.empty()) h.card.receive.push_back(Piece(Answer(c.current)));
    h.card.receive.push_back(Piece(Answer()));

    EXPECT_EQ(h.Call(kSingleWrite, &io), 0) << c.what;
    const auto pieces = SentPieces();
    ASSERT_EQ(pieces.size(), c.current.empty() ? 1u : 2u) << c.what;
    EXPECT_EQ(pieces.back(), c.frame) << c.what;
    if (!c.current.empty()) {
      EXPECT_EQ(pieces[0][5], kS5OpFetch) << c.what;
    }
    // The host finds its own value and record again.
    EXPECT_EQ(buffer.contents(), before) << c.what;
    EXPECT_EQ(io.kind, saved.kind) << c.what;
    EXPECT_EQ(io.s5Address, saved.s5Address) << c.what;
    EXPECT_EQ(io.bit, saved.bit) << c.what;
    EXPECT_EQ(io.width, saved.width) << c.what;
    EXPECT_TRUE(h.log.lines().empty()) << c.what;
    EXPECT_TRUE(buffer.GuardsIntact()) << c.what;
  }
}

TEST_F(WriteTest, ReadModifyWriteFetchesTheWholeWordOnTheReadConnection) {
  HostBuffer buffer;
  buffer.SetValue16(0x41);
  IoRecord io = Gate(kKindByte, PackS5Address(0, 10, 0x25), buffer);
  h.card.receive.push_back(Piece(Answer({0x12, 0x34})));
  h.card.receive.push_back(Piece(Answer()));
  EXPECT_EQ(h.Call(kSingleWrite, &io), 0);
  // Write connection first (1), then the read connection of the inner read (2).
  EXPECT_EQ(SentConnectionWords(), (std::vector<uint16_t>{2, 1}));
  EXPECT_EQ(SentPieces()[0], Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A,
                                    0x00, 0x12, 0x00, 0x01, 0xFF, 0x02}));
  EXPECT_EQ(Flags(), STATION_DEFINED | READ_OPEN | WRITE_OPEN | LAST_READ_OK | LAST_WRITE_OK);
}

TEST_F(WriteTest, FailedReadOfReadModifyWriteSendsNothing) {
  HostBuffer buffer;
  buffer.SetValue16(1);
  IoRecord io = Gate(kKindWord, PackS5Address(0, 10, 3), buffer, 5);
  io.count = 9;
  h.card.receive.push_back(Piece(Answer({}, 4)));
  EXPECT_EQ(h.Call(kSingleWrite, &io), 1);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{
                {8, "KESTA> DoRead() unable to read requested data S5err4 VPI1 '0A05012'"},
                {8, "KESTA> SingleWrite() '0A05012' read error for read modify write"}}));
  EXPECT_EQ(SentPieces().size(), 1u);  // the fetch only
  EXPECT_EQ(io.bit, 5);
  EXPECT_EQ(io.kind, kKindWord);
  EXPECT_EQ(io.count, 1);  // set by the single read
  EXPECT_EQ(buffer.Value16(), 1);
  EXPECT_EQ(Flags() & LAST_WRITE_OK, 0);

  // A read that fails to communicate passes its 2 on.
  h.card.calls.clear();
  h.log.clear();
  h.card.send.push_back(Status(0, 6));
  EXPECT_EQ(h.Call(kSingleWrite, &io), 2);
  EXPECT_EQ(h.log.texts().back(), "KESTA> SingleWrite() '0A05012' read error for read modify write");
  EXPECT_EQ(SentPieces().size(), 1u);
}

// A byte of a data word borrows kind, width and s5Address for its read; a
// failed read must give all three back and send no write.
TEST_F(WriteTest, FailedReadOfByteGateRestoresTheBorrowedFields) {
  HostBuffer buffer;
  buffer.SetValue16(0x41);
  IoRecord io = Gate(kKindByte, PackS5Address(0, 10, 0x25), buffer);
  io.width = 8;
  h.card.receive.push_back(Piece(Answer({}, 6)));
  EXPECT_EQ(h.Call(kSingleWrite, &io), 1);
  EXPECT_EQ(h.log.texts().back(), "KESTA> SingleWrite() '0A05012' read error for read modify write");
  EXPECT_EQ(io.kind, kKindByte);
  EXPECT_EQ(io.width, 8);
  EXPECT_EQ(io.s5Address, PackS5Address(0, 10, 0x25));
  EXPECT_EQ(io.bit, kNoBit);
  EXPECT_EQ(buffer.Value16(), 0x41);
  // Only the fetch of the word that holds byte 0x25 went out.
  EXPECT_EQ(SentPieces(), (std::vector<std::vector<uint8_t>>{
                              Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A,
                                     0x00, 0x12, 0x00, 0x01, 0xFF, 0x02})}));
  EXPECT_EQ(StationConn(h.work(), kStation, Direction::Write), 1);
  EXPECT_EQ(Flags() & LAST_WRITE_OK, 0);
  EXPECT_TRUE(buffer.GuardsIntact());
}

TEST_F(WriteTest, BlockFrames) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t count;
    std::vector<uint8_t> host;
    std::vector<uint8_t> frame;
  };
  const Case cases[] = {
      {"words", kKindWord, PackS5Address(0, 3, 7), 2, {0x34, 0x12, 0x78, 0x56},
       Frame(WriteHeader(1, 3, 7, 2), {0x12, 0x34, 0x56, 0x78})},
      {"flags", kKindFlag, 200, 3, {1, 2, 3}, Frame(WriteHeader(2, 0, 200, 3), {1, 2, 3})},
      {"outputs", kKindOutput, 5, 2, {9, 8}, Frame(WriteHeader(4, 0, 5, 2), {9, 8})},
      {"double words", kKindDouble, PackS5Address(0, 3, 1), 3,
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       Frame(WriteHeader(1, 3, 2, 6), {4, 3, 2, 1, 8, 7, 6, 5, 12, 11, 10, 9})},
      {"floats", kKindFloat, PackS5Address(0, 3, 0), 2, {0, 0, 0x80, 0x3F, 0, 0, 0x80, 0xBF},
       Frame(WriteHeader(1, 3, 0, 4), {0x01, 0x40, 0, 0, 0x01, 0xC0, 0, 0})},
      {"data-block bytes from byte 10", kKindByte, PackS5Address(0, 3, 10), 4, {1, 2, 3, 4},
       Frame(WriteHeader(1, 3, 5, 2), {2, 1, 4, 3})},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.card.receive.push_back(Piece(Answer()));
    HostBuffer buffer(c.host.size());
    std::memcpy(buffer.data(), c.host.data(), c.host.size());
    IoRecord io = Gate(c.kind, c.s5Address, buffer, kNoBit, c.count);
    EXPECT_EQ(h.Call(kBlockWrite, &io), 0) << c.what;
    EXPECT_EQ(Concat(SentPieces()), c.frame) << c.what;
    EXPECT_EQ(buffer.contents(), c.host) << c.what;  // IEEE values stay in the host's buffer
    EXPECT_EQ(h.card.countOf("H1LeseDaten"), 1u) << c.what;  // never a read first
  }
}

TEST_F(WriteTest, LongFramesGoOutInPiecesOfAtMost256Bytes) {
  struct Case {
    int32_t kind;
    int32_t count;
    std::vector<uint16_t> lengths;
    std::vector<uint16_t> words;
    std::vector<uint8_t> firstData;  // host bytes 0, 7, 14, 21 in the frame's order
  };
  const Case cases[] = {
      {kKindWord, 120, {256}, {1}, {7, 0, 21, 14}},
      {kKindFlag, 241, {256, 1}, {0x8001, 1}, {0, 7, 14, 21}},
      {kKindFlag, 584, {256, 256, 88}, {0x8001, 0x8001, 1}, {0, 7, 14, 21}},
      {kKindDouble, 1036, {256, 256, 256, 256, 256, 256, 256, 256, 256, 256, 256, 256, 256, 256,
                           256, 256, 64},
       {}, {21, 14, 7, 0}},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.card.receive.push_back(Piece(Answer()));
    HostBuffer buffer(4144);
    for (size_t i = 0; i < buffer.size(); ++i) buffer.data()[i] = static_cast<uint8_t>(i * 7);
    IoRecord io = Gate(c.kind, 0, buffer, kNoBit, c.count);
    EXPECT_EQ(h.Call(kBlockWrite, &io), 0) << c.count;
    std::vector<uint16_t> lengths;
    for (const auto& p : SentPieces()) lengths.push_back(static_cast<uint16_t>(p.size()));
    EXPECT_EQ(lengths, c.lengths) << c.count;
    if (!c.words.empty()) {
      EXPECT_EQ(SentConnectionWords(), c.words) << c.count;
    }
    const std::vector<uint8_t> frame = Concat(SentPieces());
    ASSERT_GE(frame.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 16, frame.begin() + 20), c.firstData)
        << c.count;
  }
}

TEST_F(WriteTest, RefusedWrites) {
  struct Case {
    const char* what;
    uint32_t function;
    bool active;
    uint8_t flags;
    int32_t kind;
    int32_t count;
    int32_t result;
    uint32_t connects;
    std::vector<LogLine> log;
  };
  const uint8_t defined = STATION_DEFINED | LAST_WRITE_OK;
  const Case cases[] = {
      {"VPI inactive", kSingleWrite, false, defined, kKindWord, 1, 1, 0, {}},
      {"station status gate", kSingleWrite, true, defined, kKindStatus, 1, 1, 0, {}},
      {"station without init line", kSingleWrite, true, LAST_WRITE_OK, kKindWord, 1, 2, 0,
       {{8, "KESTA> DoWrite() error opening W channel vpi 1 plc 0Ah"}}},
      {"input byte", kSingleWrite, true, defined, kKindInput, 1, 1, 1,
       {{8, "KESTA> DoWrite() writing to inputs not allowed!"}}},
      {"block of inputs", kBlockWrite, true, defined, kKindInput, 2, 1, 1,
       {{8, "KESTA> DoWrite() writing to inputs not allowed!"}}},
      {"block of strings", kBlockWrite, true, defined, kKindString, 2, 1, 1, {}},
      {"unknown kind", kSingleWrite, true, defined, 'Q', 1, 1, 1, {}},
      {"negative count", kBlockWrite, true, defined, kKindWord, -3, 1, 1,
       {{8, "KESTA> BuildWriteFrame() '0A05012' block count -3 out of range"}}},
      {"frame beyond the data buffer", kBlockWrite, true, defined, kKindDouble, 1037, 1, 1,
       {{8, "KESTA> BuildWriteFrame() '0A05012' block count 1037 out of range"}}},
      {"odd count of data-block bytes", kBlockWrite, true, defined, kKindByte, 5, 1, 1,
       {{8, "KESTA> BuildWriteFrame() '0A05012' odd count 5 of data block bytes"}}},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.log.clear();
    SetActive(h.work(), c.active);
    SetStationFlags(h.work(), kStation, c.flags);
    SetStationConn(h.work(), kStation, Direction::Write, -1);
    HostBuffer buffer(64);
    IoRecord io = Gate(c.kind, PackS5Address(10, 1, 0), buffer, kNoBit, c.count);
    EXPECT_EQ(h.Call(c.function, &io), c.result) << c.what;
    EXPECT_EQ(h.card.countOf("H1StarteVerbindungKarte"), c.connects) << c.what;
    EXPECT_EQ(h.card.countOf("H1SendeDaten"), 0u) << c.what;
    EXPECT_EQ(h.log.lines(), c.log) << c.what;
    EXPECT_EQ(Flags() & LAST_WRITE_OK, LAST_WRITE_OK) << c.what;
  }
}

TEST_F(WriteTest, OutcomeRows) {
  struct Case {
    const char* what;
    std::vector<CardReply> send;
    std::vector<CardReply> receive;
    uint8_t flagsBefore;
    int32_t result;
    uint8_t flagsAfter;
    uint32_t receives;
    std::vector<LogLine> log;
  };
  const uint8_t open = STATION_DEFINED | WRITE_OPEN;
  const Case cases[] = {
      {"acknowledged", {}, {Piece(Answer())}, open, 0, open | LAST_WRITE_OK, 1, {}},
      {"acknowledged with S5 error 3", {}, {Piece(Answer({}, 3))}, open, 1, open | LAST_WRITE_OK,
       1, {{8, "KESTA> DoWrite() unable to write data S5err3 VPI1 '0A05012'"}}},
      {"busy acknowledgement read again", {}, {Status(3), Piece(Answer())}, open, 0,
       open | LAST_WRITE_OK, 2, {}},
      {"send refused", {Status(0, 5)}, {}, open | LAST_WRITE_OK, 2, open, 0,
       {{8, "KESTA> DoWrite() error sending data t= 0.25s rc5 fhlr0 vpi1 plc0Ah"}}},
      {"send busy twice", {Status(3), Status(3)}, {}, open | LAST_WRITE_OK, 2, open, 0,
       {{8, "KESTA> DoWrite() error sending data t= 0.35s rc0 fhlr3 vpi1 plc0Ah"}}},
      {"acknowledgement refused", {}, {Status(0, 9)}, open | LAST_WRITE_OK, 2, open, 1,
       {{32, "KESTA> DoWrite() error reading answer t1= 0.50s t2= 0.25s rc9 fhlr0 vpi1 plc0Ah"}}},
      {"acknowledgement with more to come", {}, {Piece(Answer(), 12)}, open | LAST_WRITE_OK, 2,
       open, 1,
       {{32, "KESTA> DoWrite() error reading answer t1= 0.50s t2= 0.25s rc0 fhlr12 vpi1 plc0Ah"}}},
  };
  for (const Case& c : cases) {
    h.card.calls.clear();
    h.card.send.assign(c.send.begin(), c.send.end());
    h.card.receive.assign(c.receive.begin(), c.receive.end());
    h.log.clear();
    h.platform.nowMs = 1000;
    h.platform.clockStepMs = 250;
    SetStationConn(h.work(), kStation, Direction::Write, 3);
    SetStationFlags(h.work(), kStation, c.flagsBefore);
    // A refused call leaves the status word as it was: start from zeros.
    std::memset(TransferArea(h.work()), 0, kTransferAreaSize);
    HostBuffer buffer;
    IoRecord io = Gate(kKindWord, PackS5Address(0, 10, 3), buffer);
    EXPECT_EQ(h.Call(kSingleWrite, &io), c.result) << c.what;
    EXPECT_EQ(Flags(), c.flagsAfter) << c.what;
    EXPECT_EQ(h.card.countOf("H1LeseDaten"), c.receives) << c.what;
    EXPECT_EQ(h.log.lines(), c.log) << c.what;
    EXPECT_EQ(StationConn(h.work(), kStation, Direction::Write), 3) << c.what;
  }
}

TEST_F(WriteTest, SendTimeIsPrintedInSecondsFiveWide) {
  SetStationConn(h.work(), kStation, Direction::Write, 3);
  std::memset(TransferArea(h.work()), 0, kTransferAreaSize);
  h.platform.clockStepMs = 1234;
  h.card.send.push_back(Status(0, 1));
  HostBuffer buffer;
  IoRecord io = Gate(kKindWord, 0, buffer);
  EXPECT_EQ(h.Call(kSingleWrite, &io), 2);
  EXPECT_EQ(h.log.texts(), (std::vector<std::string>{
                               "KESTA> DoWrite() error sending data t= 1.23s rc1 fhlr0 vpi1 plc0Ah"}));
}

// A lost middle piece: the rest still goes out and the acknowledgement is
// read, but the write is reported failed with that piece's rc and status.
TEST_F(WriteTest, FailedMiddlePieceNeverEndsAsSuccess) {
  SetStationConn(h.work(), kStation, Direction::Write, 3);
  SetStationFlags(h.work(), kStation, STATION_DEFINED | WRITE_OPEN | LAST_WRITE_OK);
  h.card.send = {Status(0), Status(7), Status(0)};
  h.card.receive.push_back(Piece(Answer()));
  HostBuffer buffer(584);
  IoRecord io = Gate(kKindFlag, 0, buffer, kNoBit, 584);
  EXPECT_EQ(h.Call(kBlockWrite, &io), 2);
  EXPECT_EQ(SentPieces().size(), 3u);
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 1u);
  EXPECT_EQ(h.log.texts(), (std::vector<std::string>{
                               "KESTA> DoWrite() error sending data t= 0.00s rc0 fhlr7 vpi1 plc0Ah"}));
  EXPECT_EQ(Flags(), STATION_DEFINED | WRITE_OPEN);

  // The connection stays in step: the next write is acknowledged normally.
  h.log.clear();
  h.card.receive.push_back(Piece(Answer()));
  EXPECT_EQ(h.Call(kBlockWrite, &io), 0);
  EXPECT_TRUE(h.log.lines().empty());
  EXPECT_EQ(Flags() & LAST_WRITE_OK, LAST_WRITE_OK);
}

// When the last piece fails as well, no acknowledgement is read (none
// comes); the line still shows the first failed piece.
TEST_F(WriteTest, FailedMiddleAndLastPieceReadNoAcknowledgement) {
  SetStationConn(h.work(), kStation, Direction::Write, 3);
  SetStationFlags(h.work(), kStation, STATION_DEFINED | WRITE_OPEN | LAST_WRITE_OK);
  h.card.send = {Status(0), Status(7), Status(0, 5)};
  h.card.receive.push_back(Piece(Answer()));
  HostBuffer buffer(584);
  IoRecord io = Gate(kKindFlag, 0, buffer, kNoBit, 584);
  EXPECT_EQ(h.Call(kBlockWrite, &io), 2);
  EXPECT_EQ(SentPieces().size(), 3u);
  EXPECT_EQ(h.card.countOf("H1LeseDaten"), 0u);
  EXPECT_EQ(h.log.texts(), (std::vector<std::string>{
                               "KESTA> DoWrite() error sending data t= 0.00s rc0 fhlr7 vpi1 plc0Ah"}));
  EXPECT_EQ(Flags(), STATION_DEFINED | WRITE_OPEN);
}

}  // namespace
}  // namespace kesta::test
