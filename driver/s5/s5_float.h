// Conversion between the controllers' floating-point format (8-bit
// two's-complement exponent, 24-bit two's-complement fraction, value
// m x 2^e with -1 <= m < 1) and IEEE single precision, on bit patterns only.
#pragma once

#include <cstdint>

namespace kesta {

// Any pattern with a zero fraction reads as +0.0.
uint32_t S5ToIeee(uint32_t s5);
// +0.0 becomes 0x80000000; the lowest IEEE fraction bit is dropped.
uint32_t IeeeToS5(uint32_t ieee);

}  // namespace kesta
