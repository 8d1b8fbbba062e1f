// The read transaction: one fetch request on the station's read connection,
// its answer collected piece by piece in the data buffer and stored.
#pragma once

#include <cstdint>

#include "host/records.h"
#include "s5/store_data.h"

namespace kesta {

// 0 values stored, 1 request or answer refused, 2 communication failed.
int32_t DoRead(VpiCallBlock* call, ReadScope scope);

}  // namespace kesta
