// A driver built the wrong way: VpiMain exported with the C calling
// convention, so it leaves its argument for the caller to remove. The
// host-like test must notice.
#include <cstdint>

extern "C" __declspec(dllexport) int32_t __cdecl VpiMain(void* call) { return call != nullptr ? 0 : 2; }
