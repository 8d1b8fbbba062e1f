#include "socket_shim.h"

#include <cstring>

#include "h1tcp.h"

#if defined(_WIN32)
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#endif

namespace h1tcp {

namespace {

int RemainingMs(uint64_t deadlineMs) {
  const uint64_t now = NowMs();
  if (now >= deadlineMs) return 0;
  const uint64_t left = deadlineMs - now;
  return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

}  // namespace

#if defined(_WIN32)

const SocketHandle kNoSocket = INVALID_SOCKET;

namespace {

SRWLOCK g_tableLock = SRWLOCK_INIT;
INIT_ONCE g_startOnce = INIT_ONCE_STATIC_INIT;
bool g_started = false;

BOOL CALLBACK StartWinsock(PINIT_ONCE, PVOID, PVOID*) {
  WSADATA data;
  g_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  return TRUE;
}

bool Started() {
  InitOnceExecuteOnce(&g_startOnce, StartWinsock, nullptr, nullptr);
  return g_started;
}

// Waits until the socket is readable (or writable); 1 ready, 0 timeout, -1 error.
int Wait(SocketHandle s, bool forWrite, int timeoutMs) {
  fd_set set, failed;
  FD_ZERO(&set);
  FD_ZERO(&failed);
  FD_SET(static_cast<SOCKET>(s), &set);
  FD_SET(static_cast<SOCKET>(s), &failed);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int n = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, &failed, &tv);
  if (n < 0) return -1;
  if (n == 0) return 0;
  return FD_ISSET(static_cast<SOCKET>(s), &failed) && !FD_ISSET(static_cast<SOCKET>(s), &set) ? -1 : 1;
}

bool SetBlocking(SocketHandle s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &nonBlocking) == 0;
}

bool ConnectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool Interrupted() { return WSAGetLastError() == WSAEINTR; }
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
// After a send timeout Winsock leaves the socket in no defined state.
bool SendTimedOut() { return WSAGetLastError() == WSAETIMEDOUT; }

// A process the host starts must not keep the host's connections open.
SocketHandle NewSocket(int family, int type, int protocol) {
  const SOCKET s = socket(family, type, protocol);
  if (s != INVALID_SOCKET) SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return s;
}

// One send call, blocked at most `waitMs` (at least 1: 0 means no limit).
int SendOnce(SocketHandle s, const uint8_t* data, int length, int waitMs) {
  const DWORD ms = waitMs > 0 ? static_cast<DWORD>(waitMs) : 1;
  setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms),
             sizeof ms);
  return send(static_cast<SOCKET>(s), reinterpret_cast<const char*>(data), length, 0);
}

}  // namespace

void CloseSocket(SocketHandle s) {
  if (s != kNoSocket) closesocket(static_cast<SOCKET>(s));
}

uint64_t NowMs() { return GetTickCount64(); }

void LockTable() { AcquireSRWLockExclusive(&g_tableLock); }
void UnlockTable() { ReleaseSRWLockExclusive(&g_tableLock); }

#else

const SocketHandle kNoSocket = -1;

namespace {

pthread_mutex_t g_tableLock = PTHREAD_MUTEX_INITIALIZER;

bool Started() { return true; }

int Wait(SocketHandle s, bool forWrite, int timeoutMs) {
  pollfd p{s, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
  for (;;) {
    const int n = poll(&p, 1, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) return 0;
    // A hang-up with data still queued is readable; recv reports the end.
    return (p.revents & (POLLIN | POLLOUT | POLLHUP)) ? 1 : -1;
  }
}

bool SetBlocking(SocketHandle s, bool blocking) {
  const int flags = fcntl(s, F_GETFL, 0);
  if (flags < 0) return false;
  return fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

bool ConnectPending() { return errno == EINPROGRESS; }
bool Interrupted() { return errno == EINTR; }
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
bool SendTimedOut() { return false; }

// A child the host starts must not keep the host's connections open.
SocketHandle NewSocket(int family, int type, int protocol) {
  return socket(family, type | SOCK_CLOEXEC, protocol);
}

// One send call that never blocks; the caller waits for room. A peer that
// went away must not raise SIGPIPE in the host process.
int SendOnce(SocketHandle s, const uint8_t* data, int length, int) {
  const ssize_t n = send(s, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
  return static_cast<int>(n);
}

}  // namespace

void CloseSocket(SocketHandle s) {
  if (s != kNoSocket) close(s);
}

uint64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void LockTable() { pthread_mutex_lock(&g_tableLock); }
void UnlockTable() { pthread_mutex_unlock(&g_tableLock); }

#endif

uint16_t SocketsStart() {
  if (!Started()) return kStatusNoSocket;
  const SocketHandle s = NewSocket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) return kStatusNoSocket;
  CloseSocket(s);
  return 0;
}

uint16_t ConnectTcp(const char* host, const char* port, uint64_t deadlineMs, SocketHandle* out) {
  *out = kNoSocket;
  if (!Started()) return kStatusNoSocket;
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, port, &hints, &found) != 0 || found == nullptr) return kStatusUnresolved;

  uint16_t status = kStatusRefused;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    const SocketHandle s = NewSocket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == kNoSocket) {
      status = kStatusNoSocket;
      continue;
    }
    bool connected = false;
    if (SetBlocking(s, false)) {
      if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) {
        connected = true;
      } else if (ConnectPending()) {
        const int ready = Wait(s, true, RemainingMs(deadlineMs));
        if (ready == 0) {
          status = kStatusConnectTimeout;
        } else if (ready > 0) {
          int error = 0;
          socklen_t length = sizeof error;
          connected = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                 &length) == 0 && error == 0;
        }
      }
    }
    if (connected && SetBlocking(s, true)) {
      const int one = 1;
      setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      freeaddrinfo(found);
      *out = s;
      return 0;
    }
    CloseSocket(s);
    if (status == kStatusConnectTimeout) break;
  }
  freeaddrinfo(found);
  return status;
}

IoResult SendAll(SocketHandle s, const uint8_t* data, size_t length, uint64_t deadlineMs) {
  while (length > 0) {
    const int chunk = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    const int n = SendOnce(s, data, chunk, RemainingMs(deadlineMs));
    if (n > 0) {
      data += n;
      length -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && Interrupted()) continue;
    if (n < 0 && SendTimedOut()) return IoResult::kTimeout;
    if (n < 0 && !WouldBlock()) return IoResult::kError;
    // No room in the socket's buffer (a peer that stopped reading): wait
    // for it, but not beyond the deadline.
    if (RemainingMs(deadlineMs) == 0) return IoResult::kTimeout;
    const int ready = Wait(s, true, RemainingMs(deadlineMs));
    if (ready == 0) return IoResult::kTimeout;
    if (ready < 0) return IoResult::kError;
  }
  return IoResult::kOk;
}

bool Readable(SocketHandle s) { return Wait(s, false, 0) != 0; }

IoResult ReceiveExact(SocketHandle s, uint8_t* data, size_t length, uint64_t deadlineMs) {
  while (length > 0) {
    const int ready = Wait(s, false, RemainingMs(deadlineMs));
    if (ready == 0) return IoResult::kTimeout;
    if (ready < 0) return IoResult::kError;
    const int chunk = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    const auto n = recv(s, reinterpret_cast<char*>(data), chunk, 0);
    if (n == 0) return IoResult::kClosed;
    if (n < 0) {
      if (Interrupted()) continue;
      return IoResult::kError;
    }
    data += n;
    length -= static_cast<size_t>(n);
  }
  return IoResult::kOk;
}

}  // namespace h1tcp
