#include "s5/store_data.h"

#include <cstring>

#include "address/data_kind.h"
#include "common/bytes.h"
#include "host/log.h"
#include "s5/s5_float.h"
#include "s5/s5_frame.h"

namespace kesta {
namespace {

constexpr char kMsgWrongLength[] = "KESTA> StoreData() Wrong data length";
constexpr char kMsgWrongBlockLength[] = "KESTA> StoreData() Wrong data length (req%d rec%d)";

// Offset of a single gate's 16-bit value in the host's buffer.
constexpr size_t kSingleValueOffset = 2;

// Bit `bit` of `value`; a bit number beyond the value selects nothing.
uint16_t BitOf(uint32_t value, int32_t bit) {
  if (bit < 0 || bit > 31) return 0;
  return static_cast<uint16_t>((value >> bit) & 1u);
}

// L bytes of a string up to its first NUL, the rest of the L bytes zero, then
// a NUL at offset L.
void StoreString(uint8_t* dest, const uint8_t* src, uint32_t length) {
  uint32_t i = 0;
  for (; i < length && src[i] != 0; ++i) dest[i] = src[i];
  for (; i <= length; ++i) dest[i] = 0;
}

// Bytes a single gate of `kind` needs from the answer; 0 for a kind that
// cannot be stored.
uint32_t SingleSize(int32_t kind, uint32_t stringLength) {
  switch (kind) {
    case kKindWord:
    case kKindByte:
      return 2;
    case kKindFlag:
    case kKindInput:
    case kKindOutput:
      return 1;
    case kKindDouble:
    case kKindFloat:
      return 4;
    case kKindString:
      return stringLength;
    default:
      return 0;
  }
}

int32_t StoreSingle(const IoRecord* io, const uint8_t* data, uint16_t n) {
  const uint32_t stringLength = S5StringLength(io->s5Address);
  if (io->kind == kKindString && (stringLength == 0 || stringLength > kMaxStringLength)) return 1;
  const uint32_t need = SingleSize(io->kind, stringLength);
  if (need == 0) return 1;
  // Never take bytes from beyond the received data: a string needs exactly
  // its length, every other kind at least its own size and at most 4.
  const bool lengthOk = io->kind == kKindString ? n == need : (n >= need && n <= 4);
  if (!lengthOk) {
    Log(kLevelInfo, kMsgWrongLength);
    return 1;
  }
  uint8_t* out = io->data;
  switch (io->kind) {
    case kKindWord: {
      const uint16_t word = GetBe16(data);
      PutLe16(out + kSingleValueOffset, io->bit == kNoBit ? word : BitOf(word, io->bit));
      break;
    }
    case kKindFlag:
    case kKindInput:
    case kKindOutput:
      PutLe16(out + kSingleValueOffset, io->bit == kNoBit ? data[0] : BitOf(data[0], io->bit));
      break;
    case kKindByte:
      // An odd byte number is the high-order byte of its word, first on the wire.
      PutLe16(out + kSingleValueOffset, (S5Unit(io->s5Address) & 1u) != 0 ? data[0] : data[1]);
      break;
    case kKindDouble:
      PutLe32(out, GetBe32(data));
      break;
    case kKindFloat:
      PutLe32(out, S5ToIeee(GetBe32(data)));
      break;
    case kKindString:
      StoreString(out, data, stringLength);
      break;
  }
  return 0;
}

int32_t StoreBlock(const IoRecord* io, const uint8_t* data, uint16_t n) {
  const uint32_t count = io->count < 0 ? 0 : static_cast<uint32_t>(io->count);
  const uint32_t stringLength = S5StringLength(io->s5Address);
  uint32_t need;
  switch (io->kind) {
    case kKindFlag:
    case kKindInput:
    case kKindOutput:
    case kKindByte:
      need = count;
      break;
    case kKindWord:
      need = 2 * count;
      break;
    case kKindDouble:
    case kKindFloat:
      need = 4 * count;
      break;
    case kKindString:
      if (stringLength == 0 || stringLength > kMaxStringLength) return 1;
      need = stringLength * count;
      break;
    default:
      return 1;
  }
  // Data-block bytes come in whole words: an odd length would pair the last
  // byte with one from outside the block.
  if (n != need || (io->kind == kKindByte && (n & 1u) != 0)) {
    Log(kLevelInfo, kMsgWrongBlockLength, static_cast<int>(need), static_cast<int>(n));
    return 1;
  }
  uint8_t* out = io->data;
  switch (io->kind) {
    case kKindFlag:
    case kKindInput:
    case kKindOutput:
      std::memcpy(out, data, n);
      break;
    case kKindByte: {
      // Byte 2k is the low-order byte of its word, second on the wire.
      for (uint32_t i = 0; i + 1 < n; i += 2) {
        out[i] = data[i + 1];
        out[i + 1] = data[i];
      }
      break;
    }
    case kKindWord:
      for (uint32_t i = 0; i < count; ++i) PutLe16(out + 2 * i, GetBe16(data + 2 * i));
      break;
    case kKindDouble:
      for (uint32_t i = 0; i < count; ++i) PutLe32(out + 4 * i, GetBe32(data + 4 * i));
      break;
    case kKindFloat:
      for (uint32_t i = 0; i < count; ++i) PutLe32(out + 4 * i, S5ToIeee(GetBe32(data + 4 * i)));
      break;
    case kKindString:
      for (uint32_t i = 0; i < count; ++i) {
        StoreString(out + i * kStringSlotSize, data + i * stringLength, stringLength);
      }
      break;
  }
  return 0;
}

}  // namespace

int32_t StoreData(const IoRecord* io, const uint8_t* data, uint16_t n, ReadScope scope) {
  return scope == ReadScope::Single ? StoreSingle(io, data, n) : StoreBlock(io, data, n);
}

}  // namespace kesta
