// Starts the s5sim program for a test: on a port of its own choosing (port
// 0), waits for the line that names the port, and stops it by its pid.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts s5sim with `args` and "--listen 127.0.0.1:0" unless `args` has
  // a --listen of its own; true once it reported its port (within 5 s).
  bool Start(const std::vector<std::string>& args);
  // SIGTERM (or SIGKILL) and wait for the end; the exit status or -signal.
  int Stop(bool kill = false);
  // Waits (up to `timeoutMs`) for the program to end by itself.
  bool WaitExit(int timeoutMs, int* status);
  uint16_t port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Everything it printed so far.
  std::string output();
  // Waits (up to `timeoutMs`) until its output holds `text`.
  bool WaitForOutput(const std::string& text, int timeoutMs = 2000);

 private:
  void Reap(int status);
  pid_t pid_ = -1;
  uint16_t port_ = 0;
  int exitStatus_ = 0;
  std::thread reader_;
  std::mutex mutex_;
  std::string output_;
};

// Writes the card library's station map and points H1TCP_CONFIG at it.
void WriteStationMap(const std::string& path, const std::string& lines);

}  // namespace e2e
