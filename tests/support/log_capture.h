// A capturing err for tests: every line the driver logs, formatted as printf
// formats it, with its level.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kesta::test {

struct LogLine {
  int level;
  std::string text;
  bool operator==(const LogLine&) const = default;
};

// Readable failure messages in GoogleTest.
inline void PrintTo(const LogLine& line, std::ostream* os) {
  *os << "{" << line.level << ", \"" << line.text << "\"}";
}

class LogCapture {
 public:
  LogCapture();   // installs itself and starts empty
  ~LogCapture();  // restores the host's err
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<LogLine>& lines() const;
  void clear();
  // The texts of all lines, for compact assertions.
  std::vector<std::string> texts() const;
  bool contains(int level, const std::string& text) const;
};

}  // namespace kesta::test
