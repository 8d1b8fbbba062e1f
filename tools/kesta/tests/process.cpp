#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kestatool::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return -1;
}

// Waits for `pid` up to `timeoutMs`, then kills it.
int WaitPid(pid_t pid, int timeoutMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (true) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return DecodeStatus(status);
    if (done < 0) return -1;
    if (Clock::now() >= until) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return DecodeStatus(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& args, int timeoutMs) {
  RunResult result;
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  pid_t pid = -1;
  std::vector<char*> argv = Argv(args);
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
  }
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0 && Clock::now() < until) {
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  result.exitCode = WaitPid(pid, left > 0 ? static_cast<int>(left) : 0);
  return result;
}

Background::~Background() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
}

bool Background::Start(const std::vector<std::string>& args, const std::string& outPath,
                       const std::string& errPath) {
  outPath_ = outPath;
  errPath_ = errPath;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv = Argv(args);
  const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) pid_ = -1;
  return rc == 0;
}

bool Background::WaitForOutput(const std::string& text, int timeoutMs) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < until) {
    if (Out().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void Background::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

int Background::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const int code = WaitPid(pid_, timeoutMs);
  pid_ = -1;
  return code;
}

std::string Background::Out() const { return ReadFile(outPath_); }
std::string Background::Err() const { return ReadFile(errPath_); }

bool Simulator::Start(const std::string& directory, const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {S5SIM_PATH, "--listen", "127.0.0.1:0", "--image",
                                   directory + "/image.bin"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  if (!process_.Start(args, directory + "/sim.out", directory + "/sim.err")) return false;
  running_ = true;
  const std::string marker = "listening on 127.0.0.1:";
  if (!process_.WaitForOutput(marker, 5000)) return false;
  const std::string out = process_.Out();
  port_ = std::atoi(out.c_str() + out.find(marker) + marker.size());
  return port_ > 0;
}

void Simulator::Stop() {
  if (!running_) return;
  running_ = false;
  process_.Signal(SIGTERM);
  process_.Wait(5000);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace kestatool::test
