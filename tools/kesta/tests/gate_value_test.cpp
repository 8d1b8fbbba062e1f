#include "gate_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kestatool {
namespace {

GateFields Fields(int32_t kind, int32_t bit = -1, int32_t s5Address = 0) {
  GateFields f;
  f.kind = kind;
  f.bit = bit;
  f.s5Address = s5Address;
  return f;
}
constexpr int32_t kString10 = 10 << 24;

struct DecodeCase {
  const char* name;
  GateFields fields;
  int32_t type;
  std::vector<uint8_t> buffer;  // from offset 0
  const char* shown;
};

// What the driver stores, as kesta shows it.
TEST(GateValue, DecodesEachFormFromWhereTheDriverStoresIt) {
  const DecodeCase cases[] = {
      {"word at offset 2", Fields(' '), kTypeWord, {0xEE, 0xEE, 0x34, 0x12}, "4660"},
      {"word top bit unsigned", Fields(' '), kTypeWord, {0, 0, 0xFF, 0xFF}, "65535"},
      {"bit", Fields(' ', 3), kTypeDigital, {0, 0, 1, 0}, "1"},
      {"flag byte", Fields('M'), kTypeWord, {0, 0, 0xAB, 0}, "171"},
      {"double word signed", Fields('L'), kTypeLong, {0xFB, 0xFF, 0xFF, 0xFF}, "-5"},
      {"TI double word as float", Fields('L'), kTypeFloat, {0, 0, 0x80, 0x3F}, "1"},
      {"S5 float (already IEEE)", Fields('Y'), kTypeFloat, {0, 0, 0x50, 0x40}, "3.25"},
      {"float shortest form", Fields('Y'), kTypeFloat, {0xCC, 0xCC, 0xCC, 0x3D}, "0.099999994"},
      {"string up to its zero", Fields('$', -1, kString10), kTypeString,
       {'h', 'i', 0, 'x', 0}, "\"hi\""},
      {"string of full length", Fields('$', -1, 4 << 24), kTypeString,
       {'A', 'B', 'C', 'D', 'E'}, "\"ABCD\""},
      {"string escapes", Fields('$', -1, kString10), kTypeString,
       {'a', '"', '\\', 0x01, 0xE4, 0}, "\"a\\\"\\\\\\x01\\xE4\""},
  };
  for (const DecodeCase& c : cases) {
    uint8_t buffer[kSingleBufferSize] = {};
    std::memcpy(buffer, c.buffer.data(), c.buffer.size());
    EXPECT_EQ(FormatValue(DecodeSingle(c.fields, c.type, buffer)), c.shown) << c.name;
  }
}

struct EncodeCase {
  const char* name;
  GateFields fields;
  int32_t type;
  const char* text;
  std::vector<uint8_t> expected;  // from offset 0; empty: refused
};

TEST(GateValue, EncodesValuesWhereTheDriverTakesThemOrRefuses) {
  const EncodeCase cases[] = {
      {"word decimal", Fields(' '), kTypeWord, "4660", {0, 0, 0x34, 0x12}},
      {"word hex", Fields(' '), kTypeWord, "0x1234", {0, 0, 0x34, 0x12}},
      {"word negative is its 16 bits", Fields(' '), kTypeWord, "-1", {0, 0, 0xFF, 0xFF}},
      {"word too large", Fields(' '), kTypeWord, "65536", {}},
      {"word too small", Fields(' '), kTypeWord, "-32769", {}},
      {"word not a number", Fields(' '), kTypeWord, "12a", {}},
      {"word empty hex", Fields(' '), kTypeWord, "0x", {}},
      {"word double sign", Fields(' '), kTypeWord, "--1", {}},
      {"byte of word 255", Fields('S'), kTypeWord, "255", {0, 0, 0xFF, 0}},
      {"byte too large", Fields('A'), kTypeWord, "256", {}},
      {"byte negative", Fields('M'), kTypeWord, "-1", {}},
      {"bit on", Fields('M', 2), kTypeDigital, "on", {0, 0, 1, 0}},
      {"bit zero", Fields(' ', 15), kTypeDigital, "0", {0, 0, 0, 0}},
      {"bit two", Fields(' ', 15), kTypeDigital, "2", {}},
      {"long lowest", Fields('L'), kTypeLong, "-2147483648", {0, 0, 0, 0x80}},
      {"long highest unsigned", Fields('L'), kTypeLong, "0xFFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"long too large", Fields('L'), kTypeLong, "4294967296", {}},
      {"TI float", Fields('L'), kTypeFloat, "1.5", {0, 0, 0xC0, 0x3F}},
      {"S5 float", Fields('Y'), kTypeFloat, "+3.25", {0, 0, 0x50, 0x40}},
      {"S5 float negative zero is zero", Fields('Y'), kTypeFloat, "-0", {0, 0, 0, 0}},
      {"S5 float 2^127 too large", Fields('Y'), kTypeFloat, "1.7014118e38", {}},
      {"S5 float just below 2^127", Fields('Y'), kTypeFloat, "1.7014117e38", {0xFF, 0xFF, 0xFF, 0x7E}},
      {"S5 float subnormal", Fields('Y'), kTypeFloat, "1e-40", {}},
      {"float infinity", Fields('L'), kTypeFloat, "inf", {}},
      {"float text", Fields('Y'), kTypeFloat, "1,5", {}},
      {"string bare", Fields('$', -1, kString10), kTypeString, "hi there",
       {'h', 'i', ' ', 't', 'h', 'e', 'r', 'e', 0, 0, 0}},
      {"string quoted with escapes", Fields('$', -1, kString10), kTypeString, "\"a\\\"\\x41\"",
       {'a', '"', 'A', 0}},
      {"string full length", Fields('$', -1, kString10), kTypeString, "0123456789",
       {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0}},
      {"string too long", Fields('$', -1, kString10), kTypeString, "0123456789A", {}},
      {"string zero byte", Fields('$', -1, kString10), kTypeString, "\"\\x00\"", {}},
      {"string open quote", Fields('$', -1, kString10), kTypeString, "\"abc", {}},
      {"string bad escape", Fields('$', -1, kString10), kTypeString, "\"\\q\"", {}},
  };
  for (const EncodeCase& c : cases) {
    uint8_t buffer[kSingleBufferSize];
    std::memset(buffer, 0, sizeof buffer);
    std::string error;
    const bool ok = EncodeSingle(c.fields, c.type, c.text, buffer, &error);
    if (c.expected.empty()) {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_FALSE(error.empty()) << c.name;
      continue;
    }
    ASSERT_TRUE(ok) << c.name << ": " << error;
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + c.expected.size()), c.expected) << c.name;
  }
}

