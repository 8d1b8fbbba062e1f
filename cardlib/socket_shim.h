// The few socket operations the card library needs, the same on POSIX and
// Winsock. Everything that differs between the two lives in socket_shim.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace h1tcp {

#if defined(_WIN32)
using SocketHandle = uintptr_t;  // SOCKET
#else
using SocketHandle = int;
#endif
extern const SocketHandle kNoSocket;

enum class IoResult { kOk, kTimeout, kClosed, kError };

// Starts the socket layer once per process and checks that a TCP socket
// can be created. Returns 0 or kStatusNoSocket.
uint16_t SocketsStart();

// TCP connection to host:port (name or numeric) within the time left until
// `deadlineMs`, with TCP_NODELAY. Returns 0 and the socket, or a connect
// status of h1tcp.h.
uint16_t ConnectTcp(const char* host, const char* port, uint64_t deadlineMs, SocketHandle* out);

// All of `length` bytes with as few send calls as the socket allows, in
// the time left until `deadlineMs` (a peer that stops reading gives kTimeout).
IoResult SendAll(SocketHandle s, const uint8_t* data, size_t length, uint64_t deadlineMs);
// Exactly `length` bytes, waiting at most until `deadlineMs`.
IoResult ReceiveExact(SocketHandle s, uint8_t* data, size_t length, uint64_t deadlineMs);

// True when something is waiting to be read at once (data, or the peer's
// end of the connection).
bool Readable(SocketHandle s);

void CloseSocket(SocketHandle s);

// Monotonic milliseconds.
uint64_t NowMs();

// The lock around the connection table.
void LockTable();
void UnlockTable();

}  // namespace h1tcp
