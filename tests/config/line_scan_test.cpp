#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "config/line_scan.h"

namespace kesta::test {
namespace {

constexpr const char* kStationPattern = "%02x = %02x%02x%02x%02x%02x%02x , %8s";

// The matcher stands in for sscanf on the init file's patterns: for ordinary
// lines it must read the same number of items with the same values.
TEST(LineScan, ReadsWhatTheFormattedScanReads) {
  const char* const keyLines[] = {
      "CARD = 3\n", "CARD=3\n", "CARD   =\t 3 rest\n", "CARD = \n", "CARD 3\n", " CARD = 3\n",
      "card = 3\n", "CARD = x3\n", "CARD = 0042\n", "CARDS = 3\n", "CARD = 3", "CARD\n=\n3\n",
      "",           "\n",
  };
  for (const char* line : keyLines) {
    SCOPED_TRACE(line);
    unsigned expected = 0;
    const int expectedCount = std::sscanf(line, "CARD = %u", &expected);
    ScanItem items[1];
    const int count = ScanLine(line, "CARD = %u", items, 1);
    EXPECT_EQ(count, expectedCount < 0 ? 0 : expectedCount);
    if (count == 1) { EXPECT_EQ(items[0].number, expected); }
  }

  const char* const nameLines[] = {"RTSAP = AB\n", "RTSAP=ABCDEFGHIJ\n", "RTSAP = \n",
                                   "RTSAP = A\tB\n", "RTSAP = \x01\x7f\n", "RTSAP =ABC"};
  for (const char* line : nameLines) {
    SCOPED_TRACE(line);
    char expected[9] = {};
    const int expectedCount = std::sscanf(line, "RTSAP = %8s", expected);
    ScanItem items[1];
    const int count = ScanLine(line, "RTSAP = %8s", items, 1);
    EXPECT_EQ(count, expectedCount < 0 ? 0 : expectedCount);
    if (count == 1) { EXPECT_STREQ(items[0].text, expected); }
  }

  const char* const stationLines[] = {
      "12 = 080006010203 , PLC1\n",   "12=080006010203,PLC1\n",
      "1 = 8 0 6 1 2 3 , ABCDEFGHIJ\n", "FF = 0a0B0c0D0e0F ,\n",
      "05 = 080006010203\n",          "05 = 080006010203 PLC\n",
      "05 = 0800060102\n",            "123 = 080006010203\n",
      "05 = 0800060102034 , X\n",     "G5 = 080006010203\n",
      "05 = 08000601020\n",           "  7 =\t08 00 06 01 02 03  ,  T\n",
  };
  for (const char* line : stationLines) {
    SCOPED_TRACE(line);
    unsigned v[7] = {};
    char text[9] = {};
    const int expectedCount =
        std::sscanf(line, kStationPattern, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], text);
    ScanItem items[8];
    const int count = ScanLine(line, kStationPattern, items, 8);
    EXPECT_EQ(count, expectedCount < 0 ? 0 : expectedCount);
    for (int i = 0; i < count && i < 7; ++i) { EXPECT_EQ(items[i].number, v[i]) << i; }
    if (count == 8) { EXPECT_STREQ(items[7].text, text); }
  }
}

// Signs are read as the formatted scan reads them (a minus negates modulo
// 2^32, the sign counts in the width); a "0x" prefix is not a number, and an
// overflowing number reads as the largest: never a wrapped value that could
// pass a range check by accident.
TEST(LineScan, SignsPrefixesAndOverflow) {
  const struct {
    const char* line;
    const char* pattern;
    int count;
    uint32_t number;
  } cases[] = {
      {"CARD = -5\n", "CARD = %u", 1, 4294967291u},
      {"CARD = +4\n", "CARD = %u", 1, 4},
      {"CARD = +\n", "CARD = %u", 0, 0},
      {"CARD = 4294967300\n", "CARD = %u", 1, 4294967295u},
      {"CARD = 99999999999999999999\n", "CARD = %u", 1, 4294967295u},
      {"-1 = 080006010203\n", kStationPattern, 7, 0xFFFFFFFFu},
      {"+5 = 080006010203\n", kStationPattern, 7, 5},
      {"-12 = 080006010203\n", kStationPattern, 1, 0xFFFFFFFFu},  // the width ends at "-1"
      {"0x = 080006010203\n", kStationPattern, 1, 0},  // "0" read, then 'x' is not '='
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ScanItem items[8];
    EXPECT_EQ(ScanLine(c.line, c.pattern, items, 8), c.count);
    if (c.count > 0) { EXPECT_EQ(items[0].number, c.number); }
  }
}

}  // namespace
}  // namespace kesta::test
