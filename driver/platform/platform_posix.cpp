// POSIX implementation. The version query answers the NT family, so the
// driver asks for "H1DLLNT.DLL"; dlopen takes that file name unchanged and
// the ordinary search (LD_LIBRARY_PATH first) finds an ELF object of that name.
#include <dlfcn.h>
#include <errno.h>
#include <time.h>

#include "platform/platform.h"

namespace kesta {
namespace {

uint64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

const uint64_t g_loadedAtMs = MonotonicMs();

bool QueryVersion(PlatformVersion* out) {
  out->major = 0;
  out->minor = 0;
  out->build = 0;
  out->platformId = kPlatformWindowsNt;
  return true;
}

void* LoadLibraryByName(const char* fileName) { return dlopen(fileName, RTLD_NOW | RTLD_LOCAL); }

GenericProc FindEntry(void* library, const char* name) {
  return reinterpret_cast<GenericProc>(dlsym(library, name));
}

void SleepMs(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

uint32_t ClockMs() { return static_cast<uint32_t>(MonotonicMs() - g_loadedAtMs); }

const Platform kPosixPlatform = {&QueryVersion, &LoadLibraryByName, &FindEntry, &SleepMs, &ClockMs};

}  // namespace

const Platform& SystemPlatform() { return kPosixPlatform; }

}  // namespace kesta
