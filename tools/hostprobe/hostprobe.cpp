// hostprobe [--raw] [DRIVER]: loads the driver (default: libkesta.so beside
// this program's ../lib, or KESTA.DLL), calls GetVpiInfo through VpiMain and
// prints the name, the banner and the work-area size. The banner is code page
// 437; it is shown as UTF-8 unless --raw asks for the bytes as they are.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/records.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using VpiMainFn = int32_t(KESTA_WINAPI*)(kesta::VpiCallBlock*);

// The box-drawing and control characters the banner uses, as UTF-8.
std::string Cp437ToUtf8(const char* text) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    switch (*p) {
      case 0x08: break;  // the leading backspace has nothing to show
      case 0xC9: out += "\u2554"; break;
      case 0xBB: out += "\u2557"; break;
      case 0xC8: out += "\u255A"; break;
      case 0xBC: out += "\u255D"; break;
      case 0xCD: out += "\u2550"; break;
      case 0xBA: out += "\u2551"; break;
      default:
        if (*p < 0x80) {
          out += static_cast<char>(*p);
        } else {
          out += '?';
        }
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  bool raw = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--raw") == 0) {
      raw = true;
    } else {
      path = argv[i];
    }
  }
#if defined(_WIN32)
  if (path.empty()) path = "KESTA.DLL";
  HMODULE lib = LoadLibraryA(path.c_str());
  if (lib == nullptr) {
    std::fprintf(stderr, "hostprobe: cannot load %s\n", path.c_str());
    return 2;
  }
  auto vpiMain = reinterpret_cast<VpiMainFn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, "VpiMain")));
#else
  if (path.empty()) {
    std::string self = argv[0];
    const size_t slash = self.rfind('/');
    path = (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/../lib/libkesta.so";
  }
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    std::fprintf(stderr, "hostprobe: cannot load %s: %s\n", path.c_str(), dlerror());
    return 2;
  }
  auto vpiMain = reinterpret_cast<VpiMainFn>(dlsym(lib, "VpiMain"));
#endif
  if (vpiMain == nullptr) {
    std::fprintf(stderr, "hostprobe: %s has no VpiMain\n", path.c_str());
    return 2;
  }

  kesta::VpiInfo info{};
  kesta::VpiCallBlock call{};
  call.function = 14;
  call.params = &info;
  const int32_t rc = vpiMain(&call);
  if (rc != 0) {
    std::fprintf(stderr, "hostprobe: GetVpiInfo answered %d\n", rc);
    return 1;
  }
  std::printf("driver:    %s\n", path.c_str());
  std::printf("name:      %s\n", info.name);
  std::printf("work area: %d bytes\n", info.workAreaSize);
  std::printf("banner:\n");
  if (raw) {
    std::fwrite(info.banner, 1, std::strlen(info.banner), stdout);
  } else {
    std::fputs(Cp437ToUtf8(info.banner).c_str(), stdout);
  }
  // Printed after the call: the host goes on running once the driver logged.
  std::printf("\nGetVpiInfo answered 0\n");
  return 0;
}
