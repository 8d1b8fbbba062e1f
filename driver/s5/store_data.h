// Turns the data part of a fetch answer into gate values in the host's value
// buffer, in the layout of each kind.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/records.h"

namespace kesta {

// Slot of one gate in a block of strings: up to 80 characters and a NUL.
inline constexpr size_t kStringSlotSize = 81;

enum class ReadScope { Single, Block };

// `data` holds the `n` received bytes (the answer from its byte 16 on). 0 when
// the values are stored; 1 when the length does not fit the request or the
// kind is not storable, and then the host's buffer is untouched.
int32_t StoreData(const IoRecord* io, const uint8_t* data, uint16_t n, ReadScope scope);

}  // namespace kesta
