#include "cotp.h"

#include <cstring>

#include "common/bytes.h"

namespace h1tcp {

using kesta::GetBe16;
using kesta::PutBe16;

void PutTpktHeader(uint8_t* out, size_t payload) {
  out[0] = kTpktVersion;
  out[1] = 0;
  PutBe16(out + 2, static_cast<uint16_t>(kTpktHeaderSize + payload));
}

bool ParseTpktHeader(const uint8_t* header, size_t* payload) {
  if (header[0] != kTpktVersion || header[1] != 0) return false;
  const size_t total = GetBe16(header + 2);
  if (total < kTpktHeaderSize + 2) return false;
  *payload = total - kTpktHeaderSize;
  return true;
}

size_t BuildConnectFrame(const ConnectTpdu& t, uint8_t* out, size_t capacity) {
  if (t.callingLength > kMaxTsap || t.calledLength > kMaxTsap) return 0;
  // LI, code, dst-ref, src-ref, class, then the parameters.
  const size_t fixed = 7;
  const size_t params = (t.tpduSizeCode ? 3 : 0) + (t.callingLength ? 2u + t.callingLength : 0) +
                        (t.calledLength ? 2u + t.calledLength : 0);
  const size_t payload = fixed + params;
  if (kTpktHeaderSize + payload > capacity) return 0;
  PutTpktHeader(out, payload);
  uint8_t* p = out + kTpktHeaderSize;
  p[0] = static_cast<uint8_t>(payload - 1);
  p[1] = t.code;
  PutBe16(p + 2, t.dstRef);
  PutBe16(p + 4, t.srcRef);
  p[6] = t.classOption;
  p += fixed;
  if (t.tpduSizeCode) {
    *p++ = kParamTpduSize;
    *p++ = 1;
    *p++ = t.tpduSizeCode;
  }
  if (t.callingLength) {
    *p++ = kParamCallingTsap;
    *p++ = t.callingLength;
    std::memcpy(p, t.calling, t.callingLength);
    p += t.callingLength;
  }
  if (t.calledLength) {
    *p++ = kParamCalledTsap;
    *p++ = t.calledLength;
    std::memcpy(p, t.called, t.calledLength);
  }
  return kTpktHeaderSize + payload;
}

bool ParseConnectTpdu(const uint8_t* payload, size_t length, ConnectTpdu* out) {
  *out = ConnectTpdu{};
  if (length < 2) return false;
  const size_t li = payload[0];
  if (li + 1 > length) return false;
  const uint8_t code = payload[1] & 0xF0;
  if (code == kTpduDr) {
    // LI, code, dst-ref, src-ref, reason.
    if (li < 6) return false;
    out->code = kTpduDr;
    out->dstRef = GetBe16(payload + 2);
    out->srcRef = GetBe16(payload + 4);
    return true;
  }
  if (code != kTpduCr && code != kTpduCc) return false;
  if (li < 6) return false;
  out->code = code;
  out->dstRef = GetBe16(payload + 2);
  out->srcRef = GetBe16(payload + 4);
  out->classOption = payload[6];
  const uint8_t* p = payload + 7;
  const uint8_t* end = payload + li + 1;
  while (p < end) {
    if (end - p < 2) return false;
    const uint8_t id = p[0];
    const size_t n = p[1];
    p += 2;
    if (n > static_cast<size_t>(end - p)) return false;
    switch (id) {
      case kParamTpduSize:
        if (n != 1) return false;
        out->tpduSizeCode = p[0];
        break;
      case kParamCallingTsap:
        if (n > kMaxTsap) return false;
        out->callingLength = static_cast<uint8_t>(n);
        std::memcpy(out->calling, p, n);
        break;
      case kParamCalledTsap:
        if (n > kMaxTsap) return false;
        out->calledLength = static_cast<uint8_t>(n);
        std::memcpy(out->called, p, n);
        break;
      default:
        break;  // other parameters are of no concern to class 0
    }
    p += n;
  }
  return true;
}

void BuildDisconnectFrame(uint16_t dstRef, uint16_t srcRef, uint8_t reason, uint8_t* out) {
  PutTpktHeader(out, 7);
  uint8_t* p = out + kTpktHeaderSize;
  p[0] = 6;
  p[1] = kTpduDr;
  PutBe16(p + 2, dstRef);
  PutBe16(p + 4, srcRef);
  p[6] = reason;
}

void PutDtHeader(uint8_t* out, size_t dataLength, bool eot) {
  PutTpktHeader(out, kDtHeaderSize + dataLength);
  out[4] = 2;
  out[5] = kTpduDt;
  out[6] = eot ? kDtEot : 0;
}

}  // namespace h1tcp
