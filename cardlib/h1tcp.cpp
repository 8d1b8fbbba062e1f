// The card library's entries over ISO-on-TCP. Each H1 connection is one TCP
// connection to the host and port the station map gives for the station,
// opened with a COTP connection request that carries the direction TSAP as
// calling and the station TSAP as called TSAP.
#include "h1tcp.h"

#include <atomic>
#include <cstring>

#include "common/bytes.h"
#include "cotp.h"
#include "h1/blocks.h"
#include "socket_shim.h"
#include "station_map.h"

namespace h1tcp {

using kesta::GetLe16;
using kesta::GetLe32;
using kesta::PutLe16;
using kesta::PutLe32;

namespace {

// The TPDU size offered in every connection request: 1024 bytes.
constexpr uint8_t kOfferedTpduSizeCode = 10;
// The most a CC may take: TPKT header plus a payload of LI (255) + 1.
constexpr size_t kMaxConfirm = 260;
// A send piece must fit the transfer block behind offset 10.
constexpr size_t kMaxSendLength = kesta::kTransferBlockSize - kesta::kTbSendData;
constexpr size_t kMaxConnectTsap = 16;
constexpr uint32_t kDisconnectWaitMs = 200;

struct Connection {
  bool used = false;
  SocketHandle socket = kNoSocket;
  uint16_t failure = 0;     // status of the failure that closed it; 0 while it works
  bool midSend = false;     // the last piece sent said that more pieces follow
  uint16_t srcRef = 0;
  uint16_t dstRef = 0;
  size_t maxTpdu = 128;
  // The TPDU being delivered: data bytes not yet read, and whether it ends
  // the message. `tpduLeft` 0 with `tpduEot` true: between messages.
  size_t tpduLeft = 0;
  bool tpduEot = true;
  // What a reconnect needs.
  StationTarget target;
  uint8_t calling[kMaxConnectTsap] = {};
  uint8_t callingLength = 0;
  uint8_t called[kMaxConnectTsap] = {};
  uint8_t calledLength = 0;
};

Connection g_connections[kMaxConnections];
uint16_t g_nextSlot = 0;  // where the search for a free number starts
std::atomic<uint16_t> g_nextRef{1};
std::atomic<uint32_t> g_receiveTimeoutMs{kDefaultReceiveTimeoutMs};
std::atomic<uint32_t> g_sendTimeoutMs{kDefaultSendTimeoutMs};
std::atomic<uint32_t> g_connectTimeoutMs{kDefaultConnectTimeoutMs};

// The defaults block as the last H1SetzeStandardwerte left it.
uint8_t g_defaults[kesta::kDefaultsBlockSize];
bool g_defaultsSet = false;

void InitialDefaults(uint8_t* block) {
  std::memset(block, 0, kesta::kDefaultsBlockSize);
  PutLe16(block + kesta::kDbSize, static_cast<uint16_t>(kesta::kDefaultsBlockSize));
  PutLe16(block + kesta::kDbTimeoutA, static_cast<uint16_t>(kDefaultReceiveTimeoutMs));
  PutLe16(block + kesta::kDbTimeoutB, static_cast<uint16_t>(kDefaultSendTimeoutMs));
  PutLe32(block + kesta::kDbTimeoutMs, kDefaultConnectTimeoutMs);
}

// Connection number (1 to kMaxConnections) to its entry, or nullptr.
Connection* Find(uint16_t number) {
  if (number == 0 || number > kMaxConnections) return nullptr;
  Connection* c = &g_connections[number - 1];
  LockTable();
  const bool used = c->used;
  UnlockTable();
  return used ? c : nullptr;
}

void Fail(Connection* c, uint16_t status) {
  CloseSocket(c->socket);
  c->socket = kNoSocket;
  c->failure = status;
  c->tpduLeft = 0;
  c->tpduEot = true;
}

// TCP connection, connection request, connection confirm.
uint16_t Establish(Connection* c) {
  const uint64_t deadline = NowMs() + g_connectTimeoutMs.load();
  SocketHandle s = kNoSocket;
  const uint16_t tcp = ConnectTcp(c->target.host, c->target.port, deadline, &s);
  if (tcp != 0) return tcp;

  ConnectTpdu request;
  request.code = kTpduCr;
  request.srcRef = c->srcRef = g_nextRef.fetch_add(1) | 0x0100;
  request.classOption = 0;
  request.tpduSizeCode = kOfferedTpduSizeCode;
  request.callingLength = c->callingLength;
  std::memcpy(request.calling, c->calling, c->callingLength);
  request.calledLength = c->calledLength;
  std::memcpy(request.called, c->called, c->calledLength);
  uint8_t frame[kMaxConfirm];
  const size_t length = BuildConnectFrame(request, frame, sizeof frame);
  if (length == 0 || SendAll(s, frame, length, deadline) != IoResult::kOk) {
    CloseSocket(s);
    return kStatusPeerRefused;
  }

  uint16_t status = 0;
  size_t payload = 0;
  ConnectTpdu confirm;
  switch (ReceiveExact(s, frame, kTpktHeaderSize, deadline)) {
    case IoResult::kOk:
      break;
    case IoResult::kTimeout:
      status = kStatusConnectTimeout;
      break;
    default:
      status = kStatusPeerRefused;  // a peer that rejects the TSAPs may just close
      break;
  }
  if (status == 0 && (!ParseTpktHeader(frame, &payload) || payload > sizeof frame)) {
    status = kStatusBadConfirm;
  }
  if (status == 0) {
    const IoResult r = ReceiveExact(s, frame, payload, deadline);
    if (r == IoResult::kTimeout) status = kStatusConnectTimeout;
    else if (r != IoResult::kOk) status = kStatusPeerRefused;
  }
  if (status == 0) {
    if (!ParseConnectTpdu(frame, payload, &confirm)) status = kStatusBadConfirm;
    else if (confirm.code == kTpduDr) status = kStatusPeerRefused;
    else if (confirm.code != kTpduCc || confirm.dstRef != c->srcRef ||
             (confirm.classOption & 0xF0) != 0) status = kStatusBadConfirm;
  }
  if (status != 0) {
    CloseSocket(s);
    return status;
  }
  uint8_t code = confirm.tpduSizeCode ? confirm.tpduSizeCode : kTpduSizeDefaultCode;
  if (code < kTpduSizeMinCode || code > kOfferedTpduSizeCode) code = kTpduSizeDefaultCode;
  c->maxTpdu = size_t{1} << code;
  c->dstRef = confirm.srcRef;
  c->socket = s;
  c->failure = 0;
  c->midSend = false;
  c->tpduLeft = 0;
  c->tpduEot = true;
  return 0;
}

// The status a failed receive leaves on a connection.
uint16_t ReceiveStatus(IoResult r) {
  switch (r) {
    case IoResult::kOk: return 0;
    case IoResult::kTimeout: return kStatusReceiveTimeout;
    default: return kStatusPeerClosed;  // closed, or reset by the peer
  }
}

// Reads the next TPDU's header: a DT gives its data length and EOT bit.
// Returns 0 or the status that fails the connection.
uint16_t NextDt(Connection* c, uint64_t deadline) {
  // A peer that keeps sending empty TPDUs must not hold the caller forever.
  if (NowMs() > deadline) return kStatusReceiveTimeout;
  auto read = [c, deadline](uint8_t* p, size_t n) {
    return ReceiveStatus(ReceiveExact(c->socket, p, n, deadline));
  };
  uint8_t header[kTpktHeaderSize + 256];
  if (const uint16_t status = read(header, kTpktHeaderSize); status != 0) return status;
  size_t payload = 0;
  if (!ParseTpktHeader(header, &payload)) return kStatusMalformed;
  // LI and code first; the rest of the TPDU header follows by LI.
  uint8_t* tpdu = header + kTpktHeaderSize;
  if (const uint16_t status = read(tpdu, 2); status != 0) return status;
  const size_t li = tpdu[0];
  if (li < 1 || li + 1 > payload) return kStatusMalformed;
  if (li > 1) {
    if (const uint16_t status = read(tpdu + 2, li - 1); status != 0) return status;
  }
  const uint8_t code = tpdu[1] & 0xF0;
  if (code == kTpduDr) return kStatusPeerClosed;
  if (code != kTpduDt || li < 2) return kStatusMalformed;
  c->tpduLeft = payload - (li + 1);
  c->tpduEot = (tpdu[2] & kDtEot) != 0;
  return 0;
}

// Sends `length` bytes as DT TPDUs of the negotiated size, EOT on the last
// when `eot`. Each TPDU goes out in one send call, header and data together.
uint16_t SendDt(Connection* c, const uint8_t* data, size_t length, bool eot) {
  const uint64_t deadline = NowMs() + g_sendTimeoutMs.load();
  const size_t room = c->maxTpdu - kDtHeaderSize;
  uint8_t frame[kDtFrameOverhead + kMaxSendLength];
  size_t sent = 0;
  do {
    const size_t n = length - sent < room ? length - sent : room;
    const bool last = sent + n == length;
    PutDtHeader(frame, n, last && eot);
    if (n != 0) std::memcpy(frame + kDtFrameOverhead, data + sent, n);
    if (SendAll(c->socket, frame, kDtFrameOverhead + n, deadline) != IoResult::kOk) {
      return kStatusSendFailed;
    }
    sent += n;
  } while (sent < length);
  return 0;
}

}  // namespace

}  // namespace h1tcp

