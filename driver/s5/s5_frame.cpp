#include "s5/s5_frame.h"

#include "address/data_kind.h"
#include "common/bytes.h"

namespace kesta {

bool S5FieldsFor(int32_t kind, int32_t s5Address, uint16_t count, S5RequestFields* out) {
  const uint16_t unit = S5Unit(s5Address);
  const uint8_t db = static_cast<uint8_t>(S5DbNumber(s5Address));
  S5RequestFields f{kS5OrgData, db, 0, 0};
  switch (kind) {
    case kKindWord:
      f.start = unit;
      f.length = count;
      break;
    case kKindString: {
      const uint16_t len = static_cast<uint16_t>(S5StringLength(s5Address));
      if (len == 0 || len > kMaxStringLength) return false;
      f.start = static_cast<uint16_t>(unit * static_cast<uint16_t>(len / 2));
      f.length = static_cast<uint16_t>(static_cast<uint16_t>(len * count) / 2);
      break;
    }
    case kKindDouble:
    case kKindFloat:
      f.start = static_cast<uint16_t>(unit * 2);
      f.length = static_cast<uint16_t>(count * 2);
      break;
    case kKindByte:
      // The whole words that hold `count` bytes from this byte address.
      f.start = static_cast<uint16_t>(unit >> 1);
      f.length = static_cast<uint16_t>(count / 2 + count % 2);
      break;
    case kKindFlag:
    case kKindInput:
    case kKindOutput:
      f.orgId = kind == kKindFlag ? kS5OrgFlags : kind == kKindInput ? kS5OrgInputs : kS5OrgOutputs;
      f.dbNumber = 0;
      f.start = unit;
      f.length = count;
      break;
    default:
      return false;
  }
  *out = f;
  return true;
}

uint64_t S5CoveredBytes(int32_t kind, int32_t s5Address, uint32_t count) {
  const uint64_t n = count;
  switch (kind) {
    case kKindWord:
      return 2 * n;
    case kKindString: {
      const uint64_t len = S5StringLength(s5Address);
      if (len == 0 || len > kMaxStringLength) return 0;
      return (len * n) / 2 * 2;
    }
    case kKindDouble:
    case kKindFloat:
      return 4 * n;
    case kKindByte:
      return 2 * (n / 2 + n % 2);
    case kKindFlag:
    case kKindInput:
    case kKindOutput:
      return n;
    default:
      return 0;
  }
}

void PutS5Header(uint8_t* header, uint8_t opCode, const S5RequestFields& fields) {
  header[0] = 'S';
  header[1] = '5';
  header[2] = static_cast<uint8_t>(kS5HeaderSize);
  header[3] = 0x01;
  header[4] = 0x03;
  header[kS5HdOpCode] = opCode;
  header[6] = 0x03;
  header[7] = 0x08;
  header[kS5HdOrgId] = fields.orgId;
  header[kS5HdDbNumber] = fields.dbNumber;
  PutBe16(header + kS5HdStart, fields.start);
  PutBe16(header + kS5HdLength, fields.length);
  header[14] = 0xFF;
  header[15] = 0x02;
}

}  // namespace kesta
