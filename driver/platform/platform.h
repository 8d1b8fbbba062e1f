// The driver's one seam to the operating system: version query, library
// loading, entry lookup, sleeping and a millisecond clock. The POSIX and
// Win32 builds each supply one implementation; tests install their own.
#pragma once

#include <cstdint>

namespace kesta {

// Windows platform ids as the version query reports them.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows95 = 1;
inline constexpr uint32_t kPlatformWindowsNt = 2;

struct PlatformVersion {
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  uint32_t platformId;
};

using GenericProc = void (*)();

struct Platform {
  bool (*queryVersion)(PlatformVersion* out);
  void* (*loadLibrary)(const char* fileName);  // null when it cannot be loaded
  GenericProc (*findEntry)(void* library, const char* name);  // null when missing
  void (*sleepMs)(uint32_t ms);
  uint32_t (*clockMs)();  // milliseconds since the driver was loaded
};

// The operating system's implementation of this build.
const Platform& SystemPlatform();

// The implementation in use: the system's unless a test installed another.
const Platform& CurrentPlatform();
void SetPlatformForTest(const Platform* platform);  // null restores the system's

}  // namespace kesta
