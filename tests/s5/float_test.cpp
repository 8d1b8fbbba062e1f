#include <gtest/gtest.h>

#include <cstdint>

#include "s5/s5_float.h"

namespace kesta::test {
namespace {

struct Pair {
  uint32_t from;
  uint32_t to;
};

TEST(S5Float, IeeeToS5WorkedConversions) {
  const Pair cases[] = {
      {0x3F800000, 0x01400000},  // 1.0
      {0xBF800000, 0x01C00000},  // -1.0
      {0x3F000000, 0x00400000},  // 0.5
      {0xBF000000, 0x00C00000},  // -0.5
      {0x40000000, 0x02400000},  // 2.0
      {0x40400000, 0x02600000},  // 3.0
      {0xC0400000, 0x02A00000},  // -3.0
      {0x42C80000, 0x07640000},  // 100.0
      {0xC2C80000, 0x079C0000},  // -100.0
      {0x3DCCCCCD, 0xFD666666},  // 0.1
      {0x00000000, 0x80000000},  // +0.0
      {0x80000000, 0x82C00000},  // -0.0 is not taken for zero
      {0x3F800001, 0x01400000},  // lowest fraction bit dropped
      {0x7F000000, 0x80400000},  // biased exponent 254 wraps to -128
      {0x7F800000, 0x81400000},  // +infinity
      {0x00000001, 0x82400000},  // biased exponent 0: leading 1 assumed
  };
  for (const Pair& c : cases) {
    EXPECT_EQ(IeeeToS5(c.from), c.to) << std::hex << c.from;
  }
}

TEST(S5Float, S5ToIeeeWorkedConversions) {
  const Pair cases[] = {
      {0x01400000, 0x3F800000},  // 1.0
      {0x00800000, 0xBF800000},  // m = -1, exponent 0: -1.0
      {0x01C00000, 0xBF800000},  // -1.0
      {0x01800000, 0xC0000000},  // m = -1, exponent 1: -2.0
      {0x7F800000, 0xFF000000},  // m = -1 at exponent 127: -2^127, exponent +1 wraps in 8 bits
      {0x07640000, 0x42C80000},  // 100.0
      {0x079C0000, 0xC2C80000},  // -100.0
      {0xFD666666, 0x3DCCCCCC},  // 0.099999994
      {0x80000000, 0x00000000},  // zero, whatever the exponent
      {0x00000000, 0x00000000},
      {0x7F000000, 0x00000000},
      {0x82C00000, 0x80000000},  // negative zero comes back
      {0x81400000, 0x7F800000},  // exponent -127: +infinity
      {0x80400000, 0x7F000000},  // exponent -128: biased 254
      {0x01200000, 0x3FC00000},  // unnormalised: bit 22 taken as set, 1.5
  };
  for (const Pair& c : cases) {
    EXPECT_EQ(S5ToIeee(c.from), c.to) << std::hex << c.from;
  }
}

TEST(S5Float, RoundTripLosesOnlyTheLowestFractionBit) {
  // Every biased exponent 1 to 253, both signs, a spread of fractions.
  uint32_t fraction = 0x2545F4;
  for (uint32_t biased = 1; biased <= 253; ++biased) {
    for (uint32_t sign = 0; sign < 2; ++sign) {
      for (int k = 0; k < 8; ++k) {
        fraction = (fraction * 1103515245u + 12345u) & 0x7FFFFFu;
        const uint32_t f = k == 0 ? 0 : k == 1 ? 0x7FFFFF : fraction;
        const uint32_t ieee = (sign << 31) | (biased << 23) | f;
        ASSERT_EQ(S5ToIeee(IeeeToS5(ieee)), ieee & ~1u) << std::hex << ieee;
      }
    }
  }
}

}  // namespace
}  // namespace kesta::test
