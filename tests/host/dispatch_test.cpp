#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "driver_harness.h"

namespace kesta::test {
namespace {

TEST(Dispatch, CodesWithoutHandlerAnswerTwoAndTouchNothing) {
  DriverHarness h;
  std::memset(h.work(), 0x5A, kWorkAreaSize);
  std::vector<uint8_t> params(64, 0x33);
  const std::vector<uint8_t> workBefore(h.work(), h.work() + kWorkAreaSize);

  for (uint32_t code : {0u, 8u, 9u, 16u, 17u, 4294967295u}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(h.Call(code, params.data()), 2);
  }
  EXPECT_TRUE(h.log.lines().empty());
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_EQ(std::vector<uint8_t>(h.work(), h.work() + kWorkAreaSize), workBefore);
  EXPECT_EQ(params, std::vector<uint8_t>(64, 0x33));
  EXPECT_TRUE(h.GuardsIntact());
}

TEST(Dispatch, ReportingHandlersLogTheirLineAndAnswerZero) {
  struct Case {
    uint32_t code;
    const char* line;
  };
  const Case cases[] = {
      {12, "KESTA> CloseCom() exited 0"},
      {13, "KESTA> ReOpenCom() exited 0"},
      {15, "KESTA> ChangeVpiParams() exitted, 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    DriverHarness h;
    std::memset(h.work(), 0x5A, kWorkAreaSize);
    EXPECT_EQ(h.Call(c.code, nullptr), 0);
    ASSERT_EQ(h.log.lines().size(), 1u);
    EXPECT_EQ(h.log.lines()[0], (LogLine{8, c.line}));
    EXPECT_TRUE(h.card.calls.empty());
    for (size_t i = 0; i < kWorkAreaSize; ++i) ASSERT_EQ(h.work()[i], 0x5A) << i;
  }
}

}  // namespace
}  // namespace kesta::test
