#include "s5/transfer.h"

#include "h1/blocks.h"
#include "h1/card_library.h"
#include "platform/platform.h"

namespace kesta {
namespace {

// After a ColdStart that found the library without an entry, that entry is
// null for every VPI of the process: it counts as a refused call, status 0.
constexpr H1Outcome kNoEntry = {0xFFFF, 0};

}  // namespace

H1Outcome SendWithBusyRepeat(uint8_t* block) {
  if (g_h1.H1SendeDaten == nullptr) return kNoEntry;
  H1Outcome out{g_h1.H1SendeDaten(block), 0};
  out.status = SendBlockStatus(block);
  if (out.rc == 0 && out.status == kH1StatusBusy) {
    CurrentPlatform().sleepMs(kBusyWaitMs);
    out.rc = g_h1.H1SendeDaten(block);
    out.status = SendBlockStatus(block);
  }
  return out;
}

H1Outcome ReceiveWithBusyRepeat(uint8_t* block) {
  if (g_h1.H1LeseDaten == nullptr) return kNoEntry;
  H1Outcome out{g_h1.H1LeseDaten(block), 0};
  out.status = ReceiveBlockStatus(block);
  if (out.rc == 0 && out.status == kH1StatusBusy) {
    CurrentPlatform().sleepMs(kBusyWaitMs);
    out.rc = g_h1.H1LeseDaten(block);
    out.status = ReceiveBlockStatus(block);
  }
  return out;
}

}  // namespace kesta
