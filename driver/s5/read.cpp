#include "s5/read.h"

#include <cstring>

#include "address/data_kind.h"
#include "common/bytes.h"
#include "config/work_area.h"
#include "h1/blocks.h"
#include "h1/card_library.h"
#include "h1/connection.h"
#include "host/handlers.h"
#include "host/log.h"
#include "platform/platform.h"
#include "s5/s5_frame.h"
#include "s5/transfer.h"

namespace kesta {
namespace {

constexpr char kMsgOpenFailed[] = "KESTA> DoRead() error opening R channel vpi%u plc%02Xh";
constexpr char kMsgSendFailed[] =
    "KESTA> DoRead() error sending data t=%5.2fs rc%d fhlr%d vpi%u plc%02Xh";
constexpr char kMsgReceiveFailed[] =
    "KESTA> DoRead() error reading answer t1=%5.2fs t2=%5.2fs rc%d fhlr%d vpi%u plc%02Xh";
constexpr char kMsgOverflow[] = "KESTA> DoRead() '%s' databuf overflow %d+%d > %d";
constexpr char kMsgS5Error[] = "KESTA> DoRead() unable to read requested data S5err%d VPI%u '%s'";
constexpr char kMsgShortAnswer[] = "KESTA> DoRead() '%s' answer of %d bytes shorter than its header";
constexpr char kMsgBadCount[] = "KESTA> DoRead() '%s' block count %d out of range";
constexpr char kMsgBadStation[] = "KESTA> DoRead() '%s' invalid station %d";

// Offset of a single gate's 16-bit value in the host's buffer.
constexpr size_t kStatusValueOffset = 2;
// The answer data that fits behind the answer header in the data buffer.
constexpr uint64_t kMaxAnswerData = kDataBufferSize - kS5HeaderSize;  // 4144

bool MorePiecesFollow(const H1Outcome& out) {
  return out.rc == 0 && out.status == kH1StatusMoreData;
}

// After an overflow or an oversized piece the rest of the answer is fetched
// and dropped, so that the next read on the connection does not take it for
// its own answer.
void DiscardRestOfAnswer(uint8_t* block) {
  H1Outcome out{0, kH1StatusMoreData};
  while (MorePiecesFollow(out)) out = ReceiveWithBusyRepeat(block);
}

// Collects the pieces of one answer in the data buffer. 0 when it arrived
// whole, 1 after an overflow, 2 when a receive failed (LAST_READ_OK cleared).
int32_t ReceiveAnswer(VpiCallBlock* call, uint32_t station, uint16_t conn, uint32_t t0,
                      uint32_t t1, size_t* total) {
  uint8_t* work = call->work;
  const IoRecord* io = static_cast<const IoRecord*>(call->params);
  const Platform& platform = CurrentPlatform();
  uint8_t* answer = DataBuffer(work);
  uint8_t* block = TransferArea(work);
  BuildReceiveBlock(block, conn);
  for (;;) {
    const H1Outcome got = ReceiveWithBusyRepeat(block);
    const size_t received = ReceiveBlockReceived(block);
    const bool failed = got.rc != 0 || (got.status != kH1StatusDone && !MorePiecesFollow(got));
    // A piece larger than the transfer area holds after its data offset
    // cannot have been delivered whole: a failed receive, nothing copied.
    const bool oversized = received > kMaxReceivePiece;
    if (failed || oversized) {
      const uint32_t now = platform.clockMs();
      Log(kLevelError, kMsgReceiveFailed, SecondsBetween(t0, now), SecondsBetween(t1, now),
          static_cast<int>(got.rc), static_cast<int>(got.status), call->vpi, station);
    }
    if (oversized) {
      // The answer goes on all the same: drop the rest of it, or the next
      // read on the connection would take it for its own answer.
      if (MorePiecesFollow(got)) DiscardRestOfAnswer(block);
      ClearStationFlagBits(work, station, LAST_READ_OK);
      return kResultCommFailed;
    }
    if (received > kDataBufferSize - *total) {
      Log(kLevelInfo, kMsgOverflow, GateText(io), static_cast<int>(*total),
          static_cast<int>(received), static_cast<int>(kDataBufferSize));
      if (MorePiecesFollow(got)) DiscardRestOfAnswer(block);
      return kResultRefused;
    }
    std::memcpy(answer + *total, ReceiveBlockData(block), received);
    *total += received;
    if (MorePiecesFollow(got)) continue;
    if (failed) {
      ClearStationFlagBits(work, station, LAST_READ_OK);
      return kResultCommFailed;
    }
    return kResultOk;
  }
}

}  // namespace

int32_t DoRead(VpiCallBlock* call, ReadScope scope) {
  uint8_t* work = call->work;
  IoRecord* io = static_cast<IoRecord*>(call->params);

  // Station status: the station's flag byte, no communication at all.
  if (io->kind == kKindStatus) {
    if (!IsStationNumber(io->s5Address)) {
      Log(kLevelInfo, kMsgBadStation, GateText(io), static_cast<int>(io->s5Address));
      return kResultRefused;
    }
    PutLe16(io->data + kStatusValueOffset,
            StationFlags(work, static_cast<uint32_t>(io->s5Address)));
    return kResultOk;
  }
  if (!IsActive(work)) return kResultRefused;
  if (!IsStationNumber(io->station)) {
    Log(kLevelInfo, kMsgBadStation, GateText(io), static_cast<int>(io->station));
    return kResultRefused;
  }
  const uint32_t station = static_cast<uint32_t>(io->station);

  if (StationConn(work, station, Direction::Read) == kNoConnection &&
      OpenChannel(work, station, Direction::Read) != 0) {
    Log(kLevelInfo, kMsgOpenFailed, call->vpi, station);
    return kResultCommFailed;
  }
  const uint16_t conn = static_cast<uint16_t>(StationConn(work, station, Direction::Read));

  if (scope == ReadScope::Single) io->count = 1;
  S5RequestFields fields;
  if (!S5FieldsFor(io->kind, io->s5Address, static_cast<uint16_t>(io->count), &fields)) {
    return kResultRefused;
  }
  // A block whose answer cannot fit the data buffer would also wrap the
  // 16-bit length of its request.
  if (io->count < 0 ||
      S5CoveredBytes(io->kind, io->s5Address, static_cast<uint32_t>(io->count)) > kMaxAnswerData) {
    Log(kLevelInfo, kMsgBadCount, GateText(io), static_cast<int>(io->count));
    return kResultRefused;
  }
  uint8_t request[kS5HeaderSize];
  PutS5Header(request, kS5OpFetch, fields);
  uint8_t* block = TransferArea(work);
  BuildSendBlock(block, conn, false, request, kS5HeaderSize);

  const Platform& platform = CurrentPlatform();
  const uint32_t t0 = platform.clockMs();
  const H1Outcome sent = SendWithBusyRepeat(block);
  const uint32_t t1 = platform.clockMs();
  if (sent.rc != 0 || sent.status != kH1StatusDone) {
    Log(kLevelInfo, kMsgSendFailed, SecondsBetween(t0, t1), static_cast<int>(sent.rc),
        static_cast<int>(sent.status), call->vpi, station);
    ClearStationFlagBits(work, station, LAST_READ_OK);
    return kResultCommFailed;
  }

  size_t total = 0;
  const int32_t collected = ReceiveAnswer(call, station, conn, t0, t1, &total);
  if (collected != kResultOk) return collected;
  const uint8_t* answer = DataBuffer(work);
  SetStationFlagBits(work, station, LAST_READ_OK);
  if (total < kS5HeaderSize) {
    Log(kLevelInfo, kMsgShortAnswer, GateText(io), static_cast<int>(total));
    return kResultRefused;
  }
  if (answer[kS5AnswerError] != 0) {
    Log(kLevelInfo, kMsgS5Error, static_cast<int>(answer[kS5AnswerError]), call->vpi,
        GateText(io));
    return kResultRefused;
  }
  return StoreData(io, answer + kS5HeaderSize, static_cast<uint16_t>(total - kS5HeaderSize),
                   scope);
}

int32_t SingleRead(VpiCallBlock* call) { return DoRead(call, ReadScope::Single); }
int32_t BlockRead(VpiCallBlock* call) { return DoRead(call, ReadScope::Block); }

}  // namespace kesta