using namespace h1tcp;

H1TCP_API uint16_t H1DriverOpen(void) { return SocketsStart(); }

H1TCP_API uint16_t H1DriverClose(void) {
  for (uint16_t n = 1; n <= kMaxConnections; ++n) {
    if (Find(n) != nullptr) H1StoppeVerbindung(n);
  }
  return 0;
}

H1TCP_API uint16_t H1StarteVerbindungKarte(void* connectBlock) {
  if (connectBlock == nullptr) return kStatusBadConnectBlock;
  uint8_t* block = static_cast<uint8_t*>(connectBlock);
  auto answer = [block](uint16_t status) {
    PutLe16(block + kesta::kCbStatus, status);
    return status == kStatusTableFull ? uint16_t{0} : status;
  };

  const uint8_t callingLength = block[kesta::kCbOwnTsapLength];
  const uint8_t calledLength = block[kesta::kCbStationTsapLength];
  if (block[kesta::kCbMacLength] != 6 || callingLength > kMaxConnectTsap ||
      calledLength > kMaxConnectTsap) {
    return answer(kStatusBadConnectBlock);
  }
  StationTarget target;
  const uint16_t card = GetLe16(block + kesta::kCbCard);
  if (const uint16_t status = LookupStation(card, block + kesta::kCbMac, &target); status != 0) {
    return answer(status);
  }
  if (const uint16_t status = SocketsStart(); status != 0) return answer(status);

  // Take a free number; the slow connect runs outside the table lock.
  Connection* c = nullptr;
  uint16_t number = 0;
  // Numbers go round the table, so that a number closed a while ago does
  // not come back at once: a caller that closes a stale number again then
  // misses rather than hitting someone else's new connection.
  LockTable();
  for (uint16_t k = 0; k < kMaxConnections; ++k) {
    const uint16_t i = static_cast<uint16_t>((g_nextSlot + k) % kMaxConnections);
    if (!g_connections[i].used) {
      c = &g_connections[i];
      *c = Connection{};
      c->used = true;
      number = static_cast<uint16_t>(i + 1);
      g_nextSlot = static_cast<uint16_t>((i + 1) % kMaxConnections);
      break;
    }
  }
  UnlockTable();
  if (c == nullptr) return answer(kStatusTableFull);

  c->target = target;
  c->callingLength = callingLength;
  std::memcpy(c->calling, block + kesta::kCbOwnTsap, callingLength);
  c->calledLength = calledLength;
  std::memcpy(c->called, block + kesta::kCbStationTsap, calledLength);
  if (const uint16_t status = Establish(c); status != 0) {
    LockTable();
    c->used = false;
    UnlockTable();
    return answer(status);
  }
  PutLe16(block + kesta::kCbConnection, number);
  return answer(0);
}

