// Cold start of a VPI (ColdStart is declared in host/handlers.h) and the
// request timeout it hands to the card library.
#pragma once

#include <cstdint>

namespace kesta {

inline constexpr int32_t kDefaultTimeoutMs = 500;

// The request timeout in ms for ColdStartParams::timeout (units of 10 ms):
// 0 or a negative value gives the default of 500 ms; the product saturates
// at INT32_MAX instead of overflowing.
int32_t ColdStartTimeoutMs(int32_t timeout);

// Hands the timeout to the card library through its defaults block. 0 when
// the library took it, else 1.
int32_t SetTimeout(int32_t timeoutMs);

}  // namespace kesta