// What kesta prints is what it takes back: a read value can be written as it stands.
TEST(GateValue, PrintedValuesParseBackToTheSameBytes) {
  const struct {
    GateFields fields;
    int32_t type;
    const char* text;
  } cases[] = {
      {Fields(' '), kTypeWord, "65535"},           {Fields(' ', 1), kTypeDigital, "1"},
      {Fields('L'), kTypeLong, "-123456"},         {Fields('Y'), kTypeFloat, "0.099999994"},
      {Fields('L'), kTypeFloat, "-1e+20"},         {Fields('$', -1, kString10), kTypeString, "\"q\\\"\\t\\xFF\""},
  };
  for (const auto& c : cases) {
    uint8_t first[kSingleBufferSize] = {};
    std::string error;
    ASSERT_TRUE(EncodeSingle(c.fields, c.type, c.text, first, &error)) << c.text << ": " << error;
    const std::string shown = FormatValue(DecodeSingle(c.fields, c.type, first));
    uint8_t second[kSingleBufferSize] = {};
    ASSERT_TRUE(EncodeSingle(c.fields, c.type, shown, second, &error)) << shown << ": " << error;
    EXPECT_EQ(0, std::memcmp(first, second, sizeof first)) << c.text << " shown as " << shown;
  }
}

TEST(GateValue, BlockElementsFollowTheKindsLayout) {
  struct {
    GateFields fields;
    int32_t type;
    size_t size;
    const char* value;
    size_t at;  // where element 2 starts
    std::vector<uint8_t> bytes;
  } cases[] = {
      {Fields(' '), kTypeWord, 2, "0x1234", 4, {0x34, 0x12}},
      {Fields('S'), kTypeWord, 1, "0xAB", 2, {0xAB}},
      {Fields('M'), kTypeWord, 1, "7", 2, {7}},
      {Fields('L'), kTypeLong, 4, "-2", 8, {0xFE, 0xFF, 0xFF, 0xFF}},
      {Fields('Y'), kTypeFloat, 4, "1", 8, {0, 0, 0x80, 0x3F}},
      {Fields('$', -1, kString10), kTypeString, kStringSlotSize, "ab", 2 * kStringSlotSize, {'a', 'b', 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BlockElementSize(c.fields), c.size) << c.value;
    std::vector<uint8_t> buffer(3 * c.size, 0xEE);
    std::string error;
    ASSERT_TRUE(EncodeElement(c.fields, c.type, c.value, buffer.data(), 2, &error)) << error;
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + c.at, buffer.begin() + c.at + c.bytes.size()), c.bytes)
        << c.value;
    // Elements 0 and 1 stay untouched.
    for (size_t i = 0; i < c.at; ++i) ASSERT_EQ(buffer[i], 0xEE) << c.value;
    uint8_t single[kSingleBufferSize] = {};
    ASSERT_TRUE(EncodeSingle(c.fields, c.type, c.value, single, &error));
    EXPECT_EQ(FormatValue(DecodeElement(c.fields, c.type, buffer.data(), 2)),
              FormatValue(DecodeSingle(c.fields, c.type, single)))
        << c.value;
  }
  EXPECT_EQ(BlockElementSize(Fields('*')), 0u);
}

