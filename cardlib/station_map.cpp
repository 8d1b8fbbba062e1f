#include "station_map.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "h1tcp.h"

namespace h1tcp {

namespace {

const char* SkipBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool EndOfLine(char c) { return c == '\0' || c == '\r' || c == '\n' || c == '#' || c == ';'; }

// Copies [from, to) into a NUL-terminated field of `capacity` bytes.
bool CopyField(const char* from, const char* to, char* field, size_t capacity) {
  const size_t n = static_cast<size_t>(to - from);
  if (n == 0 || n >= capacity) return false;
  std::memcpy(field, from, n);
  field[n] = '\0';
  return true;
}

}  // namespace

bool ParseMapLine(const char* line, MapLine* out) {
  *out = MapLine{};
  const char* p = SkipBlanks(line);
  if (EndOfLine(*p)) return false;

  // Card number, decimal.
  unsigned long card = 0;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') {
    card = card * 10 + static_cast<unsigned long>(*p - '0');
    if (card > 0xFFFF) return false;
    ++p;
  }
  if (p == digits || (*p != ' ' && *p != '\t')) return false;
  out->card = static_cast<uint16_t>(card);
  p = SkipBlanks(p);

  // Station address: '*' or 12 hex digits, optionally ':' or '-' between pairs.
  if (*p == '*') {
    out->anyStation = true;
    ++p;
  } else {
    for (int i = 0; i < 6; ++i) {
      if (i > 0 && (*p == ':' || *p == '-')) ++p;
      const int hi = HexValue(p[0]);
      const int lo = hi < 0 ? -1 : HexValue(p[1]);
      if (lo < 0) return false;
      out->mac[i] = static_cast<uint8_t>(hi << 4 | lo);
      p += 2;
    }
  }
  p = SkipBlanks(p);
  if (*p != '=') return false;
  p = SkipBlanks(p + 1);

  // host[:port], or [v6 address][:port].
  const char* hostStart = p;
  const char* hostEnd = nullptr;
  if (*p == '[') {
    hostStart = ++p;
    while (*p != ']' && !EndOfLine(*p)) ++p;
    if (*p != ']') return false;
    hostEnd = p++;
  } else {
    while (!EndOfLine(*p) && *p != ':' && *p != ' ' && *p != '\t') ++p;
    hostEnd = p;
  }
  if (!CopyField(hostStart, hostEnd, out->target.host, sizeof out->target.host)) return false;
  if (*p == ':') {
    const char* portStart = ++p;
    unsigned long port = 0;
    while (*p >= '0' && *p <= '9') {
      port = port * 10 + static_cast<unsigned long>(*p - '0');
      if (port > 65535) return false;
      ++p;
    }
    if (p == portStart || port == 0) return false;
    if (!CopyField(portStart, p, out->target.port, sizeof out->target.port)) return false;
  } else {
    std::memcpy(out->target.port, kDefaultPort, sizeof kDefaultPort);
  }
  p = SkipBlanks(p);
  return EndOfLine(*p);
}

uint16_t LookupStationIn(const char* path, uint16_t card, const uint8_t* mac, StationTarget* out) {
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return kStatusNoConfig;
  bool haveWildcard = false;
  StationTarget wildcard;
  char line[512];
  bool found = false;
  // A line that is neither blank, a comment nor a map line may be the one
  // meant for this station, mistyped.
  bool unreadable = false;
  while (!found && std::fgets(line, sizeof line, file) != nullptr) {
    const size_t n = std::strlen(line);
    const bool blank = EndOfLine(*SkipBlanks(line));
    if (n > 0 && line[n - 1] != '\n' && !std::feof(file)) {
      // Longer than any map line can be: skip it whole.
      int c;
      while ((c = std::fgetc(file)) != EOF && c != '\n') {
      }
      if (!blank) unreadable = true;
      continue;
    }
    MapLine entry;
    if (!ParseMapLine(line, &entry)) {
      if (!blank) unreadable = true;
      continue;
    }
    if (entry.card != card) continue;
    if (entry.anyStation) {
      if (!haveWildcard) wildcard = entry.target;
      haveWildcard = true;
    } else if (std::memcmp(entry.mac, mac, 6) == 0) {
      *out = entry.target;
      found = true;
    }
  }
  std::fclose(file);
  if (found) return 0;
  if (!haveWildcard) return unreadable ? kStatusBadMapLine : kStatusNoMapping;
  *out = wildcard;
  return 0;
}

uint16_t LookupStation(uint16_t card, const uint8_t* mac, StationTarget* out) {
  const char* path = std::getenv(kConfigEnvVar);
  if (path == nullptr || *path == '\0') path = kConfigFileName;
  return LookupStationIn(path, card, mac, out);
}

}  // namespace h1tcp
