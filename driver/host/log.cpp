#include "host/log.h"

#if defined(_WIN32)
// Imported by name from the host's TAMSYS.DLL through its import library.
extern "C" int __cdecl err(int level, const char* format, ...);
#else
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#endif

namespace kesta {
namespace {

ErrFunction g_testErr = nullptr;

#if defined(_WIN32)
ErrFunction ResolveHostErr() { return &err; }
#else
// The C library has an err(3) that prints and ends the process. A plain
// reference could bind to it, so the driver asks the logging library itself,
// which the dynamic linker has loaded as a dependency of the driver, and
// accepts the symbol only if it is defined in that library.
ErrFunction ResolveHostErr() {
  void* lib = dlopen("libtamsys.so", RTLD_LAZY | RTLD_NOLOAD);
  if (lib == nullptr) lib = dlopen("libtamsys.so", RTLD_LAZY);
  if (lib == nullptr) return nullptr;
  void* sym = dlsym(lib, "err");
  if (sym == nullptr) return nullptr;
  Dl_info where{};
  struct link_map* map = nullptr;
  if (dladdr(sym, &where) == 0 || dlinfo(lib, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      where.dli_fname == nullptr || map->l_name == nullptr ||
      std::strcmp(where.dli_fname, map->l_name) != 0) {
    return nullptr;
  }
  return reinterpret_cast<ErrFunction>(sym);
}
#endif

}  // namespace

ErrFunction HostErr() {
  if (g_testErr != nullptr) return g_testErr;
  static const ErrFunction resolved = ResolveHostErr();
  return resolved;
}

void SetErrFunctionForTest(ErrFunction fn) { g_testErr = fn; }

}  // namespace kesta