TEST(GateValue, SplitsValueListsAtCommasOutsideQuotes) {
  std::vector<std::string> items;
  std::string error;
  ASSERT_TRUE(SplitValueList(" 1, 0x2 ,3", &items, &error));
  EXPECT_EQ(items, (std::vector<std::string>{"1", "0x2", "3"}));
  ASSERT_TRUE(SplitValueList("\"a,b\",\"c\\\",d\"", &items, &error));
  EXPECT_EQ(items, (std::vector<std::string>{"\"a,b\"", "\"c\\\",d\""}));
  EXPECT_FALSE(SplitValueList("1,,2", &items, &error));
  EXPECT_FALSE(SplitValueList("1,", &items, &error));
  EXPECT_FALSE(SplitValueList("\"open,1", &items, &error));
}

TEST(GateTypes, InfersTheTypeAHostGivesTheDecodedAddress) {
  EXPECT_EQ(InferGateType(Fields(' ')), kTypeWord);
  EXPECT_EQ(InferGateType(Fields('M', 0)), kTypeDigital);
  EXPECT_EQ(InferGateType(Fields('$')), kTypeString);
  EXPECT_EQ(InferGateType(Fields('Y')), kTypeFloat);
  EXPECT_EQ(InferGateType(Fields('L')), kTypeLong);
  EXPECT_EQ(InferGateType(Fields('*')), kTypeWord);
  EXPECT_EQ(GateTypeFromName("digital"), kTypeDigital);
  EXPECT_EQ(GateTypeFromName("5"), 5);
  EXPECT_FALSE(GateTypeFromName("8"));
  EXPECT_FALSE(GateTypeFromName("Word"));
  EXPECT_EQ(DescribeFlags(0x0B), "defined, read open, last read ok");
  EXPECT_EQ(DescribeFlags(0), "none");
}

}  // namespace
}  // namespace kestatool
