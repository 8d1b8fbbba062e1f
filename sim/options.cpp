#include "options.h"

#include <cstdlib>
#include <cstring>

namespace s5sim {

const char kUsage[] =
    "usage: s5sim [options]\n"
    "  --listen HOST:PORT     address to listen on (default 127.0.0.1:102; port 0 picks one)\n"
    "  --db N=WORDS           length of data block N in words (0: absent; default 2048)\n"
    "  --db-words WORDS       length of every data block not named by --db\n"
    "  --image FILE           keep the memory in FILE (created when missing)\n"
    "  --tpdu-size BYTES      largest TPDU agreed to, 128 to 2048 (default 1024)\n"
    "  --calling-tsap TEXT    accept only this calling TSAP (repeatable)\n"
    "  --called-tsap TEXT     accept only this called TSAP (repeatable)\n"
    "  --error AREA=NUMBER    answer every request on AREA with error NUMBER (1-255);\n"
    "                         AREA is db (every block), dbN, mb, eb or ab\n"
    "  --delay MS             wait MS milliseconds before every answer\n"
    "  --drop-after N         close a connection after its N-th answer\n"
    "  --drop-mid-answer      send half of every answer, then close the connection\n"
    "  --exit-mid-answer      send half of the first answer, then end the program\n"
    "  --max-dt BYTES         at most BYTES data bytes per DT TPDU of an answer\n"
    "  --verbose              one line per request on standard output\n";

namespace {

bool Number(const char* text, uint32_t max, uint32_t* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (*end != '\0' || v > max || text[0] == '-') return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

bool SplitHostPort(const std::string& text, std::string* host, std::string* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  *host = text.substr(0, colon);
  if (host->size() > 2 && host->front() == '[' && host->back() == ']') {
    *host = host->substr(1, host->size() - 2);
  }
  *port = text.substr(colon + 1);
  uint32_t n = 0;
  return Number(port->c_str(), 65535, &n);
}

bool ParseForcedError(const std::string& text, ForcedError* out) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  const std::string area = text.substr(0, eq);
  uint32_t error = 0;
  // Error 0 would be an answer that says "done" and carries no data.
  if (!Number(text.c_str() + eq + 1, 255, &error) || error == 0) return false;
  out->error = static_cast<uint8_t>(error);
  out->db = -1;
  if (area == "mb") {
    out->org = kOrgFlags;
  } else if (area == "eb") {
    out->org = kOrgInputs;
  } else if (area == "ab") {
    out->org = kOrgOutputs;
  } else if (area.rfind("db", 0) == 0) {
    out->org = kOrgDataBlock;
    if (area.size() > 2) {
      uint32_t db = 0;
      if (!Number(area.c_str() + 2, 255, &db)) return false;
      out->db = static_cast<int>(db);
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* out, std::string* error) {
  std::vector<std::pair<uint32_t, uint32_t>> dbs;
  uint32_t allWords = kDefaultDbWords;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto bad = [&](const char* what) {
      *error = arg + ": " + what;
      return false;
    };
    auto takesValue = [&]() {
      if (value == nullptr) return false;
      ++i;
      return true;
    };
    uint32_t n = 0;
    if (arg == "--verbose") {
      out->verbose = true;
    } else if (arg == "--drop-mid-answer") {
      out->faults.dropMidAnswer = true;
    } else if (arg == "--exit-mid-answer") {
      out->faults.exitMidAnswer = true;
    } else if (arg == "--help" || arg == "-h") {
      *error = "";
      return false;
    } else if (!takesValue()) {
      return bad(arg.rfind("--", 0) == 0 ? "unknown option or value missing" : "unknown argument");
    } else if (arg == "--listen") {
      if (!SplitHostPort(value, &out->host, &out->port)) return bad("expected HOST:PORT");
    } else if (arg == "--db") {
      const char* eq = std::strchr(value, '=');
      uint32_t db = 0;
      if (eq == nullptr || !Number(std::string(value, eq).c_str(), 255, &db) ||
          !Number(eq + 1, 65535, &n)) {
        return bad("expected N=WORDS, N 0-255, WORDS 0-65535");
      }
      dbs.emplace_back(db, n);
    } else if (arg == "--db-words") {
      if (!Number(value, 65535, &allWords)) return bad("expected 0-65535");
    } else if (arg == "--image") {
      out->image = value;
    } else if (arg == "--tpdu-size") {
      if (!Number(value, 2048, &out->tpduSize) || out->tpduSize < 128) return bad("expected 128-2048");
    } else if (arg == "--calling-tsap") {
      out->callingTsaps.emplace_back(value);
    } else if (arg == "--called-tsap") {
      out->calledTsaps.emplace_back(value);
    } else if (arg == "--error") {
      ForcedError forced;
      if (!ParseForcedError(value, &forced)) return bad("expected AREA=NUMBER (db, dbN, mb, eb, ab)");
      out->controller.forcedErrors.push_back(forced);
    } else if (arg == "--delay") {
      if (!Number(value, 600000, &out->faults.delayMs)) return bad("expected milliseconds");
    } else if (arg == "--drop-after") {
      if (!Number(value, 0xFFFFFFFFu, &out->faults.dropAfter) || out->faults.dropAfter == 0) {
        return bad("expected a count above 0");
      }
    } else if (arg == "--max-dt") {
      if (!Number(value, 2045, &out->faults.maxDtData) || out->faults.maxDtData == 0) {
        return bad("expected 1-2045");
      }
    } else {
      --i;
      return bad("unknown option");
    }
  }
  out->controller.dbWords.fill(static_cast<uint16_t>(allWords));
  for (const auto& [db, words] : dbs) out->controller.dbWords[db] = static_cast<uint16_t>(words);
  return true;
}

}  // namespace s5sim
