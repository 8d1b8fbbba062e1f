// H1DLLNT.DLL over ISO-on-TCP (RFC 1006): the card library's eight entries,
// carrying each H1 transport connection as a TCP connection with TPKT and
// ISO 8073 class 0 framing. The blocks are those of driver/h1/blocks.h.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define H1TCP_API extern "C" __stdcall
#else
#define H1TCP_API extern "C" __attribute__((visibility("default")))
#endif

namespace h1tcp {

// Where the station map is read from at every connect: the file the
// environment variable names, else this file in the current directory.
// Lines: "<card> <station address, 12 hex digits or *> = <host>[:<port>]".
inline constexpr char kConfigEnvVar[] = "H1TCP_CONFIG";
inline constexpr char kConfigFileName[] = "H1TCP.CFG";
inline constexpr char kDefaultPort[] = "102";

// Connections open at once.
inline constexpr uint16_t kMaxConnections = 256;

// Status words the library writes into a block. 0 done, 2 and 12 as the
// driver knows them; the others are failures.
//
//  status  after         meaning
//  ------  ------------  ---------------------------------------------------
//     2    connect       every connection of the table is in use
//    12    receive       more of this message follows
//    20    connect       no station map file found
//    21    connect       no map line for this card and station address
//    22    connect       host name of the map line not resolved
//    23    connect       TCP connection refused or network unreachable
//    24    connect       no TCP connection or no connection confirm in time
//    25    connect       the peer refused the transport connection
//    26    connect       malformed connection confirm
//    27    connect/open  socket could not be created (sockets do not work)
//    28    connect       bad connect block (address or TSAP length)
//    29    connect       no map line for this card and station address, and
//                        the map file has an unreadable line (a typo?)
//    30    all           unknown connection number
//    31    send          sending failed; the connection is closed
//    32    receive       nothing (or not all of a message) in time; closed
//    33    receive       the peer closed the connection
//    34    receive       malformed TPKT or TPDU from the peer; closed
//    35    send/receive  bad length in the transfer block
//
// A connection closed by a failure keeps its number: a receive on it
// repeats the failure's status, and the next send first connects again
// (with the connect statuses above on failure). A message also starts on a
// fresh connection when the peer has closed the old one meanwhile or left
// bytes of an earlier answer unread, so no answer is taken for another.
// A receive that fails after some data of the message arrived delivers that
// data with status 12 and the failure with the next call.
inline constexpr uint16_t kStatusDone = 0;
inline constexpr uint16_t kStatusTableFull = 2;
inline constexpr uint16_t kStatusMoreData = 12;
inline constexpr uint16_t kStatusNoConfig = 20;
inline constexpr uint16_t kStatusNoMapping = 21;
inline constexpr uint16_t kStatusUnresolved = 22;
inline constexpr uint16_t kStatusRefused = 23;
inline constexpr uint16_t kStatusConnectTimeout = 24;
inline constexpr uint16_t kStatusPeerRefused = 25;
inline constexpr uint16_t kStatusBadConfirm = 26;
inline constexpr uint16_t kStatusNoSocket = 27;
inline constexpr uint16_t kStatusBadConnectBlock = 28;
inline constexpr uint16_t kStatusBadMapLine = 29;
inline constexpr uint16_t kStatusUnknownConnection = 30;
inline constexpr uint16_t kStatusSendFailed = 31;
inline constexpr uint16_t kStatusReceiveTimeout = 32;
inline constexpr uint16_t kStatusPeerClosed = 33;
inline constexpr uint16_t kStatusMalformed = 34;
inline constexpr uint16_t kStatusBadLength = 35;

// Entry results: 0 accepted (the status word tells the outcome); a connect
// that fails returns its status as the result too, so that the caller's log
// shows it. H1StoppeVerbindung returns 30 for an unknown number; the
// defaults entries return 35 for a block whose size word is below 46.

// Library timeouts until H1SetzeStandardwerte sets them (milliseconds).
inline constexpr uint32_t kDefaultReceiveTimeoutMs = 4750;  // defaults block offset 8
inline constexpr uint32_t kDefaultSendTimeoutMs = 4750;     // offset 10
inline constexpr uint32_t kDefaultConnectTimeoutMs = 5000;  // offset 30

}  // namespace h1tcp

H1TCP_API uint16_t H1DriverOpen(void);
H1TCP_API uint16_t H1DriverClose(void);
H1TCP_API uint16_t H1StarteVerbindungKarte(void* connectBlock);
H1TCP_API uint16_t H1StoppeVerbindung(uint16_t connection);
H1TCP_API uint16_t H1SendeDaten(void* transferBlock);
H1TCP_API uint16_t H1LeseDaten(void* transferBlock);
H1TCP_API uint16_t H1HoleStandardwerte(void* defaultsBlock);
H1TCP_API uint16_t H1SetzeStandardwerte(void* defaultsBlock);
