#include "server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "common/bytes.h"
#include "cotp.h"

namespace s5sim {

using namespace h1tcp;

namespace {

// The largest request: a header and a write of 65535 words.
constexpr size_t kMaxRequest = kHeaderSize + 2 * 65535;
std::atomic<bool> g_exitArmed{true};

bool ReadExact(int fd, uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t got = recv(fd, p, n, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t put = send(fd, p, n, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

// One TPKT: false when the peer closed or the header is not a TPKT's.
bool ReadTpkt(int fd, std::vector<uint8_t>* payload) {
  uint8_t header[kTpktHeaderSize];
  size_t length = 0;
  if (!ReadExact(fd, header, sizeof header) || !ParseTpktHeader(header, &length)) return false;
  payload->resize(length);
  return ReadExact(fd, payload->data(), length);
}

std::string Trimmed(const uint8_t* p, size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

uint8_t SizeCode(uint32_t bytes) {
  uint8_t code = kTpduSizeMinCode;
  while (code < kTpduSizeMaxCode && (1u << (code + 1)) <= bytes) ++code;
  return code;
}

}  // namespace

bool Server::Listen(std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(options_.host.c_str(), options_.port.c_str(), &hints, &found); rc != 0) {
    *error = "cannot resolve " + options_.host + ": " + gai_strerror(rc);
    return false;
  }
  for (addrinfo* a = found; a != nullptr && listener_ < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 128) == 0) {
      listener_ = fd;
    } else {
      *error = "cannot listen on " + options_.host + ":" + options_.port + ": " + std::strerror(errno);
      close(fd);
    }
  }
  freeaddrinfo(found);
  if (listener_ < 0) return false;
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
  port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return true;
}

void Server::Run() {
  unsigned next = 1;
  for (;;) {
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
        if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      std::perror("s5sim: accept");
      return;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::thread([this, fd, id = next++] { Session(fd, id); }).detach();
  }
}

bool Server::Accepts(const uint8_t* tsap, size_t length, bool calling) const {
  const std::vector<std::string>& allowed = calling ? options_.callingTsaps : options_.calledTsaps;
  if (allowed.empty()) return true;
  const std::string name = Trimmed(tsap, length);
  for (const std::string& a : allowed) {
    if (Trimmed(reinterpret_cast<const uint8_t*>(a.data()), a.size()) == name) return true;
  }
  return false;
}

bool Server::SendAnswer(int fd, const uint8_t* data, size_t length, size_t dtRoom, bool eot) {
  std::vector<uint8_t> frame(kDtFrameOverhead + dtRoom);
  size_t sent = 0;
  do {
    const size_t n = length - sent < dtRoom ? length - sent : dtRoom;
    const bool last = sent + n == length;
    PutDtHeader(frame.data(), n, last && eot);
    std::memcpy(frame.data() + kDtFrameOverhead, data + sent, n);
    // Header and data in one send: no small-segment stall.
    if (!WriteAll(fd, frame.data(), kDtFrameOverhead + n)) return false;
    sent += n;
  } while (sent < length);
  return true;
}

void Server::Session(int fd, unsigned id) {
  auto log = [&](const std::string& line) {
    if (!options_.verbose) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::printf("s5sim: connection %u: %s\n", id, line.c_str());
    std::fflush(stdout);
  };
  std::vector<uint8_t> payload;
  ConnectTpdu cr;
  if (!ReadTpkt(fd, &payload) || !ParseConnectTpdu(payload.data(), payload.size(), &cr) ||
      cr.code != kTpduCr) {
    log("no connection request: closed");
    close(fd);
    return;
  }
  const uint16_t ownRef = static_cast<uint16_t>(0x4000 | (id & 0x3FFF));
  if ((cr.classOption & 0xF0) != 0 || !Accepts(cr.calling, cr.callingLength, true) ||
      !Accepts(cr.called, cr.calledLength, false)) {
    uint8_t dr[kDisconnectFrameSize];
    BuildDisconnectFrame(cr.srcRef, ownRef, 0, dr);
    WriteAll(fd, dr, sizeof dr);
    log("connection request refused (class or TSAP)");
    close(fd);
    return;
  }
  uint8_t code = cr.tpduSizeCode ? cr.tpduSizeCode : kTpduSizeDefaultCode;
  const uint8_t ours = SizeCode(options_.tpduSize);
  if (code > ours) code = ours;
  if (code < kTpduSizeMinCode) code = kTpduSizeMinCode;
  ConnectTpdu cc = cr;
  cc.code = kTpduCc;
  cc.dstRef = cr.srcRef;
  cc.srcRef = ownRef;
  cc.classOption = 0;
  cc.tpduSizeCode = code;
  uint8_t frame[kTpktHeaderSize + 256];
  const size_t ccLength = BuildConnectFrame(cc, frame, sizeof frame);
  if (ccLength == 0 || !WriteAll(fd, frame, ccLength)) {
    close(fd);
    return;
  }
  log("connected, calling TSAP '" + Trimmed(cr.calling, cr.callingLength) + "', called TSAP '" +
      Trimmed(cr.called, cr.calledLength) + "', TPDU size " + std::to_string(1u << code));

  size_t dtRoom = (size_t{1} << code) - kDtHeaderSize;
  if (options_.faults.maxDtData != 0 && options_.faults.maxDtData < dtRoom) {
    dtRoom = options_.faults.maxDtData;
  }
  std::vector<uint8_t> request;
  uint32_t answered = 0;
  for (;;) {
    if (!ReadTpkt(fd, &payload)) {
      log("closed by the peer or not a TPKT");
      break;
    }
    const size_t li = payload[0];
    const uint8_t tpdu = payload[1] & 0xF0;
    if (tpdu == kTpduDr) {
      log("disconnect request");
      break;
    }
    if (tpdu != kTpduDt || li < 2 || li + 1 > payload.size()) {
      log("unexpected TPDU: closed");
      break;
    }
    const size_t dataLength = payload.size() - (li + 1);
    if (request.size() + dataLength > kMaxRequest) {
      log("request too long: closed");
      break;
    }
    request.insert(request.end(), payload.begin() + static_cast<long>(li + 1), payload.end());
    if ((payload[2] & kDtEot) == 0) continue;

    std::vector<uint8_t> answer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      answer = controller_.Handle(request.data(), request.size());
      if (options_.verbose) {
        std::printf("s5sim: connection %u: %s\n", id,
                    DescribeExchange(request.data(), request.size(), answer).c_str());
        std::fflush(stdout);
      }
    }
    request.clear();
    if (answer.empty()) break;  // not a request at all
    if (options_.faults.delayMs != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.faults.delayMs));
    }
    const bool exitNow = options_.faults.exitMidAnswer && g_exitArmed.exchange(false);
    if (options_.faults.dropMidAnswer || exitNow) {
      const size_t half = answer.size() / 2;
      SendAnswer(fd, answer.data(), half, dtRoom, false);
      if (exitNow) {
        log("ending the program in the middle of an answer");
        std::_Exit(3);
      }
      log("connection dropped in the middle of an answer");
      break;
    }
    if (!SendAnswer(fd, answer.data(), answer.size(), dtRoom, true)) break;
    if (options_.faults.dropAfter != 0 && ++answered >= options_.faults.dropAfter) {
      log("connection dropped after " + std::to_string(answered) + " answers");
      break;
    }
  }
  close(fd);
}

}  // namespace s5sim
