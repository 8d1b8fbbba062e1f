#include <gtest/gtest.h>

#include <cstring>

#include "address/number_scan.h"

namespace kesta {
namespace {

TEST(NumberScan, ReadsLikeTheFormattedScanWithoutSignsOrPrefixes) {
  struct Case {
    const char* text;
    size_t pos;
    int maxDigits;
    int base;
    bool ok;
    uint32_t value;
  };
  const Case cases[] = {
      {"12", 0, 2, 16, true, 0x12},
      {"123", 0, 2, 16, true, 0x12},        // at most the field width
      {"  7F9", 0, 2, 16, true, 0x7F},      // blanks do not count against the width
      {"\t\n\v\f\r5", 0, 2, 16, true, 5},   // every C white-space character
      {"5 6", 0, 2, 16, true, 5},           // blanks after the first digit end it
      {"ab", 0, 2, 16, true, 0xAB},
      {"FFFF", 0, 4, 16, true, 0xFFFF},
      {"xx0A05", 2, 4, 16, true, 0xA05},    // from the named position
      {"1A", 0, 2, 10, true, 1},            // decimal stops at a hex letter
      {"0x12", 0, 4, 16, true, 0},          // no "0x" prefix: 'x' ends the number
      {"-1", 0, 2, 16, false, 0},           // no sign
      {"+2", 0, 2, 10, false, 0},
      {"   ", 0, 3, 16, false, 0},          // blanks up to the NUL
      {"", 0, 2, 16, false, 0},
      {"G1", 0, 2, 16, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(ScanNumber(c.text, std::strlen(c.text), c.pos, c.maxDigits, c.base, &value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : 0xDEADBEEFu);
  }
}

TEST(NumberScan, NeverReadsPastTheGivenSize) {
  const char text[5] = {'1', '2', '3', '4', '5'};  // no NUL
  uint32_t value = 0;
  EXPECT_TRUE(ScanNumber(text, 3, 0, 4, 16, &value));
  EXPECT_EQ(value, 0x123u);
  const char blanks[3] = {' ', ' ', ' '};
  EXPECT_FALSE(ScanNumber(blanks, 3, 0, 2, 16, &value));
}

}  // namespace
}  // namespace kesta
