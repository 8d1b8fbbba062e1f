#include "watch_view.h"

#include <algorithm>
#include <cstdio>

#include "gate_types.h"

namespace kestatool {
namespace {

std::string Pad(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

void UpdateGate(WatchedGate& gate, bool ok, const std::string& value, const std::string& csvValue,
                const std::string& error) {
  if (!ok) {
    gate.ok = false;
    gate.changed = false;
    ++gate.failures;
    gate.error = error;
    return;
  }
  gate.changed = gate.seen && value != gate.value;
  gate.ok = true;
  gate.seen = true;
  gate.value = value;
  gate.csvValue = csvValue;
  gate.error.clear();
}

std::vector<std::string> RenderTable(const WatchFrame& frame, const std::deque<LogLine>& recent,
                                     size_t width) {
  std::vector<std::string> lines;
  char head[160];
  if (frame.cycles > 0) {
    std::snprintf(head, sizeof head, "kesta watch: VPI %u, every %d ms, cycle %ld of %ld at %s",
                  frame.vpi, frame.intervalMs, frame.cycle, frame.cycles, frame.time.c_str());
  } else {
    std::snprintf(head, sizeof head, "kesta watch: VPI %u, every %d ms, cycle %ld at %s (Ctrl-C stops)",
                  frame.vpi, frame.intervalMs, frame.cycle, frame.time.c_str());
  }
  lines.push_back(head);
  lines.push_back("");

  size_t gateWidth = 4;
  size_t typeWidth = 4;
  size_t valueWidth = 5;
  for (const WatchedGate& g : frame.gates) {
    gateWidth = std::max(gateWidth, g.address.size());
    typeWidth = std::max(typeWidth, g.typeName.size());
    valueWidth = std::max(valueWidth, g.seen ? g.value.size() : size_t{1});
  }
  lines.push_back(Pad("GATE", gateWidth) + "  " + Pad("TYPE", typeWidth) + "  " +
                  Pad("VALUE", valueWidth) + "    FAILS  LAST ERROR");
  for (const WatchedGate& g : frame.gates) {
    // A failed read keeps the last good value on show, marked by '?'.
    const std::string value = g.seen ? g.value : "-";
    const char mark = g.changed ? '*' : (!g.ok && g.seen ? '?' : ' ');
    char fails[32];
    std::snprintf(fails, sizeof fails, "%5ld", g.failures);
    std::string line = Pad(g.address, gateWidth) + "  " + Pad(g.typeName, typeWidth) + "  " +
                       Pad(value, valueWidth) + " " + mark + "  " + fails;
    if (!g.ok && !g.error.empty()) line += "  " + g.error;
    lines.push_back(line);
  }

  if (!frame.stations.empty()) {
    lines.push_back("");
    lines.push_back("STATION  FLAGS");
    for (const WatchedStation& s : frame.stations) {
      char line[160];
      if (s.ok) {
        std::snprintf(line, sizeof line, "%02X       0x%02X  %s", static_cast<unsigned>(s.station),
                      s.flags, DescribeFlags(s.flags).c_str());
      } else {
        std::snprintf(line, sizeof line, "%02X       ?     status not readable",
                      static_cast<unsigned>(s.station));
      }
      lines.push_back(line);
    }
  }
  if (!recent.empty()) {
    lines.push_back("");
    lines.push_back("DRIVER LOG (latest)");
    for (const LogLine& l : recent) lines.push_back("[" + std::to_string(l.level) + "] " + l.text);
  }
  if (width > 0) {
    for (std::string& line : lines) {
      if (line.size() > width) line.resize(width);
    }
  }
  return lines;
}

std::string RenderInPlace(std::vector<std::string> lines, size_t previous, size_t rows,
                          size_t width) {
  if (rows > 1 && lines.size() > rows - 1) {
    const size_t hidden = lines.size() - (rows - 2);
    lines.resize(rows - 2);
    std::string note = "... " + std::to_string(hidden) + " more lines (a taller window shows them)";
    if (width > 0 && note.size() > width) note.resize(width);
    lines.push_back(note);
  }
  std::string out;
  if (previous > 0) out = "\r\x1b[" + std::to_string(previous) + "A";
  for (const std::string& line : lines) out += line + "\x1b[K\n";
  return out + "\x1b[J";
}

std::string CsvHeader(const WatchFrame& frame) {
  std::string out = "time";
  for (const WatchedGate& g : frame.gates) out += "," + CsvField(g.address);
  return out + "\n";
}

std::string CsvLine(const WatchFrame& frame, const std::string& timestamp) {
  std::string out = timestamp;
  for (const WatchedGate& g : frame.gates) out += "," + (g.ok ? CsvField(g.csvValue) : std::string());
  return out + "\n";
}

}  // namespace kestatool
