#include "fake_platform.h"

#include "fake_card.h"

namespace kesta::test {

namespace {
FakePlatform* g_current = nullptr;
}  // namespace

struct FakePlatformAccess {
  static bool QueryVersion(PlatformVersion* out) {
    if (g_current->versionQueryFails) return false;
    *out = g_current->version;
    return true;
  }
  static void* Load(const char* fileName) {
    g_current->loadAttempts.push_back(fileName);
    auto it = g_current->libraries_.find(fileName);
    return it == g_current->libraries_.end() ? nullptr : &it->second;
  }
  static GenericProc Find(void* library, const char* name) {
    g_current->entryLookups.push_back(name);
    auto* entries = static_cast<std::map<std::string, GenericProc>*>(library);
    auto it = entries->find(name);
    return it == entries->end() ? nullptr : it->second;
  }
  static void Sleep(uint32_t ms) {
    g_current->sleeps.push_back(ms);
    g_current->nowMs += ms;
  }
  static uint32_t Clock() {
    const uint32_t now = g_current->nowMs;
    g_current->nowMs += g_current->clockStepMs;
    return now;
  }
};

FakePlatform::FakePlatform() {
  table_ = {&FakePlatformAccess::QueryVersion, &FakePlatformAccess::Load,
            &FakePlatformAccess::Find, &FakePlatformAccess::Sleep, &FakePlatformAccess::Clock};
  g_current = this;
  SetPlatformForTest(&table_);
}

FakePlatform::~FakePlatform() {
  SetPlatformForTest(nullptr);
  g_current = nullptr;
}

FakePlatform& FakePlatform::Current() { return *g_current; }

void FakePlatform::AddLibrary(const std::string& fileName,
                              std::map<std::string, GenericProc> entries) {
  libraries_[fileName] = std::move(entries);
}

void FakePlatform::RemoveLibrary(const std::string& fileName) { libraries_.erase(fileName); }

void FakePlatform::AddFakeCardLibrary(const std::string& fileName,
                                      const std::set<std::string>& missing) {
  std::map<std::string, GenericProc> entries = FakeCardEntries();
  for (const std::string& name : missing) entries.erase(name);
  AddLibrary(fileName, std::move(entries));
}

}  // namespace kesta::test
