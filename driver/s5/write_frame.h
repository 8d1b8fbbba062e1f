// Builds a complete S5 write request (header and data in the controller's
// byte order) for one write of the host, reading the current word or byte
// first where only a bit or a byte of it changes.
#pragma once

#include <cstdint>

#include "host/records.h"

namespace kesta {

inline constexpr uint32_t kFunctionSingleWrite = 7;
inline constexpr uint32_t kFunctionBlockWrite = 10;

// `function` 7 builds a single-gate frame, any other value a block frame.
// `frame` is the work area's data buffer. 0 with the frame and its length
// ready; 1 for a request that cannot be written; otherwise the nonzero result
// of the read of a read-modify-write. `call->params` is `io`.
int32_t BuildWriteFrame(IoRecord* io, VpiCallBlock* call, uint32_t function,
                        uint16_t* frameLength, uint8_t* frame);

}  // namespace kesta
