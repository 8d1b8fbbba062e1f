// kesta: reads, writes and watches gates from the command line through the
// driver, loaded the way a host loads it. See `kesta --help`.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands.h"
#include "driver_session.h"
#include "exit_codes.h"
#include "gate_list.h"
#include "gate_types.h"

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace kestatool;

namespace {

enum class Command { None, Parse, Read, Write, Watch, Status };

struct Arguments {
  SessionOptions session;
  std::string logLevel = "error";
  std::string type;
  bool json = false;
  bool block = false;
  std::vector<std::string> addresses;
  std::optional<int32_t> count;
  std::optional<std::string> values;
  std::string gatesFile;
  int intervalMs = 1000;
  std::optional<long> cycles;
  bool csv = false;
};

int Usage(const std::string& message) {
  std::fprintf(stderr, "kesta: %s\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments a;
  Command command = Command::None;
  CLI::App app{"kesta: reads, writes and watches gates of S5 controllers through the KESTA driver"};
  app.require_subcommand(1);
  app.fallthrough();
  app.add_option("--driver", a.session.driverPath, "the driver library (default: ../lib/libkesta.so beside kesta)");
  app.add_option("--vpi", a.session.vpi, "VPI number; names the init file KESTAnn.INT (default 1)")
      ->check(CLI::Range(0u, 999999u));
  app.add_option("--dir", a.session.directory, "directory of the init file and the card library's configuration (default: current)");
  app.add_option("--timeout", a.session.timeoutMs, "request timeout in ms, handed to the card library (default: the driver's 500)")
      ->check(CLI::Range(1, 100000000));
  app.add_option("--log-level", a.logLevel, "driver lines shown on stderr: info, error (default), none, or a least level");

  auto addType = [&](CLI::App* sub) {
    sub->add_option("--type", a.type, "gate type: word (also byte, status), float, long, digital, string, or 0 to 7 (default: from the address)");
  };

  CLI::App* parse = app.add_subcommand("parse", "show how addresses decode, or why the driver refuses them");
  parse->add_option("ADDRESS", a.addresses, "gate addresses")->required();
  parse->add_flag("--block", a.block, "check as the first gate of a block");
  parse->add_flag("--json", a.json, "print JSON");
  addType(parse);
  parse->callback([&] { command = Command::Parse; });

  CLI::App* read = app.add_subcommand("read", "read gates, or a block of gates with --count");
  read->add_option("ADDRESS", a.addresses, "gate addresses")->required();
  read->add_option("--count", a.count, "read a block of N consecutive gates from ADDRESS")
      ->check(CLI::Range(1, 4144));
  read->add_flag("--json", a.json, "print JSON");
  addType(read);
  read->callback([&] { command = Command::Read; });

  CLI::App* write = app.add_subcommand("write", "write gates: ADDRESS=VALUE..., or ADDRESS --values v1,v2,...");
  write->add_option("ASSIGNMENT", a.addresses, "ADDRESS=VALUE, or one ADDRESS with --values")->required();
  write->add_option("--values", a.values, "comma-separated values written as a block from ADDRESS");
  addType(write);
  write->callback([&] { command = Command::Write; });

  CLI::App* watch = app.add_subcommand("watch", "poll a list of gates and show them as a table");
  watch->add_option("--gates", a.gatesFile, "gate list: one address and optional type a line, # comments")
      ->required();
  watch->add_option("--interval", a.intervalMs, "poll interval in ms (default 1000)")
      ->check(CLI::Range(10, 86400000));
  watch->add_option("--cycles", a.cycles, "stop after N cycles (default: until Ctrl-C)")
      ->check(CLI::PositiveNumber);
  watch->add_flag("--csv", a.csv, "one timestamped CSV line a cycle");
  addType(watch);
  watch->callback([&] { command = Command::Watch; });

  CLI::App* status = app.add_subcommand("status", "show the VPI's station table");
  status->add_flag("--json", a.json, "print JSON");
  status->callback([&] { command = Command::Status; });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? kExitOk : kExitUsage;
  }

  int logLevel = 0;
  if (!ParseLogLevel(a.logLevel, &logLevel)) return Usage("--log-level takes info, error, none or a number");
  CommandOptions options;
  options.json = a.json;
  if (!a.type.empty()) {
    options.gateType = GateTypeFromName(a.type);
    if (!options.gateType) return Usage("unknown --type '" + a.type + "' (word, float, long, digital, string or 0 to 7)");
  }
  if (command == Command::Read && a.count && a.addresses.size() != 1) {
    return Usage("read --count takes exactly one address");
  }
  if (command == Command::Write) {
    if (a.values) {
      if (a.addresses.size() != 1 || a.addresses[0].find('=') != std::string::npos) {
        return Usage("write --values takes exactly one ADDRESS, without =VALUE");
      }
    } else {
      for (const std::string& assignment : a.addresses) {
        if (assignment.find('=') == std::string::npos) {
          return Usage("write '" + assignment + "': give ADDRESS=VALUE, or one ADDRESS with --values");
        }
      }
    }
  }
  if (!a.session.directory.empty() && !std::filesystem::is_directory(a.session.directory)) {
    return Usage("--dir " + a.session.directory + " is not a directory");
  }
  WatchOptions watchOptions;
  if (command == Command::Watch) {
    // Read before the driver changes into --dir, so the path is the user's.
    std::ifstream file(a.gatesFile, std::ios::binary);
    if (!file) return Usage("cannot read the gate list " + a.gatesFile);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    if (!ParseGateList(text.str(), &watchOptions.gates, &error)) {
      return Usage(a.gatesFile + ": " + error);
    }
    watchOptions.intervalMs = a.intervalMs;
    watchOptions.cycles = a.cycles;
    watchOptions.csv = a.csv;
    watchOptions.terminal = isatty(fileno(stdout)) != 0;
  }

  DriverLog log;
  log.SetMinLevel(logLevel);
  DriverSession session(&log);
  if (a.session.driverPath.empty()) a.session.driverPath = DefaultDriverPath(argv[0]);
  // Parsing needs no connection, so it does not open the H1 driver.
  a.session.openDriver = command != Command::Parse;
  std::string error;
  if (!session.Load(a.session, &error)) {
    std::fprintf(stderr, "kesta: %s\n", error.c_str());
    return kExitCommFailed;
  }
  InstallInterruptHandler();

  log.Mark();
  const int32_t started = session.Start();
  int exit = kExitOk;
  if (started != 0) {
    const std::string reason = JoinReasons(log.lines());
    std::fprintf(stderr, "kesta: cold start of VPI %u: %s%s%s%s\n", session.vpi(),
                 ResultWords(started).c_str(), reason.empty() ? "" : ": ", reason.c_str(),
                 command == Command::Parse ? " (addresses are decoded all the same)" : "");
    // Addresses decode and the station table shows without a started driver.
    if (command != Command::Parse && command != Command::Status) {
      session.End();
      return ExitCodeFor(started);
    }
    if (command == Command::Status) exit = ExitCodeFor(started);
  }

  switch (command) {
    case Command::Parse:
      exit = WorseExit(exit, RunParse(session, a.addresses, a.block, options));
      break;
    case Command::Read:
      exit = WorseExit(exit, RunRead(session, a.addresses, a.count, options));
      break;
    case Command::Write:
      exit = WorseExit(exit, RunWrite(session, a.addresses, a.values, options));
      break;
    case Command::Watch:
      exit = WorseExit(exit, RunWatch(session, watchOptions, options));
      break;
    case Command::Status:
      exit = WorseExit(exit, RunStatus(session, options));
      break;
    case Command::None:
      break;
  }

  log.Mark();
  const int32_t ended = session.End();
  if (ended != 0) {
    std::fprintf(stderr, "kesta: EndVpi answered %d: a connection did not close cleanly\n", ended);
  }
  // Stopped early, the user wants to see the VPI ended, whatever the log level.
  if (Interrupted() || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "kesta: VPI %u ended (EndVpi %d)\n", session.vpi(), ended);
  }
  if (Interrupted() && command != Command::Watch) return kExitInterrupted;
  return exit;
}
