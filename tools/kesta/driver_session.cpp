#include "driver_session.h"

#include <csignal>
#include <cstring>

#include "tamsys.h"

#if defined(_WIN32)
#include <direct.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace kestatool {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void TAMSYS_CALL ReceiveLine(void* context, int level, const char* line) {
  static_cast<DriverLog*>(context)->Add(level, line);
}

#if defined(_WIN32)
void* OpenLibrary(const std::string& path, std::string* error) {
  HMODULE lib = LoadLibraryA(path.c_str());
  if (lib == nullptr) *error = "cannot load " + path;
  return lib;
}
void* FindEntry(void* lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void* FindLoggingEntry(void*) {
  HMODULE tamsys = GetModuleHandleA("TAMSYS.DLL");
  return tamsys == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(tamsys, "TamsysSetSink"));
}
void CloseLibrary(void* lib) { FreeLibrary(static_cast<HMODULE>(lib)); }
bool ChangeDirectory(const std::string& dir) { return _chdir(dir.c_str()) == 0; }

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (g_interrupted) return FALSE;  // the second one ends the program
  g_interrupted = 1;
  return TRUE;
}
#else
void* OpenLibrary(const std::string& path, std::string* error) {
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) *error = "cannot load " + path + ": " + dlerror();
  return lib;
}
void* FindEntry(void* lib, const char* name) { return dlsym(lib, name); }
// The driver's logging library is a dependency of the driver, so a lookup
// through the driver's handle finds the very instance the driver logs to.
void* FindLoggingEntry(void* lib) { return dlsym(lib, "TamsysSetSink"); }
void CloseLibrary(void* lib) { dlclose(lib); }
bool ChangeDirectory(const std::string& dir) { return chdir(dir.c_str()) == 0; }

void OnInterrupt(int signal) {
  if (g_interrupted) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  g_interrupted = 1;
}
#endif

}  // namespace

std::string DefaultDriverPath(const char* argv0) {
#if defined(_WIN32)
  (void)argv0;
  return "KESTA.DLL";
#else
  std::string self;
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) {
    self.assign(buffer, static_cast<size_t>(n));
  } else if (argv0 != nullptr) {
    self = argv0;
  }
  const size_t slash = self.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : self.substr(0, slash);
  return dir + "/../lib/libkesta.so";
#endif
}

DriverSession::~DriverSession() {
  End();
  if (setSink_ != nullptr) reinterpret_cast<TamsysSetSinkFn>(setSink_)(nullptr, nullptr);
  // The driver stays loaded: the card library it loaded is never unloaded
  // either, and unloading under it would gain nothing at exit.
}

bool DriverSession::Load(const SessionOptions& options, std::string* error) {
  options_ = options;
  library_ = OpenLibrary(options.driverPath, error);
  if (library_ == nullptr) return false;
  vpiMain_ = reinterpret_cast<VpiMainFn>(FindEntry(library_, "VpiMain"));
  if (vpiMain_ == nullptr) {
    *error = options.driverPath + " has no VpiMain";
    CloseLibrary(library_);
    library_ = nullptr;
    return false;
  }
  setSink_ = FindLoggingEntry(library_);
  if (setSink_ != nullptr) {
    reinterpret_cast<TamsysSetSinkFn>(setSink_)(&ReceiveLine, log_);
    captures_ = true;
  }

  kesta::VpiCallBlock call{};
  call.function = kGetVpiInfo;
  call.vpi = options_.vpi;
  call.params = &info_;
  log_->Mark();
  const int32_t rc = vpiMain_(&call);
  if (rc != 0 || info_.workAreaSize <= 0) {
    *error = "GetVpiInfo answered " + std::to_string(rc) + " with a work area of " +
             std::to_string(info_.workAreaSize) + " bytes";
    return false;
  }
  work_.assign(static_cast<size_t>(info_.workAreaSize), 0);
  // The driver opens the init file by its bare name, so the VPI's directory
  // must be the current one from here on.
  if (!options_.directory.empty() && !ChangeDirectory(options_.directory)) {
    *error = "cannot enter the directory " + options_.directory;
    return false;
  }
  return true;
}

int32_t DriverSession::Call(uint32_t function, void* params) {
  kesta::VpiCallBlock call{};
  call.work = work_.data();
  call.function = function;
  call.vpi = options_.vpi;
  call.params = params;
  return vpiMain_(&call);
}

int32_t DriverSession::Start() {
  kesta::ColdStartParams params{};
  params.openDriver = options_.openDriver ? 1 : 0;
  // The driver counts in units of 10 ms; round up so a short timeout is not 0.
  params.timeout = options_.timeoutMs <= 0 ? 0 : (options_.timeoutMs + 9) / 10;
  started_ = true;
  return Call(kColdStart, &params);
}

int32_t DriverSession::End() {
  if (!started_) return 0;
  started_ = false;
  return Call(kEndVpi, nullptr);
}

void InstallInterruptHandler() {
  g_interrupted = 0;
#if defined(_WIN32)
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the card library's waits go on undisturbed
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed stdout shows as a failed write instead of ending the program
  // before the VPI is ended.
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace kestatool
