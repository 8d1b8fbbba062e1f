#include "socket_shim.h"

#include "loopback.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace h1tcp {
namespace {

// A listener whose connections are never accepted nor read: once the
// socket buffers are full, every send waits.
class SilentPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    uint16_t port = 0;
    listener_ = posix_test::ListenOnLoopback(&port, 4);
    ASSERT_GE(listener_, 0);
    port_ = std::to_string(port);
    ASSERT_EQ(ConnectTcp("127.0.0.1", port_.c_str(), NowMs() + 2000, &s_), 0);
  }
  void TearDown() override {
    CloseSocket(s_);
    close(listener_);
  }

  int listener_ = -1;
  std::string port_;
  SocketHandle s_ = kNoSocket;
};

TEST_F(SilentPeer, SendAllEndsAtItsDeadlineAndASendThatFitsNeedsNoTime) {
  // What fits the buffer goes out even with no time left.
  const uint8_t small[16] = {1, 2, 3};
  EXPECT_EQ(SendAll(s_, small, sizeof small, NowMs()), IoResult::kOk);

  // Far more than loopback buffers hold: the deadline ends the wait.
  const std::vector<uint8_t> big(64u << 20, 0x5A);
  const uint64_t t0 = NowMs();
  EXPECT_EQ(SendAll(s_, big.data(), big.size(), t0 + 100), IoResult::kTimeout);
  const uint64_t waited = NowMs() - t0;
  EXPECT_GE(waited, 95u);
  EXPECT_LT(waited, 100u + 150u);  // room for a loaded machine
}

}  // namespace
}  // namespace h1tcp