H1TCP_API uint16_t H1StoppeVerbindung(uint16_t connection) {
  Connection* c = Find(connection);
  if (c == nullptr) return kStatusUnknownConnection;
  if (c->socket != kNoSocket) {
    uint8_t frame[kDisconnectFrameSize];
    BuildDisconnectFrame(c->dstRef, c->srcRef, 0, frame);
    SendAll(c->socket, frame, sizeof frame, NowMs() + kDisconnectWaitMs);
    CloseSocket(c->socket);
    c->socket = kNoSocket;
  }
  LockTable();
  c->used = false;
  UnlockTable();
  return 0;
}

H1TCP_API uint16_t H1SendeDaten(void* transferBlock) {
  if (transferBlock == nullptr) return kStatusBadLength;
  uint8_t* block = static_cast<uint8_t*>(transferBlock);
  const uint16_t word = GetLe16(block + kesta::kTbConnection);
  const bool more = (word & kesta::kTbMorePieces) != 0;
  const uint16_t length = GetLe16(block + kesta::kTbLength);
  auto answer = [block](uint16_t status) {
    PutLe16(block + kesta::kTbSendStatus, status);
    return uint16_t{0};
  };

  Connection* c = Find(word & 0x7FFF);
  if (c == nullptr) return answer(kStatusUnknownConnection);
  if (length > kMaxSendLength) return answer(kStatusBadLength);
  // Between messages nothing may be waiting: what is there is the peer's
  // end of the connection or (the rest of) an answer nobody waits for any
  // more. Either way the new message goes out on a fresh connection.
  if (c->failure == 0 && !c->midSend &&
      (c->tpduLeft != 0 || !c->tpduEot || Readable(c->socket))) {
    Fail(c, kStatusPeerClosed);
  }
  if (c->failure != 0) {
    // The rest of a message whose start was lost fails too; a new message
    // connects again first.
    if (c->midSend) {
      c->midSend = more;
      return answer(c->failure);
    }
    if (const uint16_t status = Establish(c); status != 0) {
      c->failure = status;
      return answer(status);
    }
  }
  if (const uint16_t status = SendDt(c, block + kesta::kTbSendData, length, !more); status != 0) {
    Fail(c, status);
    c->midSend = more;
    return answer(status);
  }
  c->midSend = more;
  return answer(0);
}

