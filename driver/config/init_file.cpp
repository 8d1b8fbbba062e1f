#include "config/init_file.h"

#include <cstring>

#include "config/line_scan.h"
#include "config/work_area.h"
#include "host/log.h"

namespace kesta {
namespace {

constexpr char kMsgNoInitFile[] = "KESTA> ColdStart() ERROR, no initfile found";
constexpr char kMsgBlocksIgnored[] = "KESTA> ReadInitFile() info: 'BLOCKS' ignored";
constexpr char kMsgReleaseIgnored[] = "KESTA> ReadInitFile() info: 'RELEASE' ignored";
constexpr char kMsgVersionIgnored[] = "KESTA> ReadInitFile() info: 'VERSION' ignored";
constexpr char kMsgCard[] = "KESTA> ReadInitFile() CARD= %01u";
constexpr char kMsgReadTsap[] = "KESTA> ReadInitFile() RTSAP= '%s'";
constexpr char kMsgWriteTsap[] = "KESTA> ReadInitFile() WTSAP= '%s'";
constexpr char kMsgLocalTsap[] = "KESTA> ReadInitFile() LTSAP= '%s'";
constexpr char kMsgIllegalLine[] = "KESTA> ReadIntFile() illegal line %u in '%s'";
constexpr char kMsgStationZero[] = "KESTA> ReadInitFile() Log Net Addr must be > 0, line %d";
constexpr char kMsgStationTwice[] =
    "KESTA> ReadInitFile() Log Net Addr %d already defined, line %d";
constexpr char kMsgStation[] =
    "KESTA> ReadInitFile() station %02X = %02X%02X%02X%02X%02X%02X , '%s'";

constexpr char kDefaultStationTsap[] = "TAMBOR  ";
constexpr uint32_t kCardLimit = 5;  // cards 0 to 4

enum class LineKind { Ignored, Card, ReadTsap, WriteTsap, LocalTsap, Station };

struct LinePattern {
  const char* pattern;
  LineKind kind;
  const char* message;  // the line logged when an Ignored key is accepted
};

// Tried in this order; the first pattern that accepts the line decides.
constexpr LinePattern kLinePatterns[] = {
    {"BLOCKS = %u", LineKind::Ignored, kMsgBlocksIgnored},
    {"RELEASE = %u", LineKind::Ignored, kMsgReleaseIgnored},
    {"VERSION = %u", LineKind::Ignored, kMsgVersionIgnored},
    {"Version = %u", LineKind::Ignored, kMsgVersionIgnored},
    {"CARD = %u", LineKind::Card, nullptr},
    {"RTSAP = %8s", LineKind::ReadTsap, nullptr},
    {"WTSAP = %8s", LineKind::WriteTsap, nullptr},
    {"LTSAP = %8s", LineKind::LocalTsap, nullptr},
    {"%02x = %02x%02x%02x%02x%02x%02x , %8s", LineKind::Station, nullptr},
};

// The state of one reading of the file.
struct Reading {
  uint8_t* work;
  const char* fileName;
  uint16_t lineNumber;  // wraps after 65535 lines, as the line count always has
  uint8_t defaultTsap[kTsapSize];
};

const char* AsText(const uint8_t* tsap) { return reinterpret_cast<const char*>(tsap); }

void StoreStation(Reading& r, const ScanItem* items, int count) {
  const uint32_t station = items[0].number;  // 0 to 255
  if (station == 0) {
    Log(kLevelError, kMsgStationZero, static_cast<int>(r.lineNumber));
    return;
  }
  if ((StationFlags(r.work, station) & STATION_DEFINED) != 0) {
    Log(kLevelError, kMsgStationTwice, static_cast<int>(station), static_cast<int>(r.lineNumber));
    return;
  }
  SetStationFlags(r.work, station, STATION_DEFINED);
  uint8_t* mac = StationMac(r.work, station);
  for (size_t i = 0; i < kMacSize; ++i) mac[i] = static_cast<uint8_t>(items[1 + i].number);
  uint8_t* tsap = StationTsap(r.work, station);
  if (count == 8) {
    StoreTsap(tsap, items[7].text, kScanTextMax);
  } else {
    std::memcpy(tsap, r.defaultTsap, kTsapSize);
  }
  Log(kLevelInfo, kMsgStation, static_cast<unsigned>(station), unsigned{mac[0]}, unsigned{mac[1]},
      unsigned{mac[2]}, unsigned{mac[3]}, unsigned{mac[4]}, unsigned{mac[5]}, AsText(tsap));
}

// True when the pattern accepted the line (and its effect is done).
bool ApplyPattern(Reading& r, const LinePattern& p, const char* line) {
  ScanItem items[8];
  const int count = ScanLine(line, p.pattern, items, 8);
  switch (p.kind) {
    case LineKind::Ignored:
      if (count != 1) return false;
      Log(kLevelInfo, p.message);
      return true;
    case LineKind::Card:
      if (count != 1 || items[0].number >= kCardLimit) return false;
      SetCardNumber(r.work, static_cast<uint8_t>(items[0].number));
      Log(kLevelInfo, kMsgCard, static_cast<unsigned>(items[0].number));
      return true;
    case LineKind::ReadTsap:
      if (count != 1) return false;
      StoreTsap(ReadTsap(r.work), items[0].text, kScanTextMax);
      Log(kLevelInfo, kMsgReadTsap, AsText(ReadTsap(r.work)));
      return true;
    case LineKind::WriteTsap:
      if (count != 1) return false;
      StoreTsap(WriteTsap(r.work), items[0].text, kScanTextMax);
      Log(kLevelInfo, kMsgWriteTsap, AsText(WriteTsap(r.work)));
      return true;
    case LineKind::LocalTsap:
      if (count != 1) return false;
      StoreTsap(r.defaultTsap, items[0].text, kScanTextMax);
      Log(kLevelInfo, kMsgLocalTsap, AsText(r.defaultTsap));
      return true;
    case LineKind::Station:
      // Seven items when the TSAP name (or the comma before it) is missing.
      if (count != 7 && count != 8) return false;
      // A signed number such as "-1" reads as more than two hex digits
      // hold: no such station, so no station line.
      if (items[0].number >= kStationCount) return false;
      StoreStation(r, items, count);
      return true;
  }
  return false;
}

void ProcessLine(Reading& r, const char* line) {
  for (const LinePattern& p : kLinePatterns) {
    if (ApplyPattern(r, p, line)) return;
  }
  if (line[0] != '\n') {
    Log(kLevelError, kMsgIllegalLine, static_cast<unsigned>(r.lineNumber), r.fileName);
  }
}

}  // namespace

std::FILE* FindInitFile(const char* base, char* name, size_t nameSize, uint32_t vpi) {
  const unsigned number = vpi;
  for (int form = 0; form < 3; ++form) {
    int n = 0;
    if (form == 0) {
      n = std::snprintf(name, nameSize, "%s%02u.INT", base, number);
    } else if (form == 1) {
      n = std::snprintf(name, nameSize, "%s%01u.INT", base, number);
    } else {
      n = std::snprintf(name, nameSize, "%s.INT", base);
    }
    if (n < 0 || static_cast<size_t>(n) >= nameSize) continue;  // never open a cut name
    // Binary mode: every platform sees the same bytes; ReadLinePiece drops
    // the carriage returns itself.
    if (std::FILE* file = std::fopen(name, "rb")) return file;
  }
  return nullptr;
}

#if defined(_WIN32)
constexpr int kCtrlZ = 0x1A;
#endif

bool ReadLinePiece(std::FILE* file, char* line, size_t size) {
  size_t n = 0;
  while (n + 1 < size) {
    int c = std::getc(file);
    if (c == EOF) break;
#if defined(_WIN32)
    // The file is read as text, and as text the Windows C runtime ends a
    // file at a Ctrl-Z (old editors put one at the end).
    if (c == kCtrlZ) {
      std::ungetc(c, file);
      break;
    }
#endif
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    line[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[n] = '\0';
  return n > 0;
}

void ReadInitFile(VpiCallBlock* call) {
  char fileName[kInitFileNameSize];
  std::FILE* file = FindInitFile(kInitFileBase, fileName, sizeof fileName, call->vpi);
  if (file == nullptr) {
    Log(kLevelError, kMsgNoInitFile);
    return;
  }
  Reading r{call->work, fileName, 0, {}};
  StoreTsap(r.defaultTsap, kDefaultStationTsap, 8);
  char line[kInitLineSize];
  while (ReadLinePiece(file, line, sizeof line)) {
    ++r.lineNumber;
    ProcessLine(r, line);
  }
  std::fclose(file);
}

}  // namespace kesta
