// Loading the H1 card library that fits the running Windows platform and
// binding its eight entry points into g_h1.
#pragma once

#include <cstdint>

namespace kesta {

// 0 when the library is loaded and all eight entries are bound, else 1.
int32_t LoadH1DLLs();

}  // namespace kesta
