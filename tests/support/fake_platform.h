// The platform layer for tests: a chosen platform id, libraries that "exist"
// only as tables of entry points, and a fake clock whose sleep only advances
// time, so no test waits for real.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kesta::test {

class FakePlatform {
 public:
  FakePlatform();   // installs itself: platform id 2, no libraries, clock at 0
  ~FakePlatform();  // restores the system's platform
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  static FakePlatform& Current();

  // A library of the given file name whose entries are the fake card
  // library's, less those named in `missing`.
  void AddFakeCardLibrary(const std::string& fileName, const std::set<std::string>& missing = {});
  void AddLibrary(const std::string& fileName, std::map<std::string, GenericProc> entries);
  // Takes a library away again (for instance the one DriverHarness adds).
  void RemoveLibrary(const std::string& fileName);

  bool versionQueryFails = false;
  PlatformVersion version{4, 0, 1381, kPlatformWindowsNt};

  std::vector<std::string> loadAttempts;   // file names, in order
  std::vector<std::string> entryLookups;   // entry names, in order
  std::vector<uint32_t> sleeps;            // each sleep in ms
  uint32_t nowMs = 0;                      // the clock; sleeps advance it
  uint32_t clockStepMs = 0;                // added after every clock read

 private:
  friend struct FakePlatformAccess;
  std::map<std::string, std::map<std::string, GenericProc>> libraries_;
  Platform table_{};
};

}  // namespace kesta::test
