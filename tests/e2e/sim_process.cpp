#include "sim_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace e2e {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SimProcess::~SimProcess() { Stop(true); }

bool SimProcess::Start(const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return false;
  std::vector<std::string> all = {S5SIM_PATH};
  bool listen = false;
  for (const std::string& a : args) listen = listen || a == "--listen";
  if (!listen) {
    all.push_back("--listen");
    all.push_back("127.0.0.1:0");
  }
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    // Nothing of the test's (its sockets above all) may live on in the child.
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);

  // The ready line first, read here; the rest is drained by a thread so a
  // talkative simulator never blocks on a full pipe.
  std::string first;
  const int64_t deadline = NowMs() + 5000;
  while (first.find('\n') == std::string::npos) {
    pollfd p{out[0], POLLIN, 0};
    const int64_t left = deadline - NowMs();
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char c[256];
    const ssize_t n = read(out[0], c, sizeof c);
    if (n <= 0) break;
    first.append(c, static_cast<size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    output_ = first;
  }
  reader_ = std::thread([this, fd = out[0]] {
    char c[4096];
    ssize_t n;
    while ((n = read(fd, c, sizeof c)) > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      output_.append(c, static_cast<size_t>(n));
    }
    close(fd);
  });
  const char* tag = "listening on ";
  const size_t at = first.find(tag);
  const size_t colon = at == std::string::npos ? at : first.find(':', at + std::strlen(tag));
  if (colon == std::string::npos) {
    Stop(true);
    return false;
  }
  port_ = static_cast<uint16_t>(std::atoi(first.c_str() + colon + 1));
  return port_ != 0;
}

void SimProcess::Reap(int status) {
  exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  pid_ = -1;
  if (reader_.joinable()) reader_.join();
}

int SimProcess::Stop(bool kill) {
  if (pid_ <= 0) return exitStatus_;
  ::kill(pid_, kill ? SIGKILL : SIGTERM);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  Reap(status);
  return exitStatus_;
}

bool SimProcess::WaitExit(int timeoutMs, int* status) {
  const int64_t deadline = NowMs() + timeoutMs;
  while (pid_ > 0) {
    int raw = 0;
    const pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
      Reap(raw);
      break;
    }
    if (NowMs() >= deadline) return false;
    usleep(2000);
  }
  *status = exitStatus_;
  return true;
}

std::string SimProcess::output() {
  std::lock_guard<std::mutex> lock(mutex_);
  return output_;
}

bool SimProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    if (output().find(text) != std::string::npos) return true;
    if (NowMs() >= deadline) return false;
    usleep(1000);
  }
}

void WriteStationMap(const std::string& path, const std::string& lines) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f != nullptr) {
    std::fputs(lines.c_str(), f);
    std::fclose(f);
  }
  setenv("H1TCP_CONFIG", path.c_str(), 1);
}

}  // namespace e2e
