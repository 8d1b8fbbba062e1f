#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "controller.h"
#include "controller_responder.h"
#include "s5/store_data.h"
#include "s5_fixture.h"

namespace kesta::test {
namespace {

constexpr uint32_t kSingleRead = 5;
constexpr uint32_t kBlockRead = 6;
constexpr uint32_t kSingleWrite = 7;
constexpr uint32_t kBlockWrite = 10;

class RoundTripTest : public S5Test {
 protected:
  RoundTripTest() : responder(controller, 300) {
    // Memory full of a pattern, so that a write that touches a neighbour shows.
    for (size_t i = 0; i < controller.memorySize(); ++i) {
      controller.memory()[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    h.card.responder = &responder;
  }

  // Writes `value` (the host's layout) and reads it back into a fresh buffer.
  std::vector<uint8_t> WriteThenRead(uint32_t writeCode, uint32_t readCode, int32_t kind,
                                     int32_t s5Address, int32_t bit, int32_t count,
                                     const std::vector<uint8_t>& value) {
    HostBuffer out(value.size());
    std::memcpy(out.data(), value.data(), value.size());
    IoRecord w = Gate(kind, s5Address, out, bit, count, kind == kKindString ? kGateString : 0);
    EXPECT_EQ(h.Call(writeCode, &w), 0);
    HostBuffer in(value.size());
    std::memset(in.data(), 0, in.size());  // a single read stores only its value's bytes
    IoRecord r = Gate(kind, s5Address, in, bit, count, kind == kKindString ? kGateString : 0);
    EXPECT_EQ(h.Call(readCode, &r), 0);
    EXPECT_TRUE(out.GuardsIntact());
    EXPECT_TRUE(in.GuardsIntact());
    EXPECT_TRUE(h.log.lines().empty()) << h.log.texts()[0];
    return in.contents();
  }

  s5sim::Controller controller;
  ControllerResponder responder;
};

TEST_F(RoundTripTest, SingleGatesReadBackWhatWasWritten) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t bit;
    std::vector<uint8_t> value;  // what the read gives back for it
  };
  const Case cases[] = {
      {"word", kKindWord, PackS5Address(0, 10, 3), kNoBit, {0, 0, 0x34, 0x12}},
      {"bit set", kKindWord, PackS5Address(0, 10, 4), 13, {0, 0, 1, 0}},
      {"bit cleared", kKindWord, PackS5Address(0, 10, 4), 2, {0, 0, 0, 0}},
      {"even byte", kKindByte, PackS5Address(0, 10, 40), kNoBit, {0, 0, 0xA1, 0}},
      {"odd byte", kKindByte, PackS5Address(0, 10, 41), kNoBit, {0, 0, 0xB2, 0}},
      {"double word", kKindDouble, PackS5Address(0, 11, 7), kNoBit, {0x78, 0x56, 0x34, 0x92}},
      {"string", kKindString, PackS5Address(10, 12, 3), kNoBit,
       {'h', 'e', 'l', 'l', 'o', 0, 0, 0, 0, 0, 0}},
      {"full string", kKindString, PackS5Address(4, 12, 0), kNoBit, {'a', 'b', 'c', 'd', 0}},
      {"flag byte", kKindFlag, 0xFF, kNoBit, {0, 0, 0x5C, 0}},
      {"flag bit set", kKindFlag, 0x10, 6, {0, 0, 1, 0}},
      {"flag bit cleared", kKindFlag, 0x11, 1, {0, 0, 0, 0}},
      {"output byte", kKindOutput, 0x7F, kNoBit, {0, 0, 0xE7, 0}},
      {"output bit set", kKindOutput, 0x03, 0, {0, 0, 1, 0}},
      {"output bit cleared", kKindOutput, 0x04, 7, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WriteThenRead(kSingleWrite, kSingleRead, c.kind, c.s5Address, c.bit, 1, c.value),
              c.value)
        << c.what;
  }
}

TEST_F(RoundTripTest, FloatComesBackWithoutItsLowestFractionBit) {
  for (uint32_t ieee : {0x3F800000u, 0xC2C80001u, 0x3DCCCCCDu, 0x00000000u, 0x7F7FFFFFu}) {
    std::vector<uint8_t> value(4);
    PutLe32(value.data(), ieee);
    const std::vector<uint8_t> back =
        WriteThenRead(kSingleWrite, kSingleRead, kKindFloat, PackS5Address(0, 13, 2), kNoBit, 1,
                      value);
    EXPECT_EQ(GetLe32(back.data()), ieee & ~1u) << std::hex << ieee;
  }
}

TEST_F(RoundTripTest, ReadModifyWriteKeepsTheRestOfTheWordOrByte) {
  const uint16_t word4 = controller.DataWord(10, 4);
  const uint16_t word5 = controller.DataWord(10, 5);
  const uint8_t flag = controller.Flag(0x10);
  WriteThenRead(kSingleWrite, kSingleRead, kKindWord, PackS5Address(0, 10, 4), 13, 1,
                {0, 0, 1, 0});
  WriteThenRead(kSingleWrite, kSingleRead, kKindByte, PackS5Address(0, 10, 11), kNoBit, 1,
                {0, 0, 0x77, 0});
  WriteThenRead(kSingleWrite, kSingleRead, kKindFlag, 0x10, 6, 1, {0, 0, 0, 0});
  EXPECT_EQ(controller.DataWord(10, 4), word4 | 0x2000);
  EXPECT_EQ(controller.DataWord(10, 5), 0x7700 | (word5 & 0x00FF));
  EXPECT_EQ(controller.Flag(0x10), flag & ~0x40);
}

TEST_F(RoundTripTest, BlocksReadBackWhatWasWritten) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    int32_t count;
    size_t elementSize;
  };
  const Case cases[] = {
      {"words", kKindWord, PackS5Address(0, 20, 100), 700, 2},
      {"data-block bytes", kKindByte, PackS5Address(0, 21, 6), 900, 1},
      {"double words", kKindDouble, PackS5Address(0, 22, 5), 1000, 4},
      {"flags", kKindFlag, 10, 200, 1},
      {"outputs", kKindOutput, 0, 128, 1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> value(c.count * c.elementSize);
    for (size_t i = 0; i < value.size(); ++i) value[i] = static_cast<uint8_t>(i * 13 + c.count);
    EXPECT_EQ(WriteThenRead(kBlockWrite, kBlockRead, c.kind, c.s5Address, kNoBit, c.count, value),
              value)
        << c.what;
  }
  // Words land high byte first in the controller: host bytes BC C9 are 0xC9BC.
  EXPECT_EQ(controller.DataWord(20, 100), 0xC9BC);
}

TEST_F(RoundTripTest, FloatBlockWithinItsPrecision) {
  std::vector<uint8_t> value(4 * 300);
  uint32_t x = 0x3F800000;
  for (size_t i = 0; i < 300; ++i) {
    x = x * 1664525u + 1013904223u;
    const uint32_t biased = 1 + (x >> 8) % 253;  // normal numbers the S5 range holds
    PutLe32(value.data() + 4 * i, (x & 0x807FFFFFu) | (biased << 23));
  }
  const std::vector<uint8_t> back =
      WriteThenRead(kBlockWrite, kBlockRead, kKindFloat, PackS5Address(0, 23, 0), kNoBit, 300,
                    value);
  for (size_t i = 0; i < 300; ++i) {
    ASSERT_EQ(GetLe32(back.data() + 4 * i), GetLe32(value.data() + 4 * i) & ~1u) << i;
  }
}

TEST_F(RoundTripTest, StringBlockReadsWhatSingleWritesPut) {
  // Strings are written one gate at a time and read as a block.
  const char* texts[3] = {"alpha", "be", "gammadel"};
  for (int i = 0; i < 3; ++i) {
    HostBuffer out(9);
    std::memset(out.data(), 0, 9);
    std::memcpy(out.data(), texts[i], std::strlen(texts[i]));
    IoRecord w = Gate(kKindString, PackS5Address(8, 30, 5 + i), out, kNoBit, 1, kGateString);
    ASSERT_EQ(h.Call(kSingleWrite, &w), 0);
  }
  HostBuffer in(3 * kStringSlotSize);
  IoRecord r = Gate(kKindString, PackS5Address(8, 30, 5), in, kNoBit, 3, kGateString);
  ASSERT_EQ(h.Call(kBlockRead, &r), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(reinterpret_cast<const char*>(in.data() + i * kStringSlotSize), texts[i]);
  }
  EXPECT_TRUE(in.GuardsIntact());
}

TEST_F(RoundTripTest, ControllerErrorsReachTheHost) {
  HostBuffer buffer;
  // Two words from word 2047 reach beyond the 2048 words of the data block.
  IoRecord r = Gate(kKindWord, PackS5Address(0, 1, 2047), buffer, kNoBit, 2);
  EXPECT_EQ(h.Call(kBlockRead, &r), 1);
  EXPECT_EQ(h.log.texts(), (std::vector<std::string>{
                               "KESTA> DoRead() unable to read requested data S5err3 VPI1 '0A05012'"}));
}

}  // namespace
}  // namespace kesta::test
