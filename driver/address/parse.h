// The gate address parser: decodes the host's address text into the five
// encoded fields of the ParseRecord (station, kind, s5Address, bit, width)
// that every read and write path works on.
#pragma once

#include <cstdint>

#include "host/records.h"

namespace kesta {

// Reads record->address and writes station, kind, s5Address, bit and width.
// `work` is the VPI's work area; only the STATION_DEFINED bit of the
// addressed station is read from it. Returns 0 when the address is accepted,
// 1 when it is rejected; every rejection logs its one message at level 8, and
// a station missing from the init file logs a warning without rejecting.
int32_t Parse(ParseRecord* record, uint8_t* work);

}  // namespace kesta
