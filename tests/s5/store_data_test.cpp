#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_capture.h"
#include "s5/store_data.h"
#include "s5_fixture.h"

namespace kesta::test {
namespace {

IoRecord Record(int32_t kind, int32_t s5Address, HostBuffer& buffer, int32_t bit = kNoBit,
                int32_t count = 1, int32_t gateType = 0) {
  IoRecord io{};
  io.address = "0A05012";
  io.kind = kind;
  io.s5Address = s5Address;
  io.bit = bit;
  io.gateType = gateType;
  io.count = count;
  io.data = buffer.data();
  return io;
}

// What the host buffer holds after a store: the fill byte where nothing was
// written.
std::vector<uint8_t> Expect(size_t size, size_t at, std::vector<uint8_t> bytes) {
  std::vector<uint8_t> out(size, HostBuffer::kFill);
  for (size_t i = 0; i < bytes.size(); ++i) out[at + i] = bytes[i];
  return out;
}

TEST(StoreData, SingleGatesByKind) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t bit;
    std::vector<uint8_t> received;
    size_t at;
    std::vector<uint8_t> stored;
  };
  const Case cases[] = {
      {"word", kKindWord, 0x12, kNoBit, {0x12, 0x34}, 2, {0x34, 0x12}},
      {"bit 4 of a word", kKindWord, 0x12, 4, {0x12, 0x34}, 2, {1, 0}},
      {"bit 15 of a word", kKindWord, 0x12, 15, {0x12, 0x34}, 2, {0, 0}},
      {"even byte: low-order, second", kKindByte, 0x24, kNoBit, {0xAB, 0xCD}, 2, {0xCD, 0}},
      {"odd byte: high-order, first", kKindByte, 0x25, kNoBit, {0xAB, 0xCD}, 2, {0xAB, 0}},
      {"flag byte", kKindFlag, 0xFF, kNoBit, {0x81}, 2, {0x81, 0}},
      {"input bit 7", kKindInput, 0x12, 7, {0x81}, 2, {1, 0}},
      {"output bit 9 selects nothing", kKindOutput, 0x0F, 9, {0xFF}, 2, {0, 0}},
      {"double word", kKindDouble, 9, kNoBit, {0x12, 0x34, 0x56, 0x78}, 0,
       {0x78, 0x56, 0x34, 0x12}},
      {"float 100.0", kKindFloat, 9, kNoBit, {0x07, 0x64, 0x00, 0x00}, 0,
       {0x00, 0x00, 0xC8, 0x42}},
      {"word from a longer answer", kKindWord, 0x12, kNoBit, {0x12, 0x34, 0x56, 0x78}, 2,
       {0x34, 0x12}},
  };
  for (const Case& c : cases) {
    HostBuffer buffer(8);
    LogCapture log;
    IoRecord io = Record(c.kind, c.s5Address, buffer, c.bit);
    EXPECT_EQ(StoreData(&io, c.received.data(), static_cast<uint16_t>(c.received.size()),
                        ReadScope::Single),
              0)
        << c.what;
    EXPECT_EQ(buffer.contents(), Expect(8, c.at, c.stored)) << c.what;
    EXPECT_TRUE(log.lines().empty()) << c.what;
    EXPECT_TRUE(buffer.GuardsIntact()) << c.what;
  }
}

TEST(StoreData, SingleStringStopsAtItsNulAndEndsWithOne) {
  HostBuffer buffer(8);
  IoRecord io = Record(kKindString, PackS5Address(4, 5, 0), buffer, kNoBit, 1, kGateString);
  const std::vector<uint8_t> received = {0x41, 0x42, 0x00, 0x44};
  EXPECT_EQ(StoreData(&io, received.data(), 4, ReadScope::Single), 0);
  EXPECT_EQ(buffer.contents(), Expect(8, 0, {0x41, 0x42, 0, 0, 0}));
}

// A single gate takes bytes only from the received data: a string needs
// exactly its length, other kinds their own size up to 4.
TEST(StoreData, SingleGateLengthRule) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t gateType;
    uint16_t n;
  };
  const Case refused[] = {
      {"word from 1 byte", kKindWord, 0x12, 0, 1},
      {"data-block byte from 1 byte", kKindByte, 0x24, 0, 1},
      {"double word from 3 bytes", kKindDouble, 9, kGateLong, 3},
      {"float from 2 bytes", kKindFloat, 9, kGateFloat, 2},
      {"flag from nothing", kKindFlag, 1, 0, 0},
      {"word from 5 bytes", kKindWord, 0x12, 0, 5},
      {"string of 10 from 4 bytes", kKindString, PackS5Address(10, 5, 0), kGateString, 4},
      {"string of 10 from 12 bytes", kKindString, PackS5Address(10, 5, 0), kGateString, 12},
      {"string whatever the gate type", kKindString, PackS5Address(10, 5, 0), 0, 4},
      {"string of 2 as a word gate type from 4", kKindString, PackS5Address(2, 5, 0), 0, 4},
  };
  const std::vector<uint8_t> received(16, 0x77);
  for (const Case& c : refused) {
    HostBuffer buffer(16);
    LogCapture log;
    IoRecord io = Record(c.kind, c.s5Address, buffer, kNoBit, 1, c.gateType);
    EXPECT_EQ(StoreData(&io, received.data(), c.n, ReadScope::Single), 1) << c.what;
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{{8, "KESTA> StoreData() Wrong data length"}}))
        << c.what;
    EXPECT_EQ(buffer.contents(), std::vector<uint8_t>(16, HostBuffer::kFill)) << c.what;
  }
}

