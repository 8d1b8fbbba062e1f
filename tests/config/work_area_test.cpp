#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver_harness.h"

namespace kesta::test {
namespace {

std::string Text(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

TEST(WorkArea, ResetSetsDefaultsWhateverTheAreaHeld) {
  DriverHarness h;
  uint8_t* w = h.work();
  std::memset(w, 0xC3, kWorkAreaSize);

  ResetWorkArea(w);

  EXPECT_EQ(w[0], 0);  // active
  EXPECT_EQ(w[5], 0);  // cardNumber
  EXPECT_EQ(Text(w + 6, 9), std::string("TAMREAD \0", 9));
  EXPECT_EQ(Text(w + 15, 9), std::string("TAMWRITE\0", 9));
  for (uint32_t s = 0; s < 256; ++s) {
    const uint8_t* e = w + 24 + 20 * s;
    ASSERT_EQ(e[0], 0) << s;
    ASSERT_EQ(e[1], 0xFF) << s;
    ASSERT_EQ(e[2], 0xFF) << s;
    ASSERT_EQ(e[3], 0xFF) << s;
    ASSERT_EQ(e[4], 0xFF) << s;
    for (size_t i = 5; i < 20; ++i) ASSERT_EQ(e[i], 0xC3) << "mac/tsap kept, station " << s;
  }
  // timeoutMs, dataBuffer and transferArea are left as they were.
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(w[i], 0xC3);
  for (size_t i = 5144; i < kWorkAreaSize; ++i) ASSERT_EQ(w[i], 0xC3) << i;
  EXPECT_TRUE(h.GuardsIntact());
}

TEST(WorkArea, FieldsSitAtTheirPackedOffsets) {
  DriverHarness h;
  uint8_t* w = h.work();
  std::memset(w, 0, kWorkAreaSize);

  SetTimeoutMs(w, 0x11223344);
  SetStationConn(w, 255, Direction::Read, 0x0102);
  SetStationConn(w, 255, Direction::Write, -1);
  StoreTsap(StationTsap(w, 255), "AB", 2);
  DataBuffer(w)[0] = 0x61;
  TransferArea(w)[1023] = 0x62;

  EXPECT_EQ(w[1], 0x44);
  EXPECT_EQ(w[4], 0x11);
  const uint8_t* last = w + 24 + 20 * 255;
  EXPECT_EQ(last[1], 0x02);
  EXPECT_EQ(last[2], 0x01);
  EXPECT_EQ(last[3], 0xFF);
  EXPECT_EQ(Text(last + 11, 9), std::string("AB      \0", 9));
  EXPECT_EQ(w[5144], 0x61);
  EXPECT_EQ(w[10327], 0x62);  // the last byte of the work area
  EXPECT_TRUE(h.GuardsIntact());
}

TEST(WorkArea, StationFlagBitsHaveTheirPublishedValues) {
  DriverHarness h;
  uint8_t* w = h.work();
  ResetWorkArea(w);
  EXPECT_EQ(STATION_DEFINED | READ_OPEN | WRITE_OPEN | LAST_READ_OK | LAST_WRITE_OK, 31);

  SetStationFlags(w, 7, STATION_DEFINED);
  SetStationFlagBits(w, 7, READ_OPEN | LAST_READ_OK);
  EXPECT_EQ(StationFlags(w, 7), 11);
  ClearStationFlagBits(w, 7, READ_OPEN | WRITE_OPEN);
  EXPECT_EQ(StationFlags(w, 7), 9);
  EXPECT_EQ(w[24 + 20 * 7], 9);
}

TEST(WorkArea, TsapNamesArePaddedOrCutToEight) {
  uint8_t out[9];
  const struct {
    const char* in;
    const char* padded;
  } cases[] = {{"", "        "}, {"AB", "AB      "}, {"TAMBOR", "TAMBOR  "}, {"ABCDEFGHIJ", "ABCDEFGH"}};
  for (const auto& c : cases) {
    std::memset(out, 0x55, sizeof out);
    StoreTsap(out, c.in, std::strlen(c.in));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 9), std::string(c.padded) + '\0') << c.in;
  }
}

}  // namespace
}  // namespace kesta::test
