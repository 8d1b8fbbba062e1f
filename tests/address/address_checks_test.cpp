#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "config/work_area.h"
#include "driver_harness.h"

namespace kesta::test {
namespace {

constexpr uint32_t kSingle = 3;
constexpr uint32_t kBlock = 4;
const int32_t kGateTypes[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 99};

class AddressChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkArea(h.work());
    for (uint32_t station : {0x05u, 0x0Au}) SetStationFlagBits(h.work(), station, STATION_DEFINED);
  }

  // Runs one check through VpiMain; returns the result and leaves the record.
  int32_t Check(uint32_t code, const std::string& text, int32_t gateType) {
    record = ParseRecord{};
    record.address = text.c_str();
    record.gateType = gateType;
    h.log.clear();
    return h.Call(code, &record);
  }

  DriverHarness h;
  ParseRecord record{};
};

bool Contains(std::initializer_list<int32_t> set, int32_t value) {
  for (int32_t v : set) {
    if (v == value) return true;
  }
  return false;
}

TEST_F(AddressChecks, SingleGateTypeMustFitTheKind) {
  struct Case {
    const char* text;
    std::initializer_list<int32_t> accepted;
    const char* refusal;  // "%s" stands for the host's own text
  };
  const Case cases[] = {
      {"0a05012", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"0A05012n", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"S03", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"05-mFF", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"05-E12", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"05Y0010", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"05V0001", {0, 1, 2, 4, 5}, "KESTA> SingleParse() gate '%s' wronggate type"},
      {"0A05014$20", {7}, "KESTA> SingleParse() gate '%s' shouldbe STRING"},
      {"0A05012l", {3, 4, 5}, "KESTA> SingleParse() gate '%s' should be LONG (or FLOAT for TI)"},
      {"05w0003", {3, 4, 5}, "KESTA> SingleParse() gate '%s' should be LONG (or FLOAT for TI)"},
      {"0A05012Y", {3}, "KESTA> SingleParse() gate '%s' shouldbe FLOAT"},
      // With a bit only DIGITAL fits, whatever the kind.
      {"0a05012f", {6}, "KESTA> SingleParse() gate '%s' should be DIGITAL"},
      {"05-E127", {6}, "KESTA> SingleParse() gate '%s' should be DIGITAL"},
      {"05V0001F", {6}, "KESTA> SingleParse() gate '%s' should be DIGITAL"},
      {"05X00010", {6}, "KESTA> SingleParse() gate '%s' should be DIGITAL"},
  };
  for (const Case& c : cases) {
    for (int32_t gateType : kGateTypes) {
      SCOPED_TRACE(std::string(c.text) + " gate type " + std::to_string(gateType));
      const bool fits = Contains(c.accepted, gateType);
      EXPECT_EQ(Check(kSingle, c.text, gateType), fits ? 0 : 1);
      if (fits) {
        EXPECT_TRUE(h.log.lines().empty());
      } else {
        std::string message = c.refusal;
        message.replace(message.find("%s"), 2, c.text);
        EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, message}}));
      }
    }
  }
}

TEST_F(AddressChecks, SingleLeavesTheEncodedFieldsForTheHost) {
  ASSERT_EQ(Check(kSingle, "0A05014$20", 7), 0);
  EXPECT_EQ(record.station, 0x0A);
  EXPECT_EQ(record.kind, '$');
  EXPECT_EQ(record.s5Address, 0x14050002);
  EXPECT_EQ(record.bit, -1);
  EXPECT_EQ(record.width, 16);
  EXPECT_EQ(record.gateType, 7);

  // Refused for its gate type, the record still holds what Parse decoded.
  ASSERT_EQ(Check(kSingle, "05-E127", 0), 1);
  EXPECT_EQ(record.kind, 'E');
  EXPECT_EQ(record.s5Address, 0x12);
  EXPECT_EQ(record.bit, 7);
}

TEST_F(AddressChecks, BlockStartRules) {
  struct Case {
    const char* text;
    int32_t result;
    const char* message;  // "%s" stands for the host's own text; null: no line
  };
  const Case cases[] = {
      {"0A05012", 0, nullptr},
      {"0A05012s", 0, nullptr},  // low-order byte, even byte address
      {"0A05012L", 0, nullptr},
      {"0A05012Y", 0, nullptr},
      {"0A05014$20", 0, nullptr},
      {"05-MFF", 0, nullptr},
      {"05W0003", 0, nullptr},
      {"0A05012n", 1, "KESTA> BlockParse() gate '%s' not allowed as start of block"},
      {"S03", 1, "KESTA> BlockParse() gate '%s' not allowed as start of block"},
      {"0A050120", 1, "KESTA> BlockParse() spec. dig. gates not allowed as block"},
      {"05-E127", 1, "KESTA> BlockParse() spec. dig. gates not allowed as block"},
      {"05V00017", 1, "KESTA> BlockParse() spec. dig. gates not allowed as block"},
  };
  for (const Case& c : cases) {
    // The gate type plays no part for a block.
    for (int32_t gateType : {0, 6, 99}) {
      SCOPED_TRACE(std::string(c.text) + " gate type " + std::to_string(gateType));
      EXPECT_EQ(Check(kBlock, c.text, gateType), c.result);
      if (c.message == nullptr) {
        EXPECT_TRUE(h.log.lines().empty());
      } else {
        std::string message = c.message;
        if (const size_t at = message.find("%s"); at != std::string::npos) {
          message.replace(at, 2, c.text);
        }
        EXPECT_EQ(h.log.lines(), (std::vector<LogLine>{{8, message}}));
      }
    }
  }
}

TEST_F(AddressChecks, ParseRefusalIsPassedOnWithItsMessageOnly) {
  for (uint32_t code : {kSingle, kBlock}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(Check(code, "0a05013l", 3), 1);
    EXPECT_EQ(h.log.lines(),
              (std::vector<LogLine>{{8, "KESTA> Parse() '0A05013L' addr must be multiply of 2"}}));
  }
}

}  // namespace
}  // namespace kesta::test
