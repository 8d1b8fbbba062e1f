// Programs started by tests: in the background with their stdout and stderr
// kept in memory, written to files or left to the test's own; signalled and
// stopped by their pid, every wait bounded. And s5sim on 127.0.0.1 and a
// port the system chooses (port 0).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace posix_test {

// Where a child's stdout or stderr goes.
struct Stream {
  enum Kind { kInherit, kMemory, kFile };
  Kind kind = kInherit;
  std::string path;  // kFile
  static Stream Inherit() { return {}; }
  // Read through a pipe by a thread of its own, so a talkative child never
  // blocks on a full pipe.
  static Stream Memory() { return {kMemory, {}}; }
  static Stream File(std::string path) { return {kFile, std::move(path)}; }
};

class ChildProcess {
 public:
  ChildProcess() = default;
  // SIGKILL and reaped, if still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `args` (args[0] the program path). Nothing else of the test's
  // (its sockets above all) lives on in the child.
  bool Start(const std::vector<std::string>& args, Stream out, Stream err);
  void Signal(int signal);
  // Waits up to `timeoutMs` for the end by itself; false while it runs.
  // `*code` is the exit status or -signal.
  bool WaitExit(int timeoutMs, int* code);
  // Waits up to `timeoutMs`, then SIGKILL; the exit status or -signal, -1
  // when nothing was running.
  int Wait(int timeoutMs);
  // `signal`, then Wait(timeoutMs); the last exit status when it had ended.
  int Stop(int signal, int timeoutMs = 5000);
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // What it wrote so far (empty for an inherited stream).
  std::string Out();
  std::string Err();
  // Waits up to `timeoutMs` until its stdout holds `text`.
  bool WaitForOutput(const std::string& text, int timeoutMs);

 private:
  struct Capture {
    Stream stream;
    int readFd = -1;
    std::thread reader;
    std::atomic<bool> ended{false};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::string text;
  };
  static bool OpenPipe(Capture* c, int* childFd);
  static void StartReader(Capture* c);
  static void StopReader(Capture* c, int64_t deadlineMs);
  static std::string Text(Capture* c);
  void Reap(int rawStatus);

  pid_t pid_ = -1;
  int exitCode_ = -1;
  Capture out_;
  Capture err_;
};

struct RunResult {
  int exitCode = -1;  // -signal when a signal ended it
  std::string out;
  std::string err;
};

// Runs `args` (args[0] the program path) to its end with its output; kills
// it after `timeoutMs`.
RunResult RunProgram(const std::vector<std::string>& args, int timeoutMs = 20000);

// s5sim (S5SIM_PATH of this build) with "--listen 127.0.0.1:0" unless
// `args` has a --listen of its own, stopped by its pid.
class SimProcess {
 public:
  // True once it reported its port (within 5 s).
  bool Start(const std::vector<std::string>& args, Stream out = Stream::Memory(),
             Stream err = Stream::Inherit());
  // SIGTERM (or SIGKILL) and the end (SIGKILL after 5 s); the exit status
  // or -signal.
  int Stop(bool kill = false) { return child_.Stop(kill ? SIGKILL : SIGTERM); }
  // Waits up to `timeoutMs` for it to end by itself.
  bool WaitExit(int timeoutMs, int* status) { return child_.WaitExit(timeoutMs, status); }
  uint16_t port() const { return port_; }
  pid_t pid() const { return child_.pid(); }
  // Everything it printed so far.
  std::string output() { return child_.Out(); }
  bool WaitForOutput(const std::string& text, int timeoutMs = 2000) {
    return child_.WaitForOutput(text, timeoutMs);
  }

 private:
  ChildProcess child_;
  uint16_t port_ = 0;
};

}  // namespace posix_test
