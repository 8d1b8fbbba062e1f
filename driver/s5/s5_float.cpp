#include "s5/s5_float.h"

namespace kesta {
namespace {

constexpr uint32_t kMantissaMask = 0x00FFFFFFu;
constexpr uint32_t kMantissaSign = 0x00800000u;
constexpr uint32_t kMantissaRange = 0x01000000u;  // 2^24, for the two's complement
constexpr uint32_t kLeadingOne = 0x00400000u;     // 0.5, bit 22 of a normalised magnitude
// S5 0.1f x 2^e equals IEEE 1.f x 2^(e-1); with the IEEE bias of 127 the
// biased exponent is e + 126.
constexpr uint32_t kExponentOffset = 126;

}  // namespace

uint32_t S5ToIeee(uint32_t s5) {
  uint32_t mantissa = s5 & kMantissaMask;
  if (mantissa == 0) return 0;
  uint32_t exponent = s5 >> 24;
  const bool negative = (mantissa & kMantissaSign) != 0;
  if (negative) {
    // m = -1 has no normalised magnitude below 1: read it as -0.5 x 2^(e+1).
    if (mantissa == kMantissaSign) exponent = (exponent + 1) & 0xFFu;
    mantissa = kMantissaRange - mantissa;
  }
  // Bit 22 is taken as the leading 1 whether it is set or not.
  const uint32_t fraction = (mantissa & (kLeadingOne - 1)) << 1;
  const uint32_t biased = (exponent + kExponentOffset) & 0xFFu;
  return (negative ? 0x80000000u : 0u) | (biased << 23) | fraction;
}

uint32_t IeeeToS5(uint32_t ieee) {
  if (ieee == 0) return 0x80000000u;
  const uint32_t biased = (ieee >> 23) & 0xFFu;
  const bool negative = (ieee & 0x80000000u) != 0;
  const uint32_t exponent = (biased - kExponentOffset) & 0xFFu;
  const uint32_t magnitude = kLeadingOne | ((ieee & 0x007FFFFFu) >> 1);
  const uint32_t mantissa = negative ? (kMantissaRange - magnitude) & kMantissaMask : magnitude;
  return (exponent << 24) | mantissa;
}

}  // namespace kesta
