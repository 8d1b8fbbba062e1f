#include "watch_view.h"

#include <gtest/gtest.h>

namespace kestatool {
namespace {

WatchFrame TwoGates() {
  WatchFrame frame;
  frame.vpi = 1;
  frame.intervalMs = 500;
  frame.cycle = 2;
  frame.time = "13:10:04.120";
  frame.gates.resize(2);
  frame.gates[0].address = "0A05012";
  frame.gates[0].typeName = "word";
  frame.gates[1].address = "0A05014$20";
  frame.gates[1].typeName = "string";
  return frame;
}

TEST(WatchView, MarksChangesSinceTheCycleBeforeAndCountsFailures) {
  WatchedGate g;
  UpdateGate(g, true, "1", "1", "");
  EXPECT_FALSE(g.changed);  // the first value is no change
  UpdateGate(g, true, "2", "2", "");
  EXPECT_TRUE(g.changed);
  UpdateGate(g, true, "2", "2", "");
  EXPECT_FALSE(g.changed);
  UpdateGate(g, false, "", "", "communication failed (2)");
  EXPECT_FALSE(g.ok);
  EXPECT_EQ(g.value, "2");  // the last good value stays on show
  UpdateGate(g, false, "", "", "communication failed (2)");
  EXPECT_EQ(g.failures, 2);
  UpdateGate(g, true, "3", "3", "");
  EXPECT_TRUE(g.changed);  // against the last value read
  EXPECT_TRUE(g.error.empty());
  EXPECT_EQ(g.failures, 2);
}

TEST(WatchView, TableShowsValuesMarksFailuresStationsAndDriverLines) {
  WatchFrame frame = TwoGates();
  UpdateGate(frame.gates[0], true, "1", "1", "");
  UpdateGate(frame.gates[0], true, "7", "7", "");
  UpdateGate(frame.gates[1], false, "", "", "communication failed (2): DoRead() error");
  frame.stations.push_back({0x0A, true, 0x0B});
  const std::deque<LogLine> recent = {{32, "KESTA> DoRead() error reading answer"}};
  const std::vector<std::string> lines = RenderTable(frame, recent, 0);
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  EXPECT_NE(all.find("cycle 2 at 13:10:04.120 (Ctrl-C stops)"), std::string::npos) << all;
  EXPECT_NE(all.find("0A05012     word    7     *      0"), std::string::npos) << all;
  EXPECT_NE(all.find("0A05014$20  string  -            1  communication failed (2): DoRead() error"),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("0A       0x0B  defined, read open, last read ok"), std::string::npos) << all;
  EXPECT_NE(all.find("[32] KESTA> DoRead() error reading answer"), std::string::npos) << all;

  for (const std::string& l : RenderTable(frame, recent, 20)) EXPECT_LE(l.size(), 20u);
  frame.cycles = 5;
  EXPECT_EQ(RenderTable(frame, {}, 0).front(), "kesta watch: VPI 1, every 500 ms, cycle 2 of 5 at 13:10:04.120");
}

// In place: back up over the last frame, each line cleared to its end, the
// rest cleared; never a full clear of the screen, which would flicker.
TEST(WatchView, RedrawsInPlaceWithoutClearingTheScreen) {
  EXPECT_EQ(RenderInPlace({"a", "bb"}, 0, 24), "a\x1b[K\n" "bb\x1b[K\n" "\x1b[J");
  const std::string again = RenderInPlace({"a", "bb"}, 2, 24);
  EXPECT_EQ(again, "\r\x1b[2A" "a\x1b[K\n" "bb\x1b[K\n" "\x1b[J");
  EXPECT_EQ(again.find("\x1b[2J"), std::string::npos);
  // Never more lines than the screen holds, or going back up would fall short.
  const std::string tall = RenderInPlace({"1", "2", "3", "4", "5", "6"}, 0, 5);
  EXPECT_EQ(tall, "1\x1b[K\n" "2\x1b[K\n" "3\x1b[K\n" "... 3 more lines (a taller window shows them)\x1b[K\n" "\x1b[J");
}

// A narrow, low window: every line drawn fits its width, the note for the
// lines left out too, and no more lines than the window holds are drawn, or
// the screen would scroll each cycle instead of being redrawn.
TEST(WatchView, FitsANarrowLowWindow) {
  WatchFrame frame = TwoGates();
  UpdateGate(frame.gates[0], true, "1", "1", "");
  UpdateGate(frame.gates[1], false, "", "", "communication failed (2): DoRead() error opening R channel");
  frame.stations.push_back({0x0A, true, 0x0B});
  const std::deque<LogLine> recent = {{32, "KESTA> DoRead() error opening R channel vpi1 plc0Ah"}};
  const size_t width = 40;
  const size_t rows = 6;
  const std::string out = RenderInPlace(RenderTable(frame, recent, width), 0, rows, width);
  ASSERT_GE(out.size(), 3u);
  ASSERT_EQ(out.substr(out.size() - 3), "\x1b[J");
  const std::string body = out.substr(0, out.size() - 3);
  std::vector<std::string> lines;
  for (size_t at = 0; at < body.size();) {
    const size_t end = body.find('\n', at);
    ASSERT_NE(end, std::string::npos) << body;
    std::string line = body.substr(at, end - at);
    ASSERT_GE(line.size(), 3u);
    EXPECT_EQ(line.substr(line.size() - 3), "\x1b[K");
    lines.push_back(line.substr(0, line.size() - 3));
    at = end + 1;
  }
  EXPECT_LE(lines.size(), rows - 1) << body;
  for (const std::string& l : lines) EXPECT_LE(l.size(), width) << "'" << l << "'";
  EXPECT_EQ(lines.back().rfind("... ", 0), 0u) << body;
}

TEST(WatchView, CsvHasAHeaderAndOneLineACycleWithEmptyFieldsForFailures) {
  WatchFrame frame = TwoGates();
  frame.gates[1].address = "a,b";
  UpdateGate(frame.gates[0], true, "12", "12", "");
  UpdateGate(frame.gates[1], true, "\"say \\\"hi\\\"\"", "say \"hi\"", "");
  EXPECT_EQ(CsvHeader(frame), "time,0A05012,\"a,b\"\n");
  EXPECT_EQ(CsvLine(frame, "T"), "T,12,\"say \"\"hi\"\"\"\n");
  UpdateGate(frame.gates[0], false, "", "", "refused (1)");
  EXPECT_EQ(CsvLine(frame, "T"), "T,,\"say \"\"hi\"\"\"\n");
}

}  // namespace
}  // namespace kestatool
