#include "driver_host.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "config/work_area.h"
#include "tamsys.h"

namespace e2e {

namespace {

constexpr uint32_t kColdStart = 1;
constexpr uint32_t kWarmStart = 2;
constexpr uint32_t kSingleParse = 3;
constexpr uint32_t kBlockParse = 4;
constexpr uint32_t kSingleRead = 5;
constexpr uint32_t kBlockRead = 6;
constexpr uint32_t kSingleWrite = 7;
constexpr uint32_t kBlockWrite = 10;
constexpr uint32_t kEndVpi = 11;

void WriteFile(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

}  // namespace

DriverHost::DriverHost() : work_(kesta::kWorkAreaSize, 0) {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr) oldDir_ = cwd;
  std::string pattern = "/tmp/kesta_e2e_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) return;
  dir_ = pattern;
  // The card library reads H1TCP.CFG from the current directory.
  unsetenv("H1TCP_CONFIG");

  void* tamsys = dlopen(TAMSYS_PATH, RTLD_NOW);
  void* kesta = dlopen(KESTA_PATH, RTLD_NOW);
  if (tamsys == nullptr || kesta == nullptr) return;
  auto setSink = reinterpret_cast<TamsysSetSinkFn>(dlsym(tamsys, "TamsysSetSink"));
  if (setSink != nullptr) setSink(&DriverHost::Sink, this);
  vpiMain_ = reinterpret_cast<int32_t(KESTA_WINAPI*)(kesta::VpiCallBlock*)>(dlsym(kesta, "VpiMain"));
}

DriverHost::~DriverHost() {
  void* tamsys = dlopen(TAMSYS_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (tamsys != nullptr) {
    auto setSink = reinterpret_cast<TamsysSetSinkFn>(dlsym(tamsys, "TamsysSetSink"));
    if (setSink != nullptr) setSink(nullptr, nullptr);
  }
  if (!dir_.empty()) {
    for (const char* name : {"KESTA01.INT", "H1TCP.CFG", "image.bin"}) {
      unlink((dir_ + "/" + name).c_str());
    }
    if (!oldDir_.empty() && chdir(oldDir_.c_str()) == 0) rmdir(dir_.c_str());
  }
}

void DriverHost::Sink(void* context, int level, const char* line) {
  auto* self = static_cast<DriverHost*>(context);
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->lines_.push_back("[" + std::to_string(level) + "] " + line);
}

void DriverHost::WriteInitFile(const std::string& text) { WriteFile(dir_ + "/KESTA01.INT", text); }

void DriverHost::MapStation(uint16_t port) {
  WriteFile(dir_ + "/H1TCP.CFG", "0 080006010203 = 127.0.0.1:" + std::to_string(port) + "\n");
}

int32_t DriverHost::Call(uint32_t function, void* params) {
  kesta::VpiCallBlock call{};
  call.work = work_.data();
  call.function = function;
  call.vpi = 1;
  call.params = params;
  return vpiMain_(&call);
}

int32_t DriverHost::ColdStart(int32_t timeout10ms) {
  kesta::ColdStartParams params{};
  params.openDriver = 1;
  params.timeout = timeout10ms;
  return Call(kColdStart, &params);
}

int32_t DriverHost::WarmStart(int32_t station) { return Call(kWarmStart, &station); }
int32_t DriverHost::EndVpi() { return Call(kEndVpi, nullptr); }

int32_t DriverHost::Parse(const Gate& gate, bool block, kesta::IoRecord* io) {
  kesta::ParseRecord parse{};
  parse.address = gate.address.c_str();
  parse.gateType = gate.gateType;
  if (const int32_t rc = Call(block ? kBlockParse : kSingleParse, &parse); rc != 0) return rc;
  *io = kesta::IoRecord{};
  io->address = gate.address.c_str();
  io->station = parse.station;
  io->kind = parse.kind;
  io->s5Address = parse.s5Address;
  io->bit = parse.bit;
  io->width = parse.width;
  io->gateType = gate.gateType;
  io->count = gate.count;
  return 0;
}

int32_t DriverHost::Read(const Gate& gate, std::vector<uint8_t>* buffer, bool block) {
  kesta::IoRecord io;
  if (const int32_t rc = Parse(gate, block, &io); rc != 0) return 100 + rc;
  io.data = buffer->data();
  return Call(block ? kBlockRead : kSingleRead, &io);
}

int32_t DriverHost::Write(const Gate& gate, const std::vector<uint8_t>& buffer, bool block) {
  kesta::IoRecord io;
  if (const int32_t rc = Parse(gate, block, &io); rc != 0) return 100 + rc;
  std::vector<uint8_t> copy = buffer;
  io.data = copy.data();
  return Call(block ? kBlockWrite : kSingleWrite, &io);
}

std::vector<std::string> DriverHost::lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

bool DriverHost::Logged(const std::string& part) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& l : lines_) {
    if (l.find(part) != std::string::npos) return true;
  }
  return false;
}

void DriverHost::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

}  // namespace e2e