TEST(StoreData, BlocksByKind) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t count;
    std::vector<uint8_t> received;
    std::vector<uint8_t> stored;
  };
  const Case cases[] = {
      {"flags as they are", kKindFlag, 3, {1, 2, 3}, {1, 2, 3}},
      {"data-block bytes pairwise", kKindByte, 4, {0xAB, 0xCD, 0xEF, 0x01},
       {0xCD, 0xAB, 0x01, 0xEF}},
      {"words", kKindWord, 2, {0x12, 0x34, 0x56, 0x78}, {0x34, 0x12, 0x78, 0x56}},
      {"double words", kKindDouble, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {4, 3, 2, 1, 8, 7, 6, 5}},
      {"floats", kKindFloat, 2, {0x01, 0x40, 0, 0, 0x01, 0xC0, 0, 0},
       {0, 0, 0x80, 0x3F, 0, 0, 0x80, 0xBF}},
      {"empty block", kKindWord, 0, {}, {}},
  };
  for (const Case& c : cases) {
    HostBuffer buffer(c.stored.size());
    IoRecord io = Record(c.kind, 0, buffer, kNoBit, c.count);
    EXPECT_EQ(StoreData(&io, c.received.data(), static_cast<uint16_t>(c.received.size()),
                        ReadScope::Block),
              0)
        << c.what;
    EXPECT_EQ(buffer.contents(), c.stored) << c.what;
    EXPECT_TRUE(buffer.GuardsIntact()) << c.what;
  }
}

TEST(StoreData, BlockOfStringsFillsEightyOneByteSlots) {
  HostBuffer buffer(3 * kStringSlotSize);
  IoRecord io = Record(kKindString, PackS5Address(6, 5, 0), buffer, kNoBit, 3, kGateString);
  const char received[] = "ABCDEFGH\0JKLMNOPQR";
  EXPECT_EQ(StoreData(&io, reinterpret_cast<const uint8_t*>(received), 18,
                      ReadScope::Block),
            0);
  const std::vector<uint8_t> c = buffer.contents();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&c[0]), 7), std::string("ABCDEF\0", 7));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&c[81]), 7), std::string("GH\0\0\0\0\0", 7));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&c[162]), 7), std::string("MNOPQR\0", 7));
  EXPECT_EQ(c[7], HostBuffer::kFill);
  EXPECT_TRUE(buffer.GuardsIntact());
}

TEST(StoreData, BlockLengthMismatchStoresNothing) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t count;
    uint16_t n;
    const char* message;
  };
  const Case cases[] = {
      // Five bytes are asked as three words: six bytes arrive.
      {"odd count of data-block bytes", kKindByte, 6, 5, 6,
       "KESTA> StoreData() Wrong data length (req5 rec6)"},
      // Exactly count bytes, but not whole words: the last byte has no partner.
      {"odd data-block bytes matching the count", kKindByte, 6, 5, 5,
       "KESTA> StoreData() Wrong data length (req5 rec5)"},
      {"words", kKindWord, 0, 3, 4, "KESTA> StoreData() Wrong data length (req6 rec4)"},
      {"double words", kKindDouble, 0, 2, 12,
       "KESTA> StoreData() Wrong data length (req8 rec12)"},
      {"strings short of L x count", kKindString, PackS5Address(6, 5, 0), 3, 12,
       "KESTA> StoreData() Wrong data length (req18 rec12)"},
  };
  const std::vector<uint8_t> received(32, 0x77);
  for (const Case& c : cases) {
    HostBuffer buffer(256);
    LogCapture log;
    IoRecord io = Record(c.kind, c.s5Address, buffer, kNoBit, c.count);
    EXPECT_EQ(StoreData(&io, received.data(), c.n, ReadScope::Block), 1) << c.what;
    EXPECT_EQ(log.lines(), (std::vector<LogLine>{{8, c.message}})) << c.what;
    EXPECT_EQ(buffer.contents(), std::vector<uint8_t>(256, HostBuffer::kFill)) << c.what;
  }
}

TEST(StoreData, UnknownKindIsRefusedSilently) {
  HostBuffer buffer(8);
  LogCapture log;
  const uint8_t received[2] = {1, 2};
  for (ReadScope scope : {ReadScope::Single, ReadScope::Block}) {
    IoRecord io = Record('Q', 0, buffer, kNoBit, 2);
    EXPECT_EQ(StoreData(&io, received, 2, scope), 1);
  }
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(buffer.contents(), std::vector<uint8_t>(8, HostBuffer::kFill));
}

}  // namespace
}  // namespace kesta::test
