#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "driver_harness.h"
#include "temp_dir.h"

namespace kesta::test {
namespace {

CardReply Rc(uint16_t rc) {
  CardReply reply;
  reply.rc = rc;
  return reply;
}

constexpr char kVersionPrefix[] = "KESTA> version compiled on ";
constexpr char kLoadFailed[] = "KESTA> ColdStart() error loading DLL, driver not started";

const char* const kEntries[8] = {
    "H1DriverOpen",        "H1DriverClose", "H1StarteVerbindungKarte", "H1StoppeVerbindung",
    "H1SendeDaten",        "H1LeseDaten",   "H1HoleStandardwerte",     "H1SetzeStandardwerte"};

int32_t Start(DriverHarness& h, int32_t openDriver, int32_t timeout = 0) {
  ColdStartParams params{};
  std::memset(params.unused0, 0x77, sizeof params.unused0);
  params.openDriver = openDriver;
  params.timeout = timeout;
  return h.Call(1, &params);
}

bool IsVersionLine(const LogLine& line) {
  // "KESTA> version compiled on Mmm dd yyyy at time hh:mm:ss", the build's date.
  return line.level == 8 && line.text.rfind(kVersionPrefix, 0) == 0 &&
         line.text.size() == std::strlen(kVersionPrefix) + 11 + 9 + 8 &&
         line.text.compare(std::strlen(kVersionPrefix) + 11, 9, " at time ") == 0;
}

std::vector<LogLine> AfterVersionLine(const DriverHarness& h) {
  std::vector<LogLine> lines = h.log.lines();
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return lines;
  EXPECT_TRUE(IsVersionLine(lines[0])) << lines[0].text;
  lines.erase(lines.begin());
  return lines;
}

class ColdStartTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Write("KESTA01.INT", "CARD = 2\n05 = 080006000005\n"); }
  ScopedTempDir dir;
};

TEST_F(ColdStartTest, OpensTheDriverSetsTheTimeoutAndActivates) {
  DriverHarness h;
  std::memset(h.work(), 0x5A, kWorkAreaSize);

  EXPECT_EQ(Start(h, 1, 0), 0);

  EXPECT_EQ(AfterVersionLine(h),
            (std::vector<LogLine>{
                {8, "KESTA> LoadH1DLLs() 'H1DLLNT.DLL' loaded"},
                {8, "KESTA> ReadInitFile() CARD= 2"},
                {8, "KESTA> ReadInitFile() station 05 = 080006000005 , 'TAMBOR  '"},
                {8, "KESTA> Coldstart() timeout: 500"},
                {8, "KESTA> ColdStart() QZ VIPA SINEC H1 driver installed"},
            }));
  EXPECT_EQ(h.platform.entryLookups, std::vector<std::string>(kEntries, kEntries + 8));
  std::vector<std::string> order;
  for (const CardCall& c : h.card.calls) order.push_back(c.entry);
  EXPECT_EQ(order, (std::vector<std::string>{"H1DriverOpen", "H1HoleStandardwerte",
                                             "H1SetzeStandardwerte"}));

  // The defaults block: size word in, then the library's bytes back with
  // only the three timeout fields changed.
  const std::vector<uint8_t> get = h.card.callsOf("H1HoleStandardwerte")[0].block;
  EXPECT_EQ(GetLe16(get.data()), 46);
  std::vector<uint8_t> expected(46, 0xA5);
  PutLe16(expected.data(), 46);
  PutLe16(expected.data() + 8, 475);
  PutLe16(expected.data() + 10, 475);
  PutLe32(expected.data() + 30, 500);
  EXPECT_EQ(h.card.callsOf("H1SetzeStandardwerte")[0].block, expected);

  EXPECT_TRUE(IsActive(h.work()));
  EXPECT_EQ(TimeoutMs(h.work()), 500);
  EXPECT_EQ(CardNumber(h.work()), 2);
  EXPECT_EQ(StationFlags(h.work(), 5), STATION_DEFINED);
  EXPECT_EQ(StationConn(h.work(), 5, Direction::Read), -1);
  EXPECT_TRUE(h.platform.sleeps.empty());
  EXPECT_TRUE(h.GuardsIntact());
}

TEST_F(ColdStartTest, WithoutOpenDriverOnlyResetsAndReadsTheFile) {
  DriverHarness h;
  std::memset(h.work(), 0x5A, kWorkAreaSize);

  EXPECT_EQ(Start(h, 0, 100), 0);

  EXPECT_EQ(AfterVersionLine(h).size(), 3u);  // loaded, CARD, station: no "exited" line
  EXPECT_TRUE(h.card.calls.empty());
  EXPECT_FALSE(IsActive(h.work()));
  EXPECT_EQ(CardNumber(h.work()), 2);
  EXPECT_EQ(GetLe32(h.work() + kWaTimeoutMs), 0x5A5A5A5Au);  // not set without the driver
}

