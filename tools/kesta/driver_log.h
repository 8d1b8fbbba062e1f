// The driver's log lines as kesta receives them from the logging library:
// kept per request (so a failure can say why) and shown on stderr as
// "[level] text" when their level reaches the chosen minimum.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace kestatool {

inline constexpr int kLevelInfo = 8;
inline constexpr int kLevelError = 32;
inline constexpr int kLevelNone = 1000;  // above every level the driver uses

struct LogLine {
  int level = 0;
  std::string text;
};

class DriverLog {
 public:
  void SetMinLevel(int level) { minLevel_ = level; }
  int minLevel() const { return minLevel_; }
  // Where shown lines go; null keeps them only in recent() (the watch screen).
  void SetOutput(std::FILE* out) { out_ = out; }

  // Starts a request: lines() then holds only the lines logged after this.
  void Mark() { lines_.clear(); }
  const std::vector<LogLine>& lines() const { return lines_; }

  // While held, lines are kept back; Release shows them or drops them.
  void Hold() { holding_ = true; }
  void Release(bool show);

  // The last lines at or above the minimum level, newest last.
  const std::deque<LogLine>& recent() const { return recent_; }
  void ClearRecent() { recent_.clear(); }

  void Add(int level, const char* text);

 private:
  void Show(const LogLine& line);

  int minLevel_ = kLevelError;
  std::FILE* out_ = stderr;
  bool holding_ = false;
  std::vector<LogLine> lines_;
  std::vector<LogLine> held_;
  std::deque<LogLine> recent_;
};

// The lines of a request joined for one message line, each without the
// driver's "KESTA> " prefix; the error lines (level 32) alone when there
// are any. Empty when the driver said nothing.
std::string JoinReasons(const std::vector<LogLine>& lines);

// "info" (8), "error" (32), "none" or a number: the least level shown.
bool ParseLogLevel(const std::string& text, int* level);

}  // namespace kestatool
