// The stand-in host logging library's interface. The driver calls only err;
// a host may in addition take every line itself through TamsysSetSink, to
// filter, format or attach the lines to its own requests. Without a sink
// each line goes to standard error as "[level] text".
#pragma once

#if defined(_WIN32)
#define TAMSYS_CALL __cdecl
#else
#define TAMSYS_CALL
#endif

extern "C" {

// Receives one formatted line (no line feed) with its level.
typedef void(TAMSYS_CALL* TamsysSink)(void* context, int level, const char* line);

// Hands every later line to `sink` instead of printing it; a null sink
// returns to printing. Hosts find it by name ("TamsysSetSink").
typedef void(TAMSYS_CALL* TamsysSetSinkFn)(TamsysSink sink, void* context);

}  // extern "C"
