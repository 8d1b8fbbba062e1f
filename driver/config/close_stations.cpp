// Closing connections: WarmStart for one station, EndVpi for all of them.
#include <cstring>

#include "config/work_area.h"
#include "h1/card_library.h"
#include "host/handlers.h"
#include "host/log.h"
#include "platform/platform.h"

namespace kesta {
namespace {

constexpr char kMsgWarmStartExited[] = "KESTA> WarmStart() VPI%u plc%02Xh exited rc-%d";
constexpr char kMsgWarmStartBadStation[] = "KESTA> WarmStart() VPI%u plc%02Xh invalid station number";
constexpr char kMsgEndVpiExited[] = "KESTA> EndVpi() exited, %d";

// Gives the card library time to release the station's connections.
constexpr uint32_t kWarmStartWaitMs = 100;

// The library's 16-bit status of closing `conn`; 0 when nothing is open.
// Without a bound library no connection can be open in it.
uint16_t CloseConnection(int16_t conn) {
  if (conn == kNoConnection || g_h1.H1StoppeVerbindung == nullptr) return 0;
  return g_h1.H1StoppeVerbindung(static_cast<uint16_t>(conn));
}

uint16_t CloseBoth(uint8_t* work, uint32_t station) {
  uint16_t result = CloseConnection(StationConn(work, station, Direction::Read));
  result |= CloseConnection(StationConn(work, station, Direction::Write));
  return result;
}

}  // namespace

int32_t WarmStart(VpiCallBlock* call) {
  uint32_t station = 0;
  std::memcpy(&station, call->params, sizeof station);
  if (station >= kStationCount) {
    Log(kLevelInfo, kMsgWarmStartBadStation, static_cast<unsigned>(call->vpi),
        static_cast<unsigned>(station));
    return 1;
  }
  uint8_t* work = call->work;
  const uint16_t result = CloseBoth(work, station);
  // Marked closed whatever the closes answered.
  SetStationConn(work, station, Direction::Read, kNoConnection);
  SetStationConn(work, station, Direction::Write, kNoConnection);
  ClearStationFlagBits(work, station, READ_OPEN | WRITE_OPEN);
  CurrentPlatform().sleepMs(kWarmStartWaitMs);
  Log(kLevelInfo, kMsgWarmStartExited, static_cast<unsigned>(call->vpi),
      static_cast<unsigned>(station), static_cast<int>(result));
  return result;
}

int32_t EndVpi(VpiCallBlock* call) {
  uint8_t* work = call->work;
  uint16_t result = 0;
  // Numbers and open bits stay: the next ColdStart resets them, and a
  // WarmStart before that closes the same numbers again.
  for (uint32_t station = 0; station < kStationCount; ++station) {
    result |= CloseBoth(work, station);
  }
  SetActive(work, false);
  Log(kLevelInfo, kMsgEndVpiExited, static_cast<int>(result));
  return result;
}

}  // namespace kesta
