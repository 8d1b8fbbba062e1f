#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver_harness.h"

namespace kesta::test {
namespace {

TEST(GetVpiInfo, WritesExactlyItsFields) {
  DriverHarness h;
  VpiInfo info;
  std::memset(&info, 0x77, sizeof info);

  EXPECT_EQ(h.Call(14, &info), 0);

  EXPECT_EQ(info.infoId, 70);
  EXPECT_STREQ(info.name, "Siemens SINEC H1");
  EXPECT_EQ(info.workAreaSize, 10328);
  EXPECT_EQ(info.infoA, 2);
  EXPECT_EQ(info.infoB, 0);
  EXPECT_EQ(info.infoC, 3);
  for (uint8_t b : info.unused22) EXPECT_EQ(b, 0x77);
  EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, "KESTA> GetVpiInfo() exited, 0"}}));
}

TEST(GetVpiInfo, BannerIsTheCodePage437BoxByteForByte) {
  DriverHarness h;
  VpiInfo info{};
  ASSERT_EQ(h.Call(14, &info), 0);

  const std::string rule(60, '\xCD');
  const std::string expected = std::string("\x08\n") + "\xC9" + rule + "\xBB\n" +
                               "\xBA KESTA: Siemens SINEC H1 on VIPA/INAT card  (32-bit driver) \xBA\n" +
                               "\xC8" + rule + "\xBC";
  ASSERT_EQ(expected.size(), 190u);
  EXPECT_EQ(std::strlen(info.banner), 190u);
  EXPECT_EQ(std::string(info.banner), expected);
}

}  // namespace
}  // namespace kesta::test
