#include "s5/write_frame.h"

#include "address/data_kind.h"
#include "common/bytes.h"
#include "config/work_area.h"
#include "host/handlers.h"
#include "host/log.h"
#include "s5/s5_float.h"
#include "s5/s5_frame.h"
#include "s5/transfer.h"

namespace kesta {
namespace {

constexpr char kMsgReadForModify[] = "KESTA> SingleWrite() '%s' read error for read modify write";
constexpr char kMsgBadCount[] = "KESTA> BuildWriteFrame() '%s' block count %d out of range";
constexpr char kMsgOddByteCount[] =
    "KESTA> BuildWriteFrame() '%s' odd count %d of data block bytes";

// Offset of a single gate's 16-bit value in the host's buffer.
constexpr size_t kSingleValueOffset = 2;
constexpr uint64_t kMaxFrameData = kDataBufferSize - kS5HeaderSize;  // 4144

// Mask of bit `bit` within a value of `width` bits; none for a bit beyond it.
uint16_t BitMask(int32_t bit, int32_t width) {
  if (bit < 0 || bit >= width) return 0;
  return static_cast<uint16_t>(1u << bit);
}

// Fetches the whole word or byte that a bit or byte gate lies in, through a
// single read on the write's own record, and leaves it at offset 2 of the
// host's buffer. The record's address fields are borrowed and given back.
int32_t ReadForModify(IoRecord* io, VpiCallBlock* call) {
  const int32_t savedKind = io->kind;
  const int32_t savedAddress = io->s5Address;
  const int32_t savedBit = io->bit;
  const int32_t savedWidth = io->width;
  if (io->kind == kKindByte) {
    io->kind = kKindWord;
    io->width = kWidthWord;
    const uint32_t high = static_cast<uint32_t>(io->s5Address) & 0xFFFF0000u;
    io->s5Address = static_cast<int32_t>(high | (S5Unit(io->s5Address) >> 1));
  } else {
    io->bit = kNoBit;
  }
  const int32_t rc = SingleRead(call);
  io->kind = savedKind;
  io->s5Address = savedAddress;
  io->bit = savedBit;
  io->width = savedWidth;
  if (rc != 0) Log(kLevelInfo, kMsgReadForModify, GateText(io));
  return rc;
}

int32_t BuildSingle(IoRecord* io, VpiCallBlock* call, uint16_t* frameLength, uint8_t* frame) {
  S5RequestFields fields;
  if (!S5FieldsFor(io->kind, io->s5Address, 1, &fields)) return 1;
  uint8_t* value = io->data;
  uint8_t* out = frame + kS5HeaderSize;
  uint16_t dataBytes = 0;
  const bool bitGate = io->bit != kNoBit;
  switch (io->kind) {
    case kKindWord:
    case kKindFlag:
    case kKindOutput:
    case kKindByte: {
      const uint16_t v = GetLe16(value + kSingleValueOffset);
      const bool modify = io->kind == kKindByte || bitGate;
      if (!modify) {
        if (io->kind == kKindWord) {
          PutBe16(out, v);
          dataBytes = 2;
        } else {
          out[0] = static_cast<uint8_t>(v);
          dataBytes = 1;
        }
        break;
      }
      const int32_t rc = ReadForModify(io, call);
      if (rc != 0) return rc;
      const uint16_t r = GetLe16(value + kSingleValueOffset);
      if (io->kind == kKindWord) {
        const uint16_t mask = BitMask(io->bit, 16);
        PutBe16(out, v != 0 ? static_cast<uint16_t>(r | mask) : static_cast<uint16_t>(r & ~mask));
        dataBytes = 2;
      } else if (io->kind == kKindByte) {
        // An even byte address is the low-order byte of the word, second on
        // the wire; an odd one the high-order byte, first.
        if ((S5Unit(io->s5Address) & 1u) == 0) {
          out[0] = static_cast<uint8_t>(r >> 8);
          out[1] = static_cast<uint8_t>(v);
        } else {
          out[0] = static_cast<uint8_t>(v);
          out[1] = static_cast<uint8_t>(r);
        }
        dataBytes = 2;
      } else {
        const uint8_t mask = static_cast<uint8_t>(BitMask(io->bit, 8));
        const uint8_t byte = static_cast<uint8_t>(r);
        out[0] = v != 0 ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
        dataBytes = 1;
      }
      // The read stored the controller's value; the host keeps its own.
      PutLe16(value + kSingleValueOffset, v);
      break;
    }
    case kKindDouble:
      PutBe32(out, GetLe32(value));
      dataBytes = 4;
      break;
    case kKindFloat:
      PutBe32(out, IeeeToS5(GetLe32(value)));
      dataBytes = 4;
      break;
    case kKindString: {
      // The text up to its NUL, zero-filled to L; never read beyond L bytes.
      const uint32_t length = S5StringLength(io->s5Address);
      uint32_t i = 0;
      for (; i < length && value[i] != 0; ++i) out[i] = value[i];
      for (; i < length; ++i) out[i] = 0;
      dataBytes = static_cast<uint16_t>(length);
      break;
    }
    default:
      return 1;
  }
  PutS5Header(frame, kS5OpWrite, fields);
  *frameLength = static_cast<uint16_t>(kS5HeaderSize + dataBytes);
  return 0;
}

int32_t BuildBlock(IoRecord* io, uint16_t* frameLength, uint8_t* frame) {
  switch (io->kind) {
    case kKindWord:
    case kKindFlag:
    case kKindOutput:
    case kKindDouble:
    case kKindFloat:
    case kKindByte:
      break;
    default:
      return 1;  // strings and inputs are not written as blocks
  }
  if (io->count < 0 ||
      S5CoveredBytes(io->kind, io->s5Address, static_cast<uint32_t>(io->count)) > kMaxFrameData) {
    Log(kLevelInfo, kMsgBadCount, GateText(io), static_cast<int>(io->count));
    return 1;
  }
  const uint32_t n = static_cast<uint32_t>(io->count);
  // An odd count would need a byte from beyond the host's values to fill its
  // last word, or would overwrite a controller byte outside the block.
  if (io->kind == kKindByte && n % 2 != 0) {
    Log(kLevelInfo, kMsgOddByteCount, GateText(io), static_cast<int>(n));
    return 1;
  }
  S5RequestFields fields;
  if (!S5FieldsFor(io->kind, io->s5Address, static_cast<uint16_t>(n), &fields)) return 1;
  const uint8_t* in = io->data;
  uint8_t* out = frame + kS5HeaderSize;
  uint32_t dataBytes = 0;
  switch (io->kind) {
    case kKindWord:
      for (uint32_t i = 0; i < n; ++i) PutBe16(out + 2 * i, GetLe16(in + 2 * i));
      dataBytes = 2 * n;
      break;
    case kKindFlag:
    case kKindOutput:
      for (uint32_t i = 0; i < n; ++i) out[i] = in[i];
      dataBytes = n;
      break;
    case kKindDouble:
      for (uint32_t i = 0; i < n; ++i) PutBe32(out + 4 * i, GetLe32(in + 4 * i));
      dataBytes = 4 * n;
      break;
    case kKindFloat:
      for (uint32_t i = 0; i < n; ++i) PutBe32(out + 4 * i, IeeeToS5(GetLe32(in + 4 * i)));
      dataBytes = 4 * n;
      break;
    case kKindByte:
      // Host byte 2k is the low-order byte of its word and goes second.
      for (uint32_t i = 0; i < n; i += 2) {
        out[i] = in[i + 1];
        out[i + 1] = in[i];
      }
      dataBytes = n;
      break;
  }
  PutS5Header(frame, kS5OpWrite, fields);
  *frameLength = static_cast<uint16_t>(kS5HeaderSize + dataBytes);
  return 0;
}

}  // namespace

int32_t BuildWriteFrame(IoRecord* io, VpiCallBlock* call, uint32_t function,
                        uint16_t* frameLength, uint8_t* frame) {
  if (function == kFunctionSingleWrite) return BuildSingle(io, call, frameLength, frame);
  return BuildBlock(io, frameLength, frame);
}

}  // namespace kesta
