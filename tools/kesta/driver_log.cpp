#include "driver_log.h"

#include <charconv>

namespace kestatool {
namespace {
constexpr size_t kRecentLines = 8;
constexpr char kDriverPrefix[] = "KESTA> ";
}  // namespace

void DriverLog::Add(int level, const char* text) {
  LogLine line{level, text};
  lines_.push_back(line);
  if (holding_) {
    held_.push_back(line);
  } else {
    Show(line);
  }
}

void DriverLog::Release(bool show) {
  holding_ = false;
  if (show) {
    for (const LogLine& line : held_) Show(line);
  }
  held_.clear();
}

void DriverLog::Show(const LogLine& line) {
  if (line.level < minLevel_) return;
  recent_.push_back(line);
  if (recent_.size() > kRecentLines) recent_.pop_front();
  if (out_ != nullptr) {
    std::fprintf(out_, "[%d] %s\n", line.level, line.text.c_str());
    std::fflush(out_);
  }
}

std::string JoinReasons(const std::vector<LogLine>& lines) {
  bool anyError = false;
  for (const LogLine& line : lines) anyError = anyError || line.level >= kLevelError;
  std::string out;
  for (const LogLine& line : lines) {
    if (anyError && line.level < kLevelError) continue;
    std::string_view text = line.text;
    if (text.starts_with(kDriverPrefix)) text.remove_prefix(sizeof kDriverPrefix - 1);
    if (!out.empty()) out += "; ";
    out += text;
  }
  return out;
}

bool ParseLogLevel(const std::string& text, int* level) {
  if (text == "info" || text == "all") {
    *level = kLevelInfo;
    return true;
  }
  if (text == "error") {
    *level = kLevelError;
    return true;
  }
  if (text == "none") {
    *level = kLevelNone;
    return true;
  }
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return false;
  *level = value;
  return true;
}

}  // namespace kestatool
