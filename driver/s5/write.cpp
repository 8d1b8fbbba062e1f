#include "address/data_kind.h"
#include "config/work_area.h"
#include "h1/blocks.h"
#include "h1/card_library.h"
#include "h1/connection.h"
#include "host/handlers.h"
#include "host/log.h"
#include "platform/platform.h"
#include "s5/s5_frame.h"
#include "s5/transfer.h"
#include "s5/write_frame.h"

namespace kesta {
namespace {

constexpr char kMsgOpenFailed[] = "KESTA> DoWrite() error opening W channel vpi %u plc %02Xh";
constexpr char kMsgInputs[] = "KESTA> DoWrite() writing to inputs not allowed!";
constexpr char kMsgSendFailed[] =
    "KESTA> DoWrite() error sending data t=%5.2fs rc%d fhlr%d vpi%u plc%02Xh";
constexpr char kMsgReceiveFailed[] =
    "KESTA> DoWrite() error reading answer t1=%5.2fs t2=%5.2fs rc%d fhlr%d vpi%u plc%02Xh";
constexpr char kMsgS5Error[] = "KESTA> DoWrite() unable to write data S5err%d VPI%u '%s'";
constexpr char kMsgBadStation[] = "KESTA> DoWrite() '%s' invalid station %d";

bool Failed(const H1Outcome& out) { return out.rc != 0 || out.status != kH1StatusDone; }

// Sends the frame in pieces of at most 256 bytes, bit 15 on every piece but
// the last. Every piece goes out whatever became of the one before, so that
// the controller sees the whole message. `firstFailure` is the outcome of the
// first piece that failed (rc and status 0 when none did); true when the last
// piece failed.
bool SendFrame(uint8_t* block, uint16_t conn, const uint8_t* frame, uint16_t frameLength,
               H1Outcome* firstFailure) {
  *firstFailure = H1Outcome{0, kH1StatusDone};
  bool anyFailed = false;
  H1Outcome last{0, kH1StatusDone};
  for (size_t offset = 0; offset < frameLength;) {
    const size_t remaining = frameLength - offset;
    const size_t piece = remaining < kMaxSendPiece ? remaining : kMaxSendPiece;
    BuildSendBlock(block, conn, piece < remaining, frame + offset, static_cast<uint16_t>(piece));
    last = SendWithBusyRepeat(block);
    if (Failed(last) && !anyFailed) {
      anyFailed = true;
      *firstFailure = last;
    }
    offset += piece;
  }
  return Failed(last);
}

int32_t DoWrite(VpiCallBlock* call, uint32_t function) {
  uint8_t* work = call->work;
  IoRecord* io = static_cast<IoRecord*>(call->params);

  if (!IsActive(work)) return kResultRefused;
  if (io->kind == kKindStatus) return kResultRefused;
  if (!IsStationNumber(io->station)) {
    Log(kLevelInfo, kMsgBadStation, GateText(io), static_cast<int>(io->station));
    return kResultRefused;
  }
  const uint32_t station = static_cast<uint32_t>(io->station);
  if (StationConn(work, station, Direction::Write) == kNoConnection &&
      OpenChannel(work, station, Direction::Write) != 0) {
    Log(kLevelInfo, kMsgOpenFailed, call->vpi, station);
    return kResultCommFailed;
  }
  if (io->kind == kKindInput) {
    Log(kLevelInfo, kMsgInputs);
    return kResultRefused;
  }

  uint8_t* frame = DataBuffer(work);
  uint16_t frameLength = 0;
  const int32_t built = BuildWriteFrame(io, call, function, &frameLength, frame);
  if (built != 0) return built;

  const uint16_t conn = static_cast<uint16_t>(StationConn(work, station, Direction::Write));
  uint8_t* block = TransferArea(work);
  const Platform& platform = CurrentPlatform();
  const uint32_t t0 = platform.clockMs();
  H1Outcome firstFailure{0, 0};
  const bool lastFailed = SendFrame(block, conn, frame, frameLength, &firstFailure);
  const uint32_t t1 = platform.clockMs();
  if (Failed(firstFailure)) {
    // After a lost middle piece the acknowledgement is still read, to keep
    // the connection in step; the write did not arrive whole all the same.
    // A failed last piece brings no acknowledgement, so none is read then.
    if (!lastFailed) {
      BuildReceiveBlock(block, conn);
      (void)ReceiveWithBusyRepeat(block);
    }
    Log(kLevelInfo, kMsgSendFailed, SecondsBetween(t0, t1), static_cast<int>(firstFailure.rc),
        static_cast<int>(firstFailure.status), call->vpi, station);
    ClearStationFlagBits(work, station, LAST_WRITE_OK);
    return kResultCommFailed;
  }

  BuildReceiveBlock(block, conn);
  const H1Outcome ack = ReceiveWithBusyRepeat(block);
  if (Failed(ack)) {
    const uint32_t t2 = platform.clockMs();
    Log(kLevelError, kMsgReceiveFailed, SecondsBetween(t0, t2), SecondsBetween(t1, t2),
        static_cast<int>(ack.rc), static_cast<int>(ack.status), call->vpi, station);
    ClearStationFlagBits(work, station, LAST_WRITE_OK);
    return kResultCommFailed;
  }
  SetStationFlagBits(work, station, LAST_WRITE_OK);
  const uint8_t s5Error = ReceiveBlockData(block)[kS5AnswerError];
  if (s5Error != 0) {
    Log(kLevelInfo, kMsgS5Error, static_cast<int>(s5Error), call->vpi, GateText(io));
    return kResultRefused;
  }
  return kResultOk;
}

}  // namespace

int32_t SingleWrite(VpiCallBlock* call) { return DoWrite(call, kFunctionSingleWrite); }
int32_t BlockWrite(VpiCallBlock* call) { return DoWrite(call, kFunctionBlockWrite); }

}  // namespace kesta