// timeout (10 ms units) -> timeoutMs, and the 16-bit 95 % words the library
// receives: 0 and negative select 500 ms; the words saturate instead of
// wrapping (70 s must not become 964 ms); timeout*10 does not overflow.
TEST_F(ColdStartTest, TimeoutReachesTheLibraryWithoutWrapping) {
  const struct {
    int32_t timeout;
    int32_t ms;
    uint16_t word;
  } cases[] = {
      {0, 500, 475},         {100, 1000, 950},        {-5, 500, 475},
      {INT32_MIN, 500, 475}, {1, 10, 9},              {6898, 68980, 65531},
      {6899, 68990, 65535},  {7000, 70000, 65535},    {214748364, 2147483640, 65535},
      {214748365, INT32_MAX, 65535}, {INT32_MAX, INT32_MAX, 65535},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.timeout);
    DriverHarness h;
    EXPECT_EQ(Start(h, 1, c.timeout), 0);
    EXPECT_EQ(TimeoutMs(h.work()), c.ms);
    EXPECT_TRUE(h.log.contains(8, "KESTA> Coldstart() timeout: " + std::to_string(c.ms)));
    const std::vector<CardCall> set = h.card.callsOf("H1SetzeStandardwerte");
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(GetLe16(set[0].block.data() + 8), c.word);
    EXPECT_EQ(GetLe16(set[0].block.data() + 10), c.word);
    EXPECT_EQ(GetLe32(set[0].block.data() + 30), static_cast<uint32_t>(c.ms));
  }
}

TEST_F(ColdStartTest, DriverMissingLeavesTheVpiConfiguredButInactive) {
  DriverHarness h;
  h.card.driverOpen.push_back(Rc(7));
  std::memset(h.work(), 0x5A, kWorkAreaSize);

  EXPECT_EQ(Start(h, 1, 0), 1);

  const std::vector<LogLine> lines = AfterVersionLine(h);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], (LogLine{32, "KESTA> ColdStart() H1 protocol driver not installed"}));
  EXPECT_EQ(lines[4], (LogLine{8, "KESTA> ColdStart() exited, 1"}));
  EXPECT_EQ(h.card.calls.size(), 1u);  // no defaults calls
  EXPECT_FALSE(IsActive(h.work()));
  EXPECT_EQ(CardNumber(h.work()), 2);
  EXPECT_EQ(GetLe32(h.work() + kWaTimeoutMs), 0x5A5A5A5Au);  // no timeout was set
}

TEST_F(ColdStartTest, RefusedTimeoutStillStartsTheVpi) {
  const struct {
    const char* what;
    bool getFails;
  } cases[] = {{"H1HoleStandardwerte refuses", true}, {"H1SetzeStandardwerte refuses", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DriverHarness h;
    (c.getFails ? h.card.getDefaults : h.card.setDefaults).push_back(Rc(4));

    EXPECT_EQ(Start(h, 1, 100), 0);

    const std::vector<LogLine> lines = AfterVersionLine(h);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], (LogLine{32, "KESTA> ColdStart() error putting VIPA H1 timeout rc=1"}));
    EXPECT_EQ(lines[4], (LogLine{8, "KESTA> ColdStart() QZ VIPA SINEC H1 driver installed"}));
    EXPECT_EQ(h.card.countOf("H1SetzeStandardwerte"), c.getFails ? 0u : 1u);
    EXPECT_TRUE(IsActive(h.work()));
    EXPECT_EQ(TimeoutMs(h.work()), 1000);
  }
}

