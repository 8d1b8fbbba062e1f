// The subcommands of kesta. Each runs against a started session, prints its
// results on stdout (values only; the driver's lines and failures go to
// stderr) and returns its exit code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver_session.h"
#include "gate_list.h"

namespace kestatool {

struct CommandOptions {
  bool json = false;
  std::optional<int32_t> gateType;  // --type
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

int RunParse(DriverSession& session, const std::vector<std::string>& addresses, bool block,
             const CommandOptions& options);
int RunRead(DriverSession& session, const std::vector<std::string>& addresses,
            std::optional<int32_t> count, const CommandOptions& options);
// `assignments` are ADDRESS=VALUE; with `values` (--values) exactly one
// ADDRESS is given and the values go to it as a block.
int RunWrite(DriverSession& session, const std::vector<std::string>& arguments,
             const std::optional<std::string>& values, const CommandOptions& options);
int RunStatus(DriverSession& session, const CommandOptions& options);

struct WatchOptions {
  std::vector<GateListEntry> gates;
  int intervalMs = 1000;
  std::optional<long> cycles;  // none: until Ctrl-C
  bool csv = false;
  bool terminal = false;  // redraw in place
};
int RunWatch(DriverSession& session, const WatchOptions& watch, const CommandOptions& options);

}  // namespace kestatool
