#include "h1/connection.h"

#include "h1/blocks.h"
#include "h1/card_library.h"
#include "host/log.h"
#include "platform/platform.h"

namespace kesta {
namespace {

constexpr char kMsgConnectRefused[] = "KESTA> OpenChannel() H1StarteVerbindungKarte iRc= %d";
constexpr char kMsgAllConnectionsUsed[] =
    "KESTA> OpenChannel() all connections used, increase H1 connections";

}  // namespace

int32_t OpenChannel(uint8_t* work, uint32_t station, Direction dir) {
  if (station >= kStationCount) return 1;
  if ((StationFlags(work, station) & STATION_DEFINED) == 0) return 1;
  if (g_h1.H1StarteVerbindungKarte == nullptr) return 1;  // no card library bound

  uint8_t* block = TransferArea(work);
  const uint8_t* ownTsap = dir == Direction::Read ? ReadTsap(work) : WriteTsap(work);
  BuildConnectBlock(block, StationMac(work, station), ownTsap, StationTsap(work, station),
                    CardNumber(work));
  const uint16_t rc = g_h1.H1StarteVerbindungKarte(block);
  if (rc != 0) {
    Log(kLevelInfo, kMsgConnectRefused, static_cast<int>(rc));
    return 1;
  }
  const uint16_t status = ConnectBlockStatus(block);
  if (status == kH1StatusAllConnectionsUsed) {
    Log(kLevelInfo, kMsgAllConnectionsUsed);
    return 1;
  }
  if (status != kH1StatusDone && status != kH1StatusBusy) return 1;

  SetStationConn(work, station, dir, ConnectBlockConnection(block));
  SetStationFlagBits(work, station, dir == Direction::Read ? READ_OPEN : WRITE_OPEN);
  // A busy connect is taken as done once the card had a moment.
  if (status == kH1StatusBusy) CurrentPlatform().sleepMs(kBusyWaitMs);
  return 0;
}

}  // namespace kesta
