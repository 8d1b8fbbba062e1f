// kesta as the host: loads the driver library by file name, takes its log
// lines from the logging library, owns the VPI's work area, cold-starts the
// VPI and ends it again (also after Ctrl-C).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver_log.h"
#include "host/records.h"

namespace kestatool {

// The driver's function codes.
inline constexpr uint32_t kColdStart = 1;
inline constexpr uint32_t kWarmStart = 2;
inline constexpr uint32_t kSingleAddressParser = 3;
inline constexpr uint32_t kBlockAddressParser = 4;
inline constexpr uint32_t kSingleRead = 5;
inline constexpr uint32_t kBlockRead = 6;
inline constexpr uint32_t kSingleWrite = 7;
inline constexpr uint32_t kBlockWrite = 10;
inline constexpr uint32_t kEndVpi = 11;
inline constexpr uint32_t kGetVpiInfo = 14;

struct SessionOptions {
  std::string driverPath;  // empty: the default beside the program
  std::string directory;   // empty: the current directory holds the init file
  uint32_t vpi = 1;
  int32_t timeoutMs = 0;  // 0: the driver's default
  bool openDriver = true;
};

// libkesta.so in ../lib beside the running program (KESTA.DLL on Windows).
std::string DefaultDriverPath(const char* argv0);

class DriverSession {
 public:
  explicit DriverSession(DriverLog* log) : log_(log) {}
  ~DriverSession();
  DriverSession(const DriverSession&) = delete;
  DriverSession& operator=(const DriverSession&) = delete;

  // Loads the library and sizes the work area with GetVpiInfo; false with a
  // reason when the library or its VpiMain cannot be found.
  bool Load(const SessionOptions& options, std::string* error);

  // Cold start with the options given to Load; the driver's result.
  int32_t Start();
  // EndVpi once, if the VPI was started; the driver's result (0 otherwise).
  int32_t End();

  int32_t Call(uint32_t function, void* params);

  uint8_t* work() { return work_.data(); }
  size_t workSize() const { return work_.size(); }
  uint32_t vpi() const { return options_.vpi; }
  const kesta::VpiInfo& info() const { return info_; }
  DriverLog& log() { return *log_; }
  // False when the logging library offers no sink: the driver's lines then
  // go to stderr directly and kesta cannot quote them.
  bool capturesLog() const { return captures_; }

 private:
  using VpiMainFn = int32_t(KESTA_WINAPI*)(kesta::VpiCallBlock*);

  DriverLog* log_;
  SessionOptions options_;
  void* library_ = nullptr;
  VpiMainFn vpiMain_ = nullptr;
  void* setSink_ = nullptr;
  bool captures_ = false;
  bool started_ = false;
  kesta::VpiInfo info_{};
  std::vector<uint8_t> work_;
};

// Ctrl-C: the first sets the flag (the program finishes cleanly), a second
// one ends the program at once. SIGPIPE is ignored, so a closed stdout is a
// failed write and not the end of the program.
void InstallInterruptHandler();
bool Interrupted();

}  // namespace kestatool
