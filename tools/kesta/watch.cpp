// kesta watch: polls a list of gates at a fixed interval and shows them as a
// table redrawn in place (on a terminal), as plain tables (otherwise) or as
// CSV lines, until the cycles are done or Ctrl-C.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>
#include <thread>

#include "commands.h"
#include "exit_codes.h"
#include "gate_ops.h"
#include "gate_value.h"
#include "watch_view.h"

#if !defined(_WIN32)
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kestatool {
namespace {

using Clock = std::chrono::steady_clock;

// "13:10:04.120", and with the date for CSV "2026-12-11T13:10:04.120".
std::string LocalTime(bool withDate) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const long ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
#if defined(_WIN32)
  localtime_s(&tm, &seconds);
#else
  localtime_r(&seconds, &tm);
#endif
  char text[40];
  std::strftime(text, sizeof text, withDate ? "%Y-%m-%dT%H:%M:%S" : "%H:%M:%S", &tm);
  char out[48];
  std::snprintf(out, sizeof out, "%s.%03ld", text, ms);
  return out;
}

struct TerminalSize {
  size_t columns = 0;  // 0: not known
  size_t rows = 0;
};

TerminalSize SizeOf(std::FILE* out) {
  TerminalSize size;
#if defined(_WIN32)
  (void)out;
#else
  struct winsize ws {};
  if (ioctl(fileno(out), TIOCGWINSZ, &ws) == 0) {
    size.columns = ws.ws_col;
    size.rows = ws.ws_row;
  }
#endif
  return size;
}

// Sleeps until `until`, waking early for Ctrl-C.
void WaitUntil(Clock::time_point until) {
  while (!Interrupted()) {
    const auto now = Clock::now();
    if (now >= until) return;
    std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
  }
}

}  // namespace

int RunWatch(DriverSession& session, const WatchOptions& watch, const CommandOptions& options) {
  // Every gate is checked once before the first cycle; a refused gate ends
  // the watch before it begins, since the list needs mending.
  std::vector<Gate> gates;
  WatchFrame frame;
  frame.vpi = session.vpi();
  frame.intervalMs = watch.intervalMs;
  frame.cycles = watch.cycles.value_or(0);
  std::set<int32_t> stationNumbers;
  int exit = kExitOk;
  for (const GateListEntry& entry : watch.gates) {
    Gate gate;
    gate.address = entry.address;
    if (entry.gateType) {
      gate.gateType = *entry.gateType;
      gate.typeGiven = true;
    } else if (options.gateType) {
      gate.gateType = *options.gateType;
      gate.typeGiven = true;
    }
    const Outcome outcome = ParseGate(session, gate, false);
    if (outcome.result != 0) {
      std::fprintf(options.err, "%s (gate list line %d)\n",
                   FailureLine("watch", entry.address, outcome, session.capturesLog()).c_str(),
                   entry.line);
      exit = WorseExit(exit, ExitCodeFor(outcome.result));
      continue;
    }
    stationNumbers.insert(gate.fields.kind == '*' ? (gate.fields.s5Address & 0xFF) : gate.fields.station);
    WatchedGate row;
    row.address = entry.address;
    row.typeName = GateTypeNameFor(gate.fields, gate.gateType);
    frame.gates.push_back(row);
    gates.push_back(gate);
  }
  if (exit != kExitOk) return exit;

  std::vector<Gate> statusGates;
  for (const int32_t station : stationNumbers) {
    Gate gate = StationStatusGate(station);
    if (ParseGate(session, gate, false).result == 0) {
      statusGates.push_back(gate);
      WatchedStation s;
      s.station = station;
      frame.stations.push_back(s);
    }
  }

  const bool terminal = watch.terminal && !watch.csv;
  if (terminal) {
    // One write a frame: the terminal never shows half of one.
    static char frameBuffer[1 << 16];
    std::setvbuf(options.out, frameBuffer, _IOFBF, sizeof frameBuffer);
    // The driver's lines appear inside the table instead of scrolling it;
    // those printed before the table began are not repeated there.
    session.log().SetOutput(nullptr);
    session.log().ClearRecent();
    std::fputs("\x1b[?25l", options.out);  // no cursor blinking over the table
  }
  if (watch.csv) std::fputs(CsvHeader(frame).c_str(), options.out);
  // A reader that went away (`kesta watch | head`) stops the watch like
  // Ctrl-C, so the VPI is still ended; SIGPIPE is ignored for this.
  bool outputClosed = std::fflush(options.out) != 0 || std::ferror(options.out) != 0;

  size_t drawn = 0;  // lines of the last frame on the terminal
  auto next = Clock::now();
  for (long cycle = 1; !Interrupted() && !outputClosed; ++cycle) {
    frame.cycle = cycle;
    frame.time = LocalTime(false);
    const std::string timestamp = LocalTime(true);
    for (size_t i = 0; i < gates.size() && !Interrupted(); ++i) {
      uint8_t buffer[kSingleBufferSize] = {};
      const Outcome outcome = ReadGate(session, gates[i], buffer);
      exit = WorseExit(exit, ExitCodeFor(outcome.result));
      const GateValue value = DecodeSingle(gates[i].fields, gates[i].gateType, buffer);
      const std::string shown = outcome.result == 0 ? FormatValue(value) : std::string();
      const std::string csv = value.form == ValueForm::Text ? value.text : shown;
      const std::string error =
          outcome.result == 0 ? std::string()
                              : ResultWords(outcome.result) +
                                    (outcome.reason.empty() ? "" : ": " + outcome.reason);
      UpdateGate(frame.gates[i], outcome.result == 0, shown, csv, error);
    }
    for (size_t i = 0; i < statusGates.size(); ++i) {
      uint8_t buffer[kSingleBufferSize] = {};
      const Outcome outcome = ReadGate(session, statusGates[i], buffer);
      frame.stations[i].ok = outcome.result == 0;
      frame.stations[i].flags = buffer[2];
    }

    if (watch.csv) {
      std::fputs(CsvLine(frame, timestamp).c_str(), options.out);
    } else if (terminal) {
      const TerminalSize size = SizeOf(options.out);
      auto lines = RenderTable(frame, session.log().recent(), size.columns);
      std::fputs(RenderInPlace(lines, drawn, size.rows, size.columns).c_str(), options.out);
      drawn = size.rows > 1 ? std::min(lines.size(), size.rows - 1) : lines.size();
    } else {
      for (const std::string& line : RenderTable(frame, {}, 0)) {
        std::fprintf(options.out, "%s\n", line.c_str());
      }
      std::fputc('\n', options.out);
    }
    if (std::fflush(options.out) != 0 || std::ferror(options.out) != 0) {
      outputClosed = true;
      break;
    }

    if (watch.cycles && cycle >= *watch.cycles) break;
    next += std::chrono::milliseconds(watch.intervalMs);
    // A cycle that took longer than the interval starts the next at once.
    if (next < Clock::now()) next = Clock::now();
    WaitUntil(next);
  }

  if (terminal) {
    std::fputs("\x1b[?25h", options.out);
    std::fflush(options.out);
    session.log().SetOutput(options.err);
  }
  if (outputClosed) {
    std::fprintf(options.err, "kesta: watch stopped after cycle %ld: the output was closed\n",
                 frame.cycle);
  } else if (Interrupted()) {
    std::fprintf(options.err, "kesta: watch stopped by Ctrl-C after cycle %ld\n", frame.cycle);
  }
  return exit;
}

}  // namespace kestatool
