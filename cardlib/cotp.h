// ISO-on-TCP framing (RFC 1006): the TPKT header and the ISO 8073 class 0
// TPDUs a connection uses (CR, CC, DR, DT). Building and checking only; the
// bytes come and go through the socket shim.
#pragma once

#include <cstddef>
#include <cstdint>

namespace h1tcp {

inline constexpr size_t kTpktHeaderSize = 4;
inline constexpr uint8_t kTpktVersion = 3;
inline constexpr size_t kTpktMaxLength = 0xFFFF;
inline constexpr size_t kDtHeaderSize = 3;  // LI, code, EOT/number
inline constexpr size_t kDtFrameOverhead = kTpktHeaderSize + kDtHeaderSize;

inline constexpr uint8_t kTpduCr = 0xE0;
inline constexpr uint8_t kTpduCc = 0xD0;
inline constexpr uint8_t kTpduDr = 0x80;
inline constexpr uint8_t kTpduDt = 0xF0;
inline constexpr uint8_t kTpduEr = 0x70;
inline constexpr uint8_t kDtEot = 0x80;

inline constexpr uint8_t kParamTpduSize = 0xC0;
inline constexpr uint8_t kParamCallingTsap = 0xC1;
inline constexpr uint8_t kParamCalledTsap = 0xC2;
// TPDU sizes as 2^code bytes; class 0 allows 128 (7) to 2048 (11), and 128
// when a CC does not say.
inline constexpr uint8_t kTpduSizeMinCode = 7;
inline constexpr uint8_t kTpduSizeMaxCode = 11;
inline constexpr uint8_t kTpduSizeDefaultCode = 7;
inline constexpr size_t kMaxTsap = 32;

// TPKT header: total length (header included) of a packet carrying
// `payload` bytes.
void PutTpktHeader(uint8_t* out, size_t payload);
// Checks a received TPKT header: version 3, reserved 0, and room for at
// least an LI and a TPDU code. Gives the payload length.
bool ParseTpktHeader(const uint8_t* header, size_t* payload);

// A CR or CC TPDU (the payload behind the TPKT header), parsed or to build.
struct ConnectTpdu {
  uint8_t code = 0;  // kTpduCr or kTpduCc (upper nibble), kTpduDr
  uint16_t dstRef = 0;
  uint16_t srcRef = 0;
  uint8_t classOption = 0;
  uint8_t tpduSizeCode = 0;  // 0: not given
  uint8_t callingLength = 0;
  uint8_t calling[kMaxTsap] = {};
  uint8_t calledLength = 0;
  uint8_t called[kMaxTsap] = {};
};

// CR or CC with TPKT header into `out`; returns the bytes written, 0 when
// they would not fit in `capacity` or a TSAP is longer than kMaxTsap.
size_t BuildConnectFrame(const ConnectTpdu& t, uint8_t* out, size_t capacity);
// Parses a CR, CC or DR payload; false when it is of another kind, shorter
// than its LI says, or a parameter runs past the end.
bool ParseConnectTpdu(const uint8_t* payload, size_t length, ConnectTpdu* out);

// DR with TPKT header (11 bytes) into `out`.
inline constexpr size_t kDisconnectFrameSize = kTpktHeaderSize + 7;
void BuildDisconnectFrame(uint16_t dstRef, uint16_t srcRef, uint8_t reason, uint8_t* out);

// The 7 bytes in front of `dataLength` bytes of a DT TPDU.
void PutDtHeader(uint8_t* out, size_t dataLength, bool eot);

}  // namespace h1tcp
