#include "platform/platform.h"

namespace kesta {
namespace {
const Platform* g_testPlatform = nullptr;
}  // namespace

const Platform& CurrentPlatform() {
  return g_testPlatform != nullptr ? *g_testPlatform : SystemPlatform();
}

void SetPlatformForTest(const Platform* platform) { g_testPlatform = platform; }

}  // namespace kesta
