// A listening TCP socket on 127.0.0.1 and a port the system chooses, for
// tests that play a peer of their own.
#pragma once

#include <cstdint>

namespace posix_test {

// The listening socket, or -1 when it cannot be set up; `port` receives the
// chosen port (0 on failure).
int ListenOnLoopback(uint16_t* port, int backlog = 1);

}  // namespace posix_test