H1TCP_API uint16_t H1LeseDaten(void* transferBlock) {
  if (transferBlock == nullptr) return kStatusBadLength;
  uint8_t* block = static_cast<uint8_t*>(transferBlock);
  PutLe16(block + kesta::kTbReceived, 0);
  auto answer = [block](uint16_t status) {
    PutLe16(block + kesta::kTbReceiveStatus, status);
    return uint16_t{0};
  };

  Connection* c = Find(GetLe16(block + kesta::kTbConnection) & 0x7FFF);
  if (c == nullptr) return answer(kStatusUnknownConnection);
  // The requested length counts from the start of the block.
  const size_t requested = GetLe16(block + kesta::kTbLength);
  size_t room = requested > kesta::kTbReceiveData ? requested - kesta::kTbReceiveData : 0;
  if (room > kesta::kMaxReceivePiece) room = kesta::kMaxReceivePiece;
  if (room == 0) return answer(kStatusBadLength);
  if (c->failure != 0) return answer(c->failure);

  // Fill the piece from as many TPDUs of the message as fit. A failure
  // after some data hands that data over as a piece (12) and the failure
  // with the next call, so no byte that arrived is lost.
  const uint64_t deadline = NowMs() + g_receiveTimeoutMs.load();
  uint8_t* data = block + kesta::kTbReceiveData;
  size_t filled = 0;
  bool started = false;
  uint16_t failure = 0;
  while (failure == 0) {
    if (c->tpduLeft == 0) {
      if (c->tpduEot && started) break;  // the message ended
      if (!c->tpduEot && filled == room) break;
      failure = NextDt(c, deadline);
      started = true;
      continue;
    }
    started = true;
    if (filled == room) break;
    const size_t n = c->tpduLeft < room - filled ? c->tpduLeft : room - filled;
    failure = ReceiveStatus(ReceiveExact(c->socket, data + filled, n, deadline));
    if (failure == 0) {
      filled += n;
      c->tpduLeft -= n;
    }
  }
  if (failure != 0) {
    Fail(c, failure);
    if (filled == 0) return answer(failure);
  }
  PutLe16(block + kesta::kTbReceived, static_cast<uint16_t>(filled));
  const bool ended = failure == 0 && c->tpduLeft == 0 && c->tpduEot;
  return answer(ended ? kStatusDone : kStatusMoreData);
}

H1TCP_API uint16_t H1HoleStandardwerte(void* defaultsBlock) {
  if (defaultsBlock == nullptr) return kStatusBadLength;
  uint8_t* block = static_cast<uint8_t*>(defaultsBlock);
  if (GetLe16(block + kesta::kDbSize) < kesta::kDefaultsBlockSize) return kStatusBadLength;
  LockTable();
  if (!g_defaultsSet) InitialDefaults(g_defaults);
  std::memcpy(block, g_defaults, kesta::kDefaultsBlockSize);
  UnlockTable();
  return 0;
}

H1TCP_API uint16_t H1SetzeStandardwerte(void* defaultsBlock) {
  if (defaultsBlock == nullptr) return kStatusBadLength;
  const uint8_t* block = static_cast<const uint8_t*>(defaultsBlock);
  if (GetLe16(block + kesta::kDbSize) < kesta::kDefaultsBlockSize) return kStatusBadLength;
  uint32_t receive = GetLe16(block + kesta::kDbTimeoutA);
  uint32_t send = GetLe16(block + kesta::kDbTimeoutB);
  const uint32_t connect = GetLe32(block + kesta::kDbTimeoutMs);
  // 95 % of a timeout of 68986 ms or more does not fit the 16-bit fields,
  // which then hold only its low bits: take it from the 32-bit field.
  if (connect >= 68986) receive = send = static_cast<uint32_t>(uint64_t{connect} * 95 / 100);
  LockTable();
  std::memcpy(g_defaults, block, kesta::kDefaultsBlockSize);
  g_defaultsSet = true;
  UnlockTable();
  g_receiveTimeoutMs = receive ? receive : kDefaultReceiveTimeoutMs;
  g_sendTimeoutMs = send ? send : kDefaultSendTimeoutMs;
  g_connectTimeoutMs = connect ? connect : kDefaultConnectTimeoutMs;
  return 0;
}
