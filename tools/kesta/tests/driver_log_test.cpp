#include "driver_log.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "exit_codes.h"

namespace kestatool {
namespace {

std::string ReadAll(std::FILE* f) {
  std::rewind(f);
  std::string out;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return out;
}

TEST(DriverLog, ShowsLinesFromTheLeastLevelAndKeepsAllForTheRequest) {
  std::FILE* out = std::tmpfile();
  DriverLog log;
  log.SetOutput(out);
  log.SetMinLevel(kLevelError);
  log.Mark();
  log.Add(8, "KESTA> Parse(), station '05' not in init file");
  log.Add(32, "KESTA> DoRead() error reading answer");
  EXPECT_EQ(ReadAll(out), "[32] KESTA> DoRead() error reading answer\n");
  EXPECT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(log.recent().size(), 1u);
  log.Mark();
  EXPECT_TRUE(log.lines().empty());
  std::fclose(out);
}

TEST(DriverLog, HeldLinesAreShownOrDroppedOnRelease) {
  std::FILE* out = std::tmpfile();
  DriverLog log;
  log.SetOutput(out);
  log.SetMinLevel(kLevelInfo);
  log.Hold();
  log.Add(8, "first try");
  EXPECT_EQ(ReadAll(out), "");
  log.Release(false);
  log.Hold();
  log.Add(8, "second try");
  log.Release(true);
  log.Add(8, "after");
  EXPECT_EQ(ReadAll(out), "[8] second try\n[8] after\n");
  std::fclose(out);
}

TEST(DriverLog, ReasonsArePlainAndPreferErrorLines) {
  EXPECT_EQ(JoinReasons({{8, "KESTA> Parse(), station '05' not in init file"},
                         {8, "KESTA> DoRead() error opening R channel vpi1 plc05h"}}),
            "Parse(), station '05' not in init file; DoRead() error opening R channel vpi1 plc05h");
  EXPECT_EQ(JoinReasons({{8, "KESTA> version compiled on Jul 30 1997 at time 16:46:37"},
                         {32, "KESTA> LoadH1DLLs() error loading 'H1DLLNT.DLL'"}}),
            "LoadH1DLLs() error loading 'H1DLLNT.DLL'");
  EXPECT_EQ(JoinReasons({}), "");
}

TEST(DriverLog, LevelNames) {
  int level = 0;
  EXPECT_TRUE(ParseLogLevel("info", &level));
  EXPECT_EQ(level, 8);
  EXPECT_TRUE(ParseLogLevel("error", &level));
  EXPECT_EQ(level, 32);
  EXPECT_TRUE(ParseLogLevel("16", &level));
  EXPECT_EQ(level, 16);
  EXPECT_TRUE(ParseLogLevel("none", &level));
  EXPECT_GT(level, 32);
  EXPECT_FALSE(ParseLogLevel("loud", &level));
  EXPECT_FALSE(ParseLogLevel("-1", &level));
}

TEST(ExitCodes, FollowTheDriversResults) {
  EXPECT_EQ(ExitCodeFor(0), kExitOk);
  EXPECT_EQ(ExitCodeFor(1), kExitRefused);
  EXPECT_EQ(ExitCodeFor(2), kExitCommFailed);
  EXPECT_EQ(ExitCodeFor(7), kExitCommFailed);
  EXPECT_EQ(WorseExit(kExitRefused, kExitCommFailed), kExitCommFailed);
  EXPECT_EQ(WorseExit(kExitOk, kExitRefused), kExitRefused);
  Outcome o{2, "DoRead() error opening R channel vpi1 plc05h"};
  EXPECT_EQ(FailureLine("read", "0501000", o, true),
            "kesta: read '0501000': communication failed (2): DoRead() error opening R channel vpi1 plc05h");
  EXPECT_EQ(FailureLine("write", "05-E01", Outcome{1, ""}, true),
            "kesta: write '05-E01': refused (1), the driver gave no reason");
}

}  // namespace
}  // namespace kestatool
