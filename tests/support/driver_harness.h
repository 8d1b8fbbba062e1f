// What a driver test needs around VpiMain: the fake platform with the fake
// card library installed as "H1DLLNT.DLL", a capturing err, and a work area
// with guard bytes on both sides that the driver must never touch.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "config/work_area.h"
#include "fake_card.h"
#include "fake_platform.h"
#include "host/records.h"
#include "log_capture.h"

namespace kesta::test {

class DriverHarness {
 public:
  static constexpr size_t kGuard = 64;
  static constexpr uint8_t kGuardByte = 0xEE;

  explicit DriverHarness(uint32_t vpi = 1) : vpi_(vpi), area_(kWorkAreaSize + 2 * kGuard, kGuardByte) {
    platform.AddFakeCardLibrary("H1DLLNT.DLL");
  }

  uint8_t* work() { return area_.data() + kGuard; }
  uint32_t vpi() const { return vpi_; }

  int32_t Call(uint32_t function, void* params) {
    VpiCallBlock call{};
    call.work = work();
    call.function = function;
    call.vpi = vpi_;
    call.params = params;
    return VpiMain(&call);
  }

  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (area_[i] != kGuardByte || area_[kGuard + kWorkAreaSize + i] != kGuardByte) return false;
    }
    return true;
  }

  FakePlatform platform;
  FakeCard card;
  LogCapture log;

 private:
  uint32_t vpi_;
  std::vector<uint8_t> area_;
};

}  // namespace kesta::test
