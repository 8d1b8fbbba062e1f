#include "host/handlers.h"

namespace kesta {
namespace {

// Slot N-1 holds function code N; an empty slot answers 2.
constexpr Handler kDispatch[16] = {
    &ColdStart,       // 1
    &WarmStart,       // 2
    &SingleAddressParser, // 3
    &BlockAddressParser,  // 4
    &SingleRead,      // 5
    &BlockRead,       // 6
    &SingleWrite,     // 7
    nullptr,          // 8
    nullptr,          // 9
    &BlockWrite,      // 10
    &EndVpi,          // 11
    &CloseCom,        // 12
    &ReOpenCom,       // 13
    &GetVpiInfo,      // 14
    &ChangeVpiParams, // 15
    nullptr,          // 16
};

}  // namespace
}  // namespace kesta

extern "C" KESTA_EXPORT int32_t KESTA_WINAPI VpiMain(kesta::VpiCallBlock* call) {
  const uint32_t code = call->function;
  if (code < 1 || code > 16) return kesta::kResultCommFailed;
  const kesta::Handler handler = kesta::kDispatch[code - 1];
  if (handler == nullptr) return kesta::kResultCommFailed;
  return handler(call);
}
