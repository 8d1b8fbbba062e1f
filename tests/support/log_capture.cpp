#include "log_capture.h"

#include <cstdarg>
#include <cstdio>

#include "host/log.h"

namespace kesta::test {
namespace {

std::vector<LogLine>& Captured() {
  static std::vector<LogLine> lines;
  return lines;
}

int CaptureErr(int level, const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  Captured().push_back({level, buffer});
  return 0;
}

}  // namespace

LogCapture::LogCapture() {
  Captured().clear();
  SetErrFunctionForTest(&CaptureErr);
}

LogCapture::~LogCapture() { SetErrFunctionForTest(nullptr); }

const std::vector<LogLine>& LogCapture::lines() const { return Captured(); }

void LogCapture::clear() { Captured().clear(); }

std::vector<std::string> LogCapture::texts() const {
  std::vector<std::string> out;
  for (const LogLine& line : Captured()) out.push_back(line.text);
  return out;
}

bool LogCapture::contains(int level, const std::string& text) const {
  for (const LogLine& line : Captured()) {
    if (line.level == level && line.text == text) return true;
  }
  return false;
}

}  // namespace kesta::test
