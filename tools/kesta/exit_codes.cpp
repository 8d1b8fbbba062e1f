#include "exit_codes.h"

namespace kestatool {

int ExitCodeFor(int32_t driverResult) {
  if (driverResult == 0) return kExitOk;
  return driverResult == 1 ? kExitRefused : kExitCommFailed;
}

std::string ResultWords(int32_t driverResult) {
  const std::string code = " (" + std::to_string(driverResult) + ")";
  if (driverResult == 1) return "refused" + code;
  return "communication failed" + code;
}

std::string FailureLine(const std::string& action, const std::string& address,
                        const Outcome& outcome, bool logCaptured) {
  std::string line = "kesta: " + action + " '" + address + "': " + ResultWords(outcome.result);
  if (!outcome.reason.empty()) {
    line += ": " + outcome.reason;
  } else if (!logCaptured) {
    line += " (see the driver's log lines above)";
  } else {
    line += ", the driver gave no reason";
  }
  return line;
}

}  // namespace kestatool
