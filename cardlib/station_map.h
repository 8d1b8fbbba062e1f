// The station map: which host and port carry the connections to a station,
// by card number and the station's 6-byte Ethernet address.
//
//   # comment (also ';')
//   0 080006010203 = 127.0.0.1:102
//   0 08:00:06:01:02:04 = plc4.example:1102
//   1 * = 192.168.1.10            (any other station of card 1, port 102)
//   0 0800060102AA = [::1]:102
//
// An exact address wins over '*'; of several equal lines the first counts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace h1tcp {

inline constexpr size_t kMaxHost = 256;
inline constexpr size_t kMaxPort = 8;

struct StationTarget {
  char host[kMaxHost] = {};
  char port[kMaxPort] = {};
};

// One line of the map. Returns true for a map line (filled in), false for a
// blank line, a comment or a line it cannot read.
struct MapLine {
  uint16_t card = 0;
  bool anyStation = false;
  uint8_t mac[6] = {};
  StationTarget target;
};
bool ParseMapLine(const char* line, MapLine* out);

// Looks the station up in the map file at `path`: 0 and the target, or
// kStatusNoConfig (file not readable), kStatusNoMapping, or
// kStatusBadMapLine when no line matched and some line could not be read.
uint16_t LookupStationIn(const char* path, uint16_t card, const uint8_t* mac, StationTarget* out);

// The same in the map the library uses: the file named by H1TCP_CONFIG,
// else H1TCP.CFG in the current directory.
uint16_t LookupStation(uint16_t card, const uint8_t* mac, StationTarget* out);

}  // namespace h1tcp
