// Running programs for kesta's tests: a program to its end with its output
// and exit code, or the simulator in the background on a port of its own
// choosing (port 0), stopped by its pid.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestatool::test {

struct RunResult {
  int exitCode = -1;  // -signal when a signal ended it
  std::string out;
  std::string err;
};

// Runs `args` (args[0] the program path) and waits for its end; kills it
// after `timeoutMs`.
RunResult RunProgram(const std::vector<std::string>& args, int timeoutMs = 20000);

// A program running in the background with its stdout and stderr read into
// files; Interrupt/Stop signal it by pid.
class Background {
 public:
  Background() = default;
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  bool Start(const std::vector<std::string>& args, const std::string& outPath,
             const std::string& errPath);
  // Waits until the stdout file holds `text` (up to `timeoutMs`).
  bool WaitForOutput(const std::string& text, int timeoutMs);
  void Signal(int signal);
  // Waits for the end (SIGKILL after `timeoutMs`); the exit code or -signal.
  int Wait(int timeoutMs);
  std::string Out() const;
  std::string Err() const;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string outPath_;
  std::string errPath_;
};

// s5sim on 127.0.0.1 and a port the system chooses.
class Simulator {
 public:
  bool Start(const std::string& directory, const std::vector<std::string>& extraArgs = {});
  int port() const { return port_; }
  void Stop();
  ~Simulator() { Stop(); }

 private:
  Background process_;
  int port_ = 0;
  bool running_ = false;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace kestatool::test
