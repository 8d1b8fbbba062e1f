#include "h1/card_library.h"

namespace kesta {

H1Entries g_h1 = {};

}  // namespace kesta
