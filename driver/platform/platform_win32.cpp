// Win32 implementation: the version query picks the card library (platform
// id 1 the Windows 95 family, 2 the NT family), LoadLibraryA and
// GetProcAddress bind it, Sleep waits, and the performance counter gives the
// milliseconds since the driver was loaded.
#include <windows.h>

#include "platform/platform.h"

namespace kesta {
namespace {

// The version record the query fills: five 32-bit fields and 128 characters.
constexpr DWORD kVersionRecordSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kVersionRecordSize);

// The tick count would step in 10-16 ms, too coarse for the hundredths of a
// second the transactions log, so the clock counts the performance counter.
int64_t CounterNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t CounterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

// Read when the DLL is loaded.
const int64_t g_loadedAt = CounterNow();
const int64_t g_frequency = CounterFrequency();

bool QueryVersion(PlatformVersion* out) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = kVersionRecordSize;
  if (!GetVersionExA(&info)) return false;
  out->major = info.dwMajorVersion;
  out->minor = info.dwMinorVersion;
  out->build = info.dwBuildNumber;
  out->platformId = info.dwPlatformId;
  return true;
}

void* LoadLibraryByName(const char* fileName) { return LoadLibraryA(fileName); }

GenericProc FindEntry(void* library, const char* name) {
  const FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
  // A cast to void (*)(void) is the one GCC accepts between unrelated
  // function types without -Wcast-function-type; callers cast it back to the
  // entry's real type before calling.
  return reinterpret_cast<GenericProc>(entry);
}

void SleepMs(uint32_t ms) { Sleep(ms); }

// Split into whole seconds and the rest so the product never overflows.
uint32_t ClockMs() {
  const int64_t ticks = CounterNow() - g_loadedAt;
  const int64_t ms = ticks / g_frequency * 1000 + ticks % g_frequency * 1000 / g_frequency;
  return static_cast<uint32_t>(ms);
}

const Platform kWin32Platform = {&QueryVersion, &LoadLibraryByName, &FindEntry, &SleepMs, &ClockMs};

}  // namespace

const Platform& SystemPlatform() { return kWin32Platform; }

}  // namespace kesta
