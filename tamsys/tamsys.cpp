// Stand-in for the host's logging library: prints each line with its level
// on standard error, one line per call.
#include <cstdarg>
#include <cstdio>

#if defined(_WIN32)
#define TAMSYS_CALL __cdecl
#else
#define TAMSYS_CALL
#endif

extern "C" {

#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
int TAMSYS_CALL err(int level, const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "[%d] %s\n", level, line);
  std::fflush(stderr);
  return 0;
}

}  // extern "C"
