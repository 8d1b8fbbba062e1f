// What `kesta watch` shows each cycle, kept apart from the polling so that
// the table, the plain lines and the CSV lines can be checked on their own.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "driver_log.h"

namespace kestatool {

struct WatchedGate {
  std::string address;
  std::string typeName;
  bool ok = false;       // the last read succeeded
  bool seen = false;     // some read succeeded before
  std::string value;     // the last value read, as shown
  std::string csvValue;  // the same for CSV: text gates without quotes
  bool changed = false;  // differs from the value of the cycle before
  long failures = 0;     // failed reads so far
  std::string error;     // why the last read failed
};

struct WatchedStation {
  int32_t station = 0;
  bool ok = false;
  uint32_t flags = 0;
};

struct WatchFrame {
  uint32_t vpi = 0;
  int intervalMs = 0;
  long cycle = 0;
  long cycles = 0;   // the last cycle; 0 until Ctrl-C
  std::string time;  // "13:10:04.120"
  std::vector<WatchedGate> gates;
  std::vector<WatchedStation> stations;
};

// Takes the result of one read into the gate's row.
void UpdateGate(WatchedGate& gate, bool ok, const std::string& value, const std::string& csvValue,
                const std::string& error);

// The table as lines (no line feeds), cut to `width` columns when width > 0;
// `recent` are the driver's latest lines, shown below the table.
std::vector<std::string> RenderTable(const WatchFrame& frame, const std::deque<LogLine>& recent,
                                     size_t width);

// Redraws in place on a terminal: the cursor goes back up over the
// `previous` lines drawn last time, every line is cleared to its end as it
// is written and the rest of the screen after it; nothing is cleared first,
// so nothing flickers, and what the terminal showed above stays. At most
// `rows` - 1 lines are drawn (rows 0: no limit), so going back up always
// stays on the screen. The note that stands for the lines left out is cut
// to `width` columns (0: no limit) like the table, since a line that wraps
// would scroll the screen.
std::string RenderInPlace(std::vector<std::string> lines, size_t previous, size_t rows,
                          size_t width = 0);

// The CSV header ("time" and the addresses) and one line a cycle; a failed
// read leaves its field empty.
std::string CsvHeader(const WatchFrame& frame);
std::string CsvLine(const WatchFrame& frame, const std::string& timestamp);

}  // namespace kestatool
