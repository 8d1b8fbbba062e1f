// The one way the driver writes a log line: the host's err(level, format, ...).
// The format and its values reach err unchanged; the result of err is ignored.
#pragma once

#include <cstdint>

namespace kesta {

inline constexpr int32_t kLevelInfo = 8;    // information, errors of single requests
inline constexpr int32_t kLevelError = 32;  // start-up, init file, receiving answers

using ErrFunction = int (*)(int level, const char* format, ...);

// The host's err, found once on first use (see log.cpp); null when the host
// supplied no logging library, in which case lines are dropped.
ErrFunction HostErr();

// Tests install their own err; null returns to the host's.
void SetErrFunctionForTest(ErrFunction fn);

template <typename... Args>
inline void Log(int32_t level, const char* format, Args... args) {
  if (ErrFunction fn = HostErr()) {
    (void)fn(static_cast<int>(level), format, args...);
  }
}

}  // namespace kesta
