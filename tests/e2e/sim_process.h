// The simulator for a test (started on port 0 and stopped by its pid, from
// the shared test support) and the card library's station map.
#pragma once

#include <string>

#include "child_process.h"

namespace e2e {

using posix_test::SimProcess;

// Writes the card library's station map and points H1TCP_CONFIG at it.
void WriteStationMap(const std::string& path, const std::string& lines);

}  // namespace e2e
