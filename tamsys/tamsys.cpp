// Stand-in for the host's logging library: prints each line with its level
// on standard error, one line per call, unless the host installed a sink
// (tamsys.h), which then receives the line instead.
#include "tamsys.h"

#include <cstdarg>
#include <cstdio>

#if defined(_WIN32)
#define TAMSYS_EXPORT __declspec(dllexport)
#else
#define TAMSYS_EXPORT __attribute__((visibility("default")))
#endif

namespace {
TamsysSink g_sink = nullptr;
void* g_sinkContext = nullptr;
}  // namespace

extern "C" {

TAMSYS_EXPORT int TAMSYS_CALL err(int level, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (g_sink != nullptr) {
    g_sink(g_sinkContext, level, line);
    return 0;
  }
  std::fprintf(stderr, "[%d] %s\n", level, line);
  std::fflush(stderr);
  return 0;
}

TAMSYS_EXPORT void TAMSYS_CALL TamsysSetSink(TamsysSink sink, void* context) {
  g_sink = sink;
  g_sinkContext = context;
}

}  // extern "C"
