// kesta's exit codes, and the one line that reports a failed request.
#pragma once

#include <cstdint>
#include <string>

#include "gate_ops.h"

namespace kestatool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;     // the driver answered 1
inline constexpr int kExitCommFailed = 2;  // the driver answered 2, or could not be loaded
inline constexpr int kExitUsage = 64;      // the command line or a gate list is wrong
inline constexpr int kExitInterrupted = 130;

// The driver's result as an exit code: 1 stays 1, every other failure is 2.
int ExitCodeFor(int32_t driverResult);

// The worse of two exit codes (the codes are ordered by severity).
inline int WorseExit(int a, int b) { return a > b ? a : b; }

// "refused (1)" or "communication failed (2)".
std::string ResultWords(int32_t driverResult);

// "kesta: read '0A05012': communication failed (2): DoRead() error ...".
std::string FailureLine(const std::string& action, const std::string& address,
                        const Outcome& outcome, bool logCaptured);

}  // namespace kestatool
