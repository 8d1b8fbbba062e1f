// Random texts through VpiMain codes 3 and 4: whatever the host hands in, the
// driver answers 0 or 1, logs at most the warning and one refusal, touches
// nothing but the five encoded fields, and every accepted address decodes to
// fields the read and write paths can use. Run under the sanitizers as well.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "config/work_area.h"
#include "driver_harness.h"

namespace kesta::test {
namespace {

constexpr char kAddressChars[] = "1234567890ABCDEFabcdefSsNLY$-VWXYMm \t";

// Valid addresses of every form, as starting points for mutation.
const char* const kSeeds[] = {"S03",     "0A05012",  "0A05012F",   "0A05012L", "0A05012Y",
                              "0A05012N", "0A05014$20", "05-E127", "05-MFF",   "05V0001",
                              "05W0003", "05X00017", "05Y0010",    "05M0100"};

char RandomChar(std::mt19937& rng) {
  if (rng() % 8 == 0) return static_cast<char>(1 + rng() % 255);  // any byte but the NUL
  return kAddressChars[rng() % (sizeof kAddressChars - 1)];
}

// Half the texts are drawn freely, mostly short and some up to 300
// characters; the other half are valid addresses with a few characters
// changed, inserted, removed or appended, which reach every form's tests.
std::string RandomText(std::mt19937& rng) {
  std::string text;
  if (rng() % 2 == 0) {
    const size_t length = rng() % 4 == 0 ? rng() % 301 : rng() % 13;
    for (size_t i = 0; i < length; ++i) text += RandomChar(rng);
    return text;
  }
  text = kSeeds[rng() % (sizeof kSeeds / sizeof kSeeds[0])];
  for (uint32_t edits = rng() % 4; edits > 0; --edits) {
    const size_t at = text.empty() ? 0 : rng() % text.size();
    switch (rng() % 4) {
      case 0: if (!text.empty()) text[at] = RandomChar(rng); break;
      case 1: text.insert(at, 1, RandomChar(rng)); break;
      case 2: if (!text.empty()) text.erase(at, 1); break;
      default: {
        const size_t more = rng() % 8 == 0 ? rng() % 290 : rng() % 3;
        for (size_t i = 0; i < more; ++i) text += RandomChar(rng);
      }
    }
  }
  return text;
}

void ExpectUsableFields(const ParseRecord& r) {
  const uint32_t packed = static_cast<uint32_t>(r.s5Address);
  const uint32_t length = packed >> 24;
  const uint32_t db = (packed >> 16) & 0xFF;
  switch (r.kind) {
    case '*':
      EXPECT_EQ(r.station, 0);
      EXPECT_LE(packed, 0xFFu);
      EXPECT_EQ(r.bit, -1);
      EXPECT_EQ(r.width, 8);
      return;
    case ' ':
      EXPECT_TRUE(r.bit >= -1 && r.bit <= 15) << r.bit;
      EXPECT_EQ(r.width, 16);
      break;
    case '$':
      EXPECT_TRUE(length >= 2 && length <= 80 && length % 2 == 0) << length;
      EXPECT_EQ(r.bit, -1);
      EXPECT_EQ(r.width, 16);
      break;
    case 'S':
      EXPECT_EQ(r.bit, -1);
      EXPECT_EQ(r.width, 8);
      break;
    case 'L':
    case 'Y':
      EXPECT_EQ(r.bit, -1);
      EXPECT_EQ(r.width, 32);
      break;
    case 'M':
    case 'E':
    case 'A':
      EXPECT_LE(packed, 0xFFFFu);
      EXPECT_TRUE(r.bit >= -1 && r.bit <= 7) << r.bit;
      EXPECT_EQ(r.width, 8);
      break;
    default:
      ADD_FAILURE() << "kind " << r.kind;
      return;
  }
  EXPECT_TRUE(r.station >= 0 && r.station <= 255) << r.station;
  EXPECT_LE(db, 253u);
  if (r.kind != '$') {
    EXPECT_EQ(length, 0u);
  }
}

TEST(RandomAddressTexts, AnswersStayWithinTheirContract) {
  DriverHarness h;
  ResetWorkArea(h.work());
  for (uint32_t station : {0x00u, 0x05u, 0x0Au, 0xFFu}) {
    SetStationFlagBits(h.work(), station, STATION_DEFINED);
  }
  const std::vector<uint8_t> workBefore(h.work(), h.work() + kWorkAreaSize);

  std::mt19937 rng(20261211);
  int accepted = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string text = RandomText(rng);
    const std::string hostCopy = text;
    for (uint32_t code : {3u, 4u}) {
      SCOPED_TRACE("code " + std::to_string(code) + " text '" + text + "'");
      // Sentinels around the record show that nothing but its fields is written.
      struct {
        uint32_t before;
        ParseRecord record;
        uint32_t after;
      } guarded{};
      guarded.before = guarded.after = 0xA5A5A5A5;
      guarded.record.address = text.c_str();
      guarded.record.unused4 = guarded.record.unused12 = 0xC3C3C3C3;
      guarded.record.gateType = static_cast<int32_t>(rng() % 10) - 1;
      h.log.clear();

      const int32_t result = h.Call(code, &guarded.record);

      ASSERT_TRUE(result == 0 || result == 1) << result;
      const auto& lines = h.log.lines();
      ASSERT_LE(lines.size(), result == 0 ? 1u : 2u);
      if (result == 1) {
        ASSERT_FALSE(lines.empty());
      }
      for (const LogLine& line : lines) {
        EXPECT_EQ(line.level, 8);
        EXPECT_EQ(line.text.rfind("KESTA> ", 0), 0u);
        EXPECT_LE(line.text.size(), 120u);  // never more than the 31-character copy
      }
      if (result == 0) {
        ExpectUsableFields(guarded.record);
        ++accepted;
      }
      EXPECT_EQ(guarded.before, 0xA5A5A5A5u);
      EXPECT_EQ(guarded.after, 0xA5A5A5A5u);
      EXPECT_EQ(guarded.record.address, text.c_str());
      EXPECT_EQ(guarded.record.unused4, 0xC3C3C3C3u);
      EXPECT_EQ(guarded.record.unused12, 0xC3C3C3C3u);
      ASSERT_EQ(text, hostCopy);
    }
  }
  // The texts reach beyond the character test often enough to mean something.
  EXPECT_GT(accepted, 500);
  EXPECT_TRUE(std::memcmp(h.work(), workBefore.data(), kWorkAreaSize) == 0);
  EXPECT_TRUE(h.GuardsIntact());
}

}  // namespace
}  // namespace kesta::test
