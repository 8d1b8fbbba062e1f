// The records the host passes to VpiMain. They belong to the host and follow
// its C layout: on the 32-bit Windows host pointers are 4 bytes, on a 64-bit
// host 8 bytes with natural alignment. The offsets of both layouts are proved
// below for the build being compiled.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/callconv.h"

namespace kesta {

struct VpiCallBlock {
  uint8_t* work;      // this VPI's work area
  uint32_t function;  // function code, valid 1 to 16
  uint32_t vpi;       // VPI number
  uint32_t unused12;
  void* params;  // parameter record of the function
};

struct VpiInfo {
  int32_t infoId;
  const char* name;
  const char* banner;
  int32_t workAreaSize;
  int32_t infoA;
  int16_t infoB;
  uint8_t unused22[6];
  int32_t infoC;
};

struct ColdStartParams {
  uint8_t unused0[12];
  int32_t openDriver;
  int32_t timeout;  // units of 10 ms; 0 selects 500 ms
};

struct ParseRecord {
  const char* address;
  uint32_t unused4;
  int32_t gateType;
  uint32_t unused12;
  int32_t station;
  int32_t kind;
  int32_t s5Address;
  int32_t bit;
  int32_t width;
};

struct IoRecord {
  const char* address;
  uint32_t unused4;
  int32_t station;
  int32_t kind;
  int32_t s5Address;
  int32_t bit;
  int32_t width;
  int32_t gateType;
  int32_t count;
  uint32_t unused36;
  uint8_t* data;
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(VpiCallBlock, work) == 0 && offsetof(VpiCallBlock, function) == 4 &&
              offsetof(VpiCallBlock, vpi) == 8 && offsetof(VpiCallBlock, unused12) == 12 &&
              offsetof(VpiCallBlock, params) == 16 && sizeof(VpiCallBlock) == 20);
static_assert(offsetof(VpiInfo, infoId) == 0 && offsetof(VpiInfo, name) == 4 &&
              offsetof(VpiInfo, banner) == 8 && offsetof(VpiInfo, workAreaSize) == 12 &&
              offsetof(VpiInfo, infoA) == 16 && offsetof(VpiInfo, infoB) == 20 &&
              offsetof(VpiInfo, unused22) == 22 && offsetof(VpiInfo, infoC) == 28 &&
              sizeof(VpiInfo) == 32);
static_assert(offsetof(ParseRecord, address) == 0 && offsetof(ParseRecord, gateType) == 8 &&
              offsetof(ParseRecord, station) == 16 && offsetof(ParseRecord, kind) == 20 &&
              offsetof(ParseRecord, s5Address) == 24 && offsetof(ParseRecord, bit) == 28 &&
              offsetof(ParseRecord, width) == 32 && sizeof(ParseRecord) == 36);
static_assert(offsetof(IoRecord, address) == 0 && offsetof(IoRecord, station) == 8 &&
              offsetof(IoRecord, kind) == 12 && offsetof(IoRecord, s5Address) == 16 &&
              offsetof(IoRecord, bit) == 20 && offsetof(IoRecord, width) == 24 &&
              offsetof(IoRecord, gateType) == 28 && offsetof(IoRecord, count) == 32 &&
              offsetof(IoRecord, unused36) == 36 && offsetof(IoRecord, data) == 40 &&
              sizeof(IoRecord) == 44);
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(offsetof(VpiCallBlock, work) == 0 && offsetof(VpiCallBlock, function) == 8 &&
              offsetof(VpiCallBlock, vpi) == 12 && offsetof(VpiCallBlock, unused12) == 16 &&
              offsetof(VpiCallBlock, params) == 24 && sizeof(VpiCallBlock) == 32);
static_assert(offsetof(VpiInfo, infoId) == 0 && offsetof(VpiInfo, name) == 8 &&
              offsetof(VpiInfo, banner) == 16 && offsetof(VpiInfo, workAreaSize) == 24 &&
              offsetof(VpiInfo, infoA) == 28 && offsetof(VpiInfo, infoB) == 32 &&
              offsetof(VpiInfo, unused22) == 34 && offsetof(VpiInfo, infoC) == 40 &&
              sizeof(VpiInfo) == 48);
static_assert(offsetof(ParseRecord, address) == 0 && offsetof(ParseRecord, gateType) == 12 &&
              offsetof(ParseRecord, station) == 20 && offsetof(ParseRecord, kind) == 24 &&
              offsetof(ParseRecord, s5Address) == 28 && offsetof(ParseRecord, bit) == 32 &&
              offsetof(ParseRecord, width) == 36 && sizeof(ParseRecord) == 40);
static_assert(offsetof(IoRecord, address) == 0 && offsetof(IoRecord, station) == 12 &&
              offsetof(IoRecord, kind) == 16 && offsetof(IoRecord, s5Address) == 20 &&
              offsetof(IoRecord, bit) == 24 && offsetof(IoRecord, width) == 28 &&
              offsetof(IoRecord, gateType) == 32 && offsetof(IoRecord, count) == 36 &&
              offsetof(IoRecord, unused36) == 40 && offsetof(IoRecord, data) == 48 &&
              sizeof(IoRecord) == 56);
#else
#error "unsupported pointer size"
#endif
static_assert(offsetof(ColdStartParams, openDriver) == 12 &&
              offsetof(ColdStartParams, timeout) == 16 && sizeof(ColdStartParams) == 20);
// The encoded fields of IoRecord stand eight bytes before those of ParseRecord.
static_assert(offsetof(ParseRecord, station) - offsetof(IoRecord, station) == 8 &&
              offsetof(ParseRecord, width) - offsetof(IoRecord, width) == 8);

// Handler results.
inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultRefused = 1;
inline constexpr int32_t kResultCommFailed = 2;

using Handler = int32_t (*)(VpiCallBlock* call);

}  // namespace kesta

extern "C" KESTA_EXPORT int32_t KESTA_WINAPI VpiMain(kesta::VpiCallBlock* call);
