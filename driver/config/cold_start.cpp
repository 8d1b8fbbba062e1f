#include "config/cold_start.h"

#include "config/init_file.h"
#include "config/load_h1_dlls.h"
#include "config/work_area.h"
#include "h1/blocks.h"
#include "h1/card_library.h"
#include "host/handlers.h"
#include "host/log.h"

namespace kesta {
namespace {

// Filled with the build's date and time.
constexpr char kMsgVersion[] = "KESTA> version compiled on %s at time %s";
constexpr char kMsgLoadFailed[] = "KESTA> ColdStart() error loading DLL, driver not started";
constexpr char kMsgDriverMissing[] = "KESTA> ColdStart() H1 protocol driver not installed";
constexpr char kMsgTimeoutFailed[] = "KESTA> ColdStart() error putting VIPA H1 timeout rc=%d";
constexpr char kMsgTimeout[] = "KESTA> Coldstart() timeout: %d";
constexpr char kMsgInstalled[] = "KESTA> ColdStart() QZ VIPA SINEC H1 driver installed";
constexpr char kMsgExited[] = "KESTA> ColdStart() exited, %d";

constexpr uint16_t kMaxTimeoutWord = 0xFFFF;

}  // namespace

int32_t ColdStartTimeoutMs(int32_t timeout) {
  if (timeout <= 0) return kDefaultTimeoutMs;
  const int64_t ms = static_cast<int64_t>(timeout) * 10;
  return ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

int32_t SetTimeout(int32_t timeoutMs) {
  uint8_t block[kDefaultsBlockSize] = {};
  PrepareDefaultsBlock(block);
  if (g_h1.H1HoleStandardwerte(block) != 0) return 1;
  // 95 percent as the library expects it (double precision, truncated);
  // beyond what a 16-bit word holds, the longest timeout it can express.
  const uint32_t ms = static_cast<uint32_t>(timeoutMs);
  const double percent95 = static_cast<double>(ms) * 0.95;
  const uint16_t word =
      percent95 >= kMaxTimeoutWord ? kMaxTimeoutWord : static_cast<uint16_t>(percent95);
  PutDefaultsTimeouts(block, word, ms);
  return g_h1.H1SetzeStandardwerte(block) == 0 ? 0 : 1;
}

int32_t ColdStart(VpiCallBlock* call) {
  Log(kLevelInfo, kMsgVersion, __DATE__, __TIME__);
  if (LoadH1DLLs() != 0) {
    Log(kLevelError, kMsgLoadFailed);
    return 1;  // the work area is left as it was
  }
  uint8_t* work = call->work;
  ResetWorkArea(work);  // forgets, without closing, connections of an earlier start
  ReadInitFile(call);

  const auto* params = static_cast<const ColdStartParams*>(call->params);
  if (params->openDriver == 0) return 0;

  int32_t result = 0;
  if (g_h1.H1DriverOpen() != 0) {
    Log(kLevelError, kMsgDriverMissing);
    result = 1;
  } else {
    const int32_t timeoutMs = ColdStartTimeoutMs(params->timeout);
    SetTimeoutMs(work, timeoutMs);
    // Without our timeouts the card library keeps its own; the VPI still starts.
    const int32_t rc = SetTimeout(timeoutMs);
    if (rc != 0) {
      Log(kLevelError, kMsgTimeoutFailed, static_cast<int>(rc));
    } else {
      Log(kLevelInfo, kMsgTimeout, static_cast<int>(timeoutMs));
    }
    Log(kLevelInfo, kMsgInstalled);
    SetActive(work, true);
  }
  if (result != 0) Log(kLevelInfo, kMsgExited, static_cast<int>(result));
  return result;
}

}  // namespace kesta
