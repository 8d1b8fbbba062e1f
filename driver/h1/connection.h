// Opening a station's read or write connection on its first use.
#pragma once

#include <cstdint>

#include "config/work_area.h"

namespace kesta {

// Opens the station's connection for `dir` through the card library and
// stores its number and open flag. 0 when open, 1 otherwise (the entry is
// then unchanged). Callers call it only while the number is -1.
int32_t OpenChannel(uint8_t* work, uint32_t station, Direction dir);

}  // namespace kesta
