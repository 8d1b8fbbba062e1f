#include "gate_list.h"

#include <gtest/gtest.h>

#include "gate_types.h"

namespace kestatool {
namespace {

TEST(GateList, ReadsAddressesTypesCommentsAndQuotedAddresses) {
  const std::string text =
      "# pump station\n"
      "\n"
      "0A05012\n"
      "  0A050120   digital   # the run bit\r\n"
      "\"0A05  12\" word\n"
      "0A05012L float\n"
      "S0A#status\n";
  std::vector<GateListEntry> gates;
  std::string error;
  ASSERT_TRUE(ParseGateList(text, &gates, &error)) << error;
  ASSERT_EQ(gates.size(), 5u);
  EXPECT_EQ(gates[0].address, "0A05012");
  EXPECT_FALSE(gates[0].gateType);
  EXPECT_EQ(gates[0].line, 3);
  EXPECT_EQ(gates[1].address, "0A050120");
  EXPECT_EQ(gates[1].gateType, kTypeDigital);
  EXPECT_EQ(gates[2].address, "0A05  12");  // blanks inside stay
  EXPECT_EQ(gates[2].gateType, kTypeWord);
  EXPECT_EQ(gates[3].gateType, kTypeFloat);
  EXPECT_EQ(gates[4].address, "S0A");
  EXPECT_EQ(gates[4].line, 7);
}

TEST(GateList, RefusesBadLinesWithTheirNumber) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"0A05012\n0A05012 dword\n", "line 2: unknown gate type 'dword'"},
      {"0A05012 word extra\n", "line 1: unexpected 'extra'"},
      {"\n\"0A05012\n", "line 2: a quote is not closed"},
      {"\"\" word\n", "line 1: the address is empty"},
      {"# nothing\n\n", "the list names no gate"},
  };
  for (const auto& c : cases) {
    std::vector<GateListEntry> gates;
    std::string error;
    EXPECT_FALSE(ParseGateList(c.text, &gates, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
  }
}

}  // namespace
}  // namespace kestatool
