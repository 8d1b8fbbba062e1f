#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace posix_test {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return -1;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Points `fd` of the child at `stream`; only calls that are safe between
// fork and exec.
bool Redirect(int fd, const Stream& stream, int pipeFd) {
  if (stream.kind == Stream::kMemory) return dup2(pipeFd, fd) == fd;
  if (stream.kind == Stream::kFile) {
    const int file = open(stream.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    return file >= 0 && dup2(file, fd) == fd;
  }
  return true;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) Stop(SIGKILL);
  StopReader(&out_, 0);
  StopReader(&err_, 0);
}

bool ChildProcess::OpenPipe(Capture* c, int* childFd) {
  {
    std::lock_guard<std::mutex> lock(c->mutex);
    c->text.clear();
  }
  if (c->stream.kind != Stream::kMemory) return true;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  c->readFd = fds[0];
  *childFd = fds[1];
  return true;
}

void ChildProcess::StartReader(Capture* c) {
  if (c->readFd < 0) return;
  c->ended = false;
  c->stop = false;
  c->reader = std::thread([c] {
    // Polled with a short timeout so a grandchild that keeps the pipe open
    // cannot hold the test forever (see StopReader).
    while (!c->stop) {
      pollfd p{c->readFd, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t n = read(c->readFd, buffer, sizeof buffer);
      if (n <= 0) break;
      std::lock_guard<std::mutex> lock(c->mutex);
      c->text.append(buffer, static_cast<size_t>(n));
    }
    c->ended = true;
  });
}

// Gives the reader until `deadlineMs` to read what is left, then ends it.
void ChildProcess::StopReader(Capture* c, int64_t deadlineMs) {
  if (!c->reader.joinable()) return;
  while (!c->ended && NowMs() < deadlineMs) usleep(1000);
  c->stop = true;
  c->reader.join();
  close(c->readFd);
  c->readFd = -1;
}

bool ChildProcess::Start(const std::vector<std::string>& args, Stream out, Stream err) {
  if (pid_ > 0 || args.empty()) return false;
  StopReader(&out_, 0);
  StopReader(&err_, 0);
  out_.stream = std::move(out);
  err_.stream = std::move(err);
  int outWrite = -1;
  int errWrite = -1;
  if (!OpenPipe(&out_, &outWrite) || !OpenPipe(&err_, &errWrite)) {
    if (outWrite >= 0) close(outWrite);
    if (out_.readFd >= 0) close(out_.readFd);
    out_.readFd = -1;
    return false;
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    if (!Redirect(STDOUT_FILENO, out_.stream, outWrite) || !Redirect(STDERR_FILENO, err_.stream, errWrite)) {
      _exit(127);
    }
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (outWrite >= 0) close(outWrite);
  if (errWrite >= 0) close(errWrite);
  if (pid_ < 0) {
    for (Capture* c : {&out_, &err_}) {
      if (c->readFd >= 0) close(c->readFd);
      c->readFd = -1;
    }
    return false;
  }
  exitCode_ = -1;
  StartReader(&out_);
  StartReader(&err_);
  return true;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

void ChildProcess::Reap(int rawStatus) {
  exitCode_ = DecodeStatus(rawStatus);
  pid_ = -1;
  // What it wrote before its end is still in the pipe; a second for both.
  const int64_t deadline = NowMs() + 1000;
  StopReader(&out_, deadline);
  StopReader(&err_, deadline);
}

bool ChildProcess::WaitExit(int timeoutMs, int* code) {
  const int64_t deadline = NowMs() + timeoutMs;
  while (pid_ > 0) {
    int raw = 0;
    const pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
      Reap(raw);
      break;
    }
    if (r < 0 && errno != EINTR) {
      pid_ = -1;
      exitCode_ = -1;
      break;
    }
    if (NowMs() >= deadline) return false;
    usleep(2000);
  }
  *code = exitCode_;
  return true;
}

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  int code = -1;
  if (WaitExit(timeoutMs, &code)) return code;
  kill(pid_, SIGKILL);
  int raw = 0;
  while (waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
  }
  Reap(raw);
  return exitCode_;
}

int ChildProcess::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return exitCode_;
  kill(pid_, signal);
  return Wait(timeoutMs);
}

std::string ChildProcess::Text(Capture* c) {
  if (c->stream.kind == Stream::kFile) return ReadWholeFile(c->stream.path);
  std::lock_guard<std::mutex> lock(c->mutex);
  return c->text;
}

std::string ChildProcess::Out() { return Text(&out_); }
std::string ChildProcess::Err() { return Text(&err_); }

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    if (Out().find(text) != std::string::npos) return true;
    if (NowMs() >= deadline) return false;
    usleep(2000);
  }
}

RunResult RunProgram(const std::vector<std::string>& args, int timeoutMs) {
  RunResult result;
  ChildProcess child;
  if (!child.Start(args, Stream::Memory(), Stream::Memory())) return result;
  result.exitCode = child.Wait(timeoutMs);
  result.out = child.Out();
  result.err = child.Err();
  return result;
}

bool SimProcess::Start(const std::vector<std::string>& args, Stream out, Stream err) {
  port_ = 0;
  std::vector<std::string> all = {S5SIM_PATH};
  bool listen = false;
  for (const std::string& a : args) listen = listen || a == "--listen";
  if (!listen) all.insert(all.end(), {"--listen", "127.0.0.1:0"});
  all.insert(all.end(), args.begin(), args.end());
  if (!child_.Start(all, std::move(out), std::move(err))) return false;

  // The ready line: "s5sim listening on HOST:PORT".
  const char* tag = "listening on ";
  const int64_t deadline = NowMs() + 5000;
  int code = 0;
  for (;;) {
    // Asked before the output is read, so the line of a program that
    // printed it and ended at once is still seen.
    const bool ended = child_.WaitExit(0, &code);
    const std::string text = child_.Out();
    const size_t at = text.find(tag);
    const size_t eol = at == std::string::npos ? at : text.find('\n', at);
    if (eol != std::string::npos) {
      const size_t colon = text.rfind(':', eol);
      if (colon != std::string::npos && colon > at) {
        port_ = static_cast<uint16_t>(std::atoi(text.c_str() + colon + 1));
      }
      break;
    }
    if (ended || NowMs() >= deadline) break;
    usleep(1000);
  }
  if (port_ == 0) child_.Stop(SIGKILL);
  return port_ != 0;
}

}  // namespace posix_test