// Which library each platform loads, and every way loading can fail; a
// failed load leaves the work area exactly as it was.
TEST_F(ColdStartTest, LoadsTheLibraryOfThePlatform) {
  const struct {
    const char* what;
    uint32_t platformId;
    bool versionFails;
    std::vector<const char*> libraries;
    std::vector<std::string> attempts;
    LogLine line;  // the first line after the version line
  } cases[] = {
      {"NT family", 2, false, {"H1DLLNT.DLL"}, {"H1DLLNT.DLL"},
       {8, "KESTA> LoadH1DLLs() 'H1DLLNT.DLL' loaded"}},
      {"NT family, library missing", 2, false, {"H1DLL95.DLL"}, {"H1DLLNT.DLL"},
       {32, "KESTA> LoadH1DLLs() error loading 'H1DLLNT.DLL'"}},
      {"95 family", 1, false, {"H1DLL95.DLL", "H1DLLW95.DLL"}, {"H1DLL95.DLL"},
       {8, "KESTA> LoadH1DLLs() 'H1DLL95.DLL' loaded"}},
      {"95 family, second name only: no 'loaded' line", 1, false, {"H1DLLW95.DLL"},
       {"H1DLL95.DLL", "H1DLLW95.DLL"}, {8, "KESTA> ReadInitFile() CARD= 2"}},
      {"95 family, neither", 1, false, {"H1DLLNT.DLL"}, {"H1DLL95.DLL", "H1DLLW95.DLL"},
       {32, "KESTA> LoadH1DLLs() error loading 'H1DLLW95.DLL'"}},
      {"Win32s", 0, false, {"H1DLLNT.DLL"}, {},
       {32, "KESTA> LoadH1DLLs() Illegal WIN32 OS: 4.0, build 00000565, platform 0"}},
      {"unknown platform", 3, false, {"H1DLLNT.DLL"}, {},
       {32, "KESTA> LoadH1DLLs() Illegal WIN32 OS: 4.0, build 00000565, platform 3"}},
      {"version query fails", 2, true, {"H1DLLNT.DLL"}, {},
       {32, "KESTA> LoadH1DLLs() Error getting Win version number"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DriverHarness h;
    h.platform.RemoveLibrary("H1DLLNT.DLL");
    for (const char* name : c.libraries) h.platform.AddFakeCardLibrary(name);
    h.platform.version.platformId = c.platformId;
    h.platform.versionQueryFails = c.versionFails;
    std::memset(h.work(), 0x5A, kWorkAreaSize);

    const bool loads = c.line.level == 8;
    EXPECT_EQ(Start(h, 1), loads ? 0 : 1);

    EXPECT_EQ(h.platform.loadAttempts, c.attempts);
    const std::vector<LogLine> lines = AfterVersionLine(h);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.line);
    if (!loads) {
      EXPECT_EQ(lines, (std::vector<LogLine>{c.line, {32, kLoadFailed}}));
      for (size_t i = 0; i < kWorkAreaSize; ++i) ASSERT_EQ(h.work()[i], 0x5A) << i;
      EXPECT_TRUE(h.card.calls.empty());
    } else {
      EXPECT_TRUE(IsActive(h.work()));
    }
  }
}

// The entries are looked up in their order and each is stored at once; the
// first missing one is named and ends the start.
TEST_F(ColdStartTest, MissingEntryIsNamedAndStopsTheLookups) {
  struct Case {
    std::set<std::string> missing;
    size_t firstMissing;
  };
  std::vector<Case> cases;
  for (size_t i = 0; i < 8; ++i) cases.push_back({{kEntries[i]}, i});
  cases.push_back({{"H1LeseDaten", "H1SetzeStandardwerte"}, 5});
  for (const Case& c : cases) {
    SCOPED_TRACE(kEntries[c.firstMissing]);
    DriverHarness h;
    h.platform.RemoveLibrary("H1DLLNT.DLL");
    h.platform.AddFakeCardLibrary("H1DLLNT.DLL", c.missing);
    std::memset(h.work(), 0x5A, kWorkAreaSize);

    EXPECT_EQ(Start(h, 1), 1);

    EXPECT_EQ(h.platform.entryLookups,
              std::vector<std::string>(kEntries, kEntries + c.firstMissing + 1));
    EXPECT_EQ(AfterVersionLine(h),
              (std::vector<LogLine>{
                  {8, "KESTA> LoadH1DLLs() 'H1DLLNT.DLL' loaded"},
                  {32, std::string("KESTA> LoadH1DLLs() error getting proc. addr '") +
                           kEntries[c.firstMissing] + "' from 'H1DLLNT.DLL'"},
                  {32, kLoadFailed}}));
    for (size_t i = 0; i < kWorkAreaSize; ++i) ASSERT_EQ(h.work()[i], 0x5A) << i;
  }
}

// After the fallback to the second 95-family name, a missing entry names
// the library that was loaded.
TEST_F(ColdStartTest, MissingEntryNamesTheFallbackLibrary) {
  DriverHarness h;
  h.platform.RemoveLibrary("H1DLLNT.DLL");
  h.platform.AddFakeCardLibrary("H1DLLW95.DLL", {"H1SendeDaten"});
  h.platform.version.platformId = 1;

  EXPECT_EQ(Start(h, 1), 1);

  EXPECT_EQ(AfterVersionLine(h),
            (std::vector<LogLine>{
                {32, "KESTA> LoadH1DLLs() error getting proc. addr 'H1SendeDaten' from 'H1DLLW95.DLL'"},
                {32, kLoadFailed}}));
}

// Kept as the system has always done it: a second cold start resets the
// station table without closing what the first one opened.
TEST_F(ColdStartTest, SecondColdStartForgetsOpenConnections) {
  DriverHarness h;
  ASSERT_EQ(Start(h, 1), 0);
  SetStationConn(h.work(), 5, Direction::Read, 9);
  SetStationFlagBits(h.work(), 5, READ_OPEN | LAST_READ_OK);

  ASSERT_EQ(Start(h, 1), 0);

  EXPECT_EQ(StationConn(h.work(), 5, Direction::Read), -1);
  EXPECT_EQ(StationFlags(h.work(), 5), STATION_DEFINED);
  EXPECT_EQ(h.card.countOf("H1StoppeVerbindung"), 0u);
  EXPECT_EQ(h.card.countOf("H1DriverOpen"), 2u);
}

}  // namespace
}  // namespace kesta::test
