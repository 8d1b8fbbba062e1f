// The Win32 platform layer against the real system calls (under Wine in the
// build): the version query, loading the card library by file name from the
// program's directory, finding its entries, and the clock.
#include <windows.h>

#include <gtest/gtest.h>

#include "h1/card_library.h"
#include "platform/platform.h"

namespace kesta {
namespace {

TEST(Win32Platform, VersionQueryAnswersAWindowsFamily) {
  PlatformVersion version{};
  ASSERT_TRUE(SystemPlatform().queryVersion(&version));
  // The NT family unless the prefix pretends to be an older Windows.
  EXPECT_TRUE(version.platformId == kPlatformWindowsNt || version.platformId == kPlatformWindows95)
      << version.platformId;
  EXPECT_GE(version.major, 4u);
}

TEST(Win32Platform, LoadsTheCardLibraryAndFindsItsEntries) {
  const Platform& platform = SystemPlatform();
  void* library = platform.loadLibrary("H1DLLNT.DLL");
  ASSERT_NE(library, nullptr);
  for (const char* name : {"H1DriverOpen", "H1DriverClose", "H1StarteVerbindungKarte",
                           "H1StoppeVerbindung", "H1SendeDaten", "H1LeseDaten",
                           "H1HoleStandardwerte", "H1SetzeStandardwerte"}) {
    EXPECT_NE(platform.findEntry(library, name), nullptr) << name;
  }
  EXPECT_EQ(platform.findEntry(library, "H1DriverOpen@0"), nullptr) << "entries are undecorated";
  EXPECT_EQ(platform.findEntry(library, "NoSuchEntry"), nullptr);
  // A second load finds the module already present.
  EXPECT_EQ(platform.loadLibrary("H1DLLNT.DLL"), library);
}

TEST(Win32Platform, FoundEntriesAreCalledAsStdcall) {
  const Platform& platform = SystemPlatform();
  void* library = platform.loadLibrary("H1DLLNT.DLL");
  ASSERT_NE(library, nullptr);
  auto open = reinterpret_cast<H1DriverOpenFn>(platform.findEntry(library, "H1DriverOpen"));
  auto stop = reinterpret_cast<H1StoppeVerbindungFn>(platform.findEntry(library, "H1StoppeVerbindung"));
  ASSERT_NE(open, nullptr);
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(open(), 0);
  // The fake knows no connection 77; a wrong convention would most likely
  // crash here or on return.
  for (int i = 0; i < 100; ++i) EXPECT_EQ(stop(77), 1);
}

TEST(Win32Platform, MissingLibraryGivesNull) {
  EXPECT_EQ(SystemPlatform().loadLibrary("H1DLLNONE.DLL"), nullptr);
}

TEST(Win32Platform, ClockCountsMillisecondsSinceLoad) {
  const Platform& platform = SystemPlatform();
  const uint32_t first = platform.clockMs();
  // Since load, not since boot: a test program is young.
  EXPECT_LT(first, 10u * 60u * 1000u);
  uint32_t last = first;
  for (int i = 0; i < 1000; ++i) {
    const uint32_t now = platform.clockMs();
    EXPECT_GE(now, last);
    last = now;
  }
}

}  // namespace
}  // namespace kesta
