#include "commands.h"

#include <cstring>

#include "config/work_area.h"
#include "exit_codes.h"
#include "gate_ops.h"
#include "gate_value.h"
#include "json_out.h"

namespace kestatool {
namespace {

// The most data one answer can carry behind its header.
constexpr int32_t kMaxBlockBytes = 4144;

Gate MakeGate(const std::string& address, const CommandOptions& options) {
  Gate gate;
  gate.address = address;
  if (options.gateType) {
    gate.gateType = *options.gateType;
    gate.typeGiven = true;
  }
  return gate;
}

void PrintFailure(const CommandOptions& options, const DriverSession& session,
                  const std::string& action, const std::string& address, const Outcome& outcome) {
  std::fprintf(options.err, "%s\n",
               FailureLine(action, address, outcome, session.capturesLog()).c_str());
}

std::string ShownValue(const Gate& gate, const GateValue& value) {
  std::string text = FormatValue(value);
  if (gate.fields.kind == '*') text += " (" + DescribeFlags(static_cast<uint32_t>(value.integer)) + ")";
  return text;
}

// A failed request in the --json forms: `result` is the driver's answer (or
// 1 for a request kesta refuses as the driver would), null for a usage error
// found before the driver was called; `exitCode` is the exit code it gives.
Json FailureJson(const std::string& address, const Outcome& outcome) {
  Json j;
  j["address"] = address;
  j["ok"] = false;
  j["result"] = outcome.result;
  j["exitCode"] = ExitCodeFor(outcome.result);
  j["error"] = TextToJson(outcome.reason);
  return j;
}

Json UsageFailureJson(const std::string& address, const std::string& reason) {
  Json j;
  j["address"] = address;
  j["ok"] = false;
  j["result"] = nullptr;
  j["exitCode"] = kExitUsage;
  j["error"] = reason;
  return j;
}

// Data-block bytes travel in whole words: an odd count would take a byte
// from outside the block, so the driver refuses it (writing) or fails on the
// answer (reading). Refused here as the driver refuses a write, before
// anything is sent.
constexpr char kOddByteCount[] = "byte blocks of a data block need an even count";

bool OddByteBlock(const Gate& gate, int64_t count) { return gate.fields.kind == 'S' && count % 2 != 0; }

// The data bytes a block of `count` gates takes in one frame.
int64_t WireBytes(const GateFields& f, int64_t count) {
  switch (f.kind) {
    case ' ': return 2 * count;
    case 'S': return count + count % 2;  // whole data words
    case 'L':
    case 'Y': return 4 * count;
    case '$': return count * static_cast<int64_t>(StringLength(f));
    default: return count;
  }
}

// A block must fit one frame; refused here before anything is sent. Empty
// when it fits, else why not.
std::string BlockTooLarge(const Gate& gate, int64_t count) {
  const int64_t bytes = WireBytes(gate.fields, count);
  if (bytes <= kMaxBlockBytes) return std::string();
  char text[120];
  std::snprintf(text, sizeof text, "a block carries at most %d data bytes, %lld gates need %lld",
                kMaxBlockBytes, static_cast<long long>(count), static_cast<long long>(bytes));
  return text;
}

const char* ElementWords(const Gate& gate, int32_t count) {
  const bool one = count == 1;
  switch (gate.fields.kind) {
    case ' ': return one ? "data word" : "data words";
    case 'L': return one ? "double word" : "double words";
    case 'Y': return one ? "S5 float" : "S5 floats";
    case '$': return one ? "string" : "strings";
    default: return one ? "byte" : "bytes";
  }
}

int ReadOneBlock(DriverSession& session, const std::string& address, int32_t count,
                 const CommandOptions& options, Json* json) {
  Gate gate = MakeGate(address, options);
  Outcome outcome = ParseGate(session, gate, true);
  const size_t element = BlockElementSize(gate.fields);
  if (outcome.result == 0 && element == 0) {
    outcome.result = 1;
    outcome.reason = "a gate of this kind is not read as a block";
  }
  if (outcome.result == 0) {
    const std::string tooLarge = BlockTooLarge(gate, count);
    if (!tooLarge.empty()) {
      std::fprintf(options.err, "kesta: read '%s': %s\n", address.c_str(), tooLarge.c_str());
      if (json != nullptr) json->push_back(UsageFailureJson(address, tooLarge));
      return kExitUsage;
    }
    if (OddByteBlock(gate, count)) {
      outcome.result = 1;
      outcome.reason = kOddByteCount;
    }
  }
  if (outcome.result == 0) {
    std::vector<uint8_t> buffer(static_cast<size_t>(count) * element, 0);
    outcome = ReadBlock(session, gate, count, buffer.data());
    if (outcome.result == 0) {
      if (json != nullptr) {
        Json j;
        j["address"] = address;
        j["ok"] = true;
        j["count"] = count;
        j["gate"] = FieldsToJson(gate);
        Json values = Json::array();
        for (int32_t i = 0; i < count; ++i) {
          values.push_back(ValueToJson(DecodeElement(gate.fields, gate.gateType, buffer.data(),
                                                     static_cast<size_t>(i))));
        }
        j["values"] = values;
        json->push_back(j);
      } else {
        std::fprintf(options.out, "%s: %d %s, %s\n", address.c_str(), count,
                     ElementWords(gate, count), DescribeLocation(gate.fields).c_str());
        constexpr int32_t kPerRow = 10;
        for (int32_t row = 0; row < count; row += kPerRow) {
          std::string line;
          for (int32_t i = row; i < count && i < row + kPerRow; ++i) {
            line += ' ';
            line += FormatValue(DecodeElement(gate.fields, gate.gateType, buffer.data(),
                                              static_cast<size_t>(i)));
          }
          std::fprintf(options.out, "%5d:%s\n", row, line.c_str());
        }
      }
      return kExitOk;
    }
  }
  PrintFailure(options, session, "read", address, outcome);
  if (json != nullptr) json->push_back(FailureJson(address, outcome));
  return ExitCodeFor(outcome.result);
}

}  // namespace

int RunParse(DriverSession& session, const std::vector<std::string>& addresses, bool block,
             const CommandOptions& options) {
  int exit = kExitOk;
  Json json = Json::array();
  for (const std::string& address : addresses) {
    if (Interrupted()) {
      exit = kExitInterrupted;
      break;
    }
    Gate gate = MakeGate(address, options);
    const Outcome outcome = ParseGate(session, gate, block);
    exit = WorseExit(exit, ExitCodeFor(outcome.result));
    if (options.json) {
      if (outcome.result != 0) {
        json.push_back(FailureJson(address, outcome));
        continue;
      }
      Json j;
      j["address"] = address;
      j["ok"] = true;
      j["gate"] = FieldsToJson(gate);
      if (!outcome.reason.empty()) j["warning"] = TextToJson(outcome.reason);
      json.push_back(j);
      continue;
    }
    if (outcome.result != 0) {
      std::fprintf(options.out, "%-12s %s: %s\n", address.c_str(),
                   ResultWords(outcome.result).c_str(),
                   outcome.reason.empty() ? "the driver gave no reason" : outcome.reason.c_str());
      continue;
    }
    const GateFields& f = gate.fields;
    std::fprintf(options.out,
                 "%-12s %s: %s; width %d, type %s  [kind '%c' station %d s5Address 0x%08X bit %d]%s%s\n",
                 address.c_str(), KindName(f.kind), DescribeLocation(f).c_str(), f.width,
                 GateTypeNameFor(f, gate.gateType).c_str(), static_cast<char>(f.kind), f.station,
                 static_cast<uint32_t>(f.s5Address), f.bit, outcome.reason.empty() ? "" : "  note: ",
                 outcome.reason.c_str());
  }
  if (options.json) PrintJson(options.out, json);
  return exit;
}

int RunRead(DriverSession& session, const std::vector<std::string>& addresses,
            std::optional<int32_t> count, const CommandOptions& options) {
  Json json = Json::array();
  int exit = kExitOk;
  if (count) {
    exit = ReadOneBlock(session, addresses.front(), *count, options, options.json ? &json : nullptr);
  } else {
    for (const std::string& address : addresses) {
      // What was read so far is still printed, as valid JSON.
      if (Interrupted()) {
        exit = kExitInterrupted;
        break;
      }
      Gate gate = MakeGate(address, options);
      Outcome outcome = ParseGate(session, gate, false);
      uint8_t buffer[kSingleBufferSize] = {};
      if (outcome.result == 0) outcome = ReadGate(session, gate, buffer);
      exit = WorseExit(exit, ExitCodeFor(outcome.result));
      if (outcome.result != 0) {
        PrintFailure(options, session, "read", address, outcome);
        if (options.json) json.push_back(FailureJson(address, outcome));
        continue;
      }
      const GateValue value = DecodeSingle(gate.fields, gate.gateType, buffer);
      if (options.json) {
        Json j;
        j["address"] = address;
        j["ok"] = true;
        j["gate"] = FieldsToJson(gate);
        j["value"] = ValueToJson(value);
        if (gate.fields.kind == '*') j["flags"] = DescribeFlags(static_cast<uint32_t>(value.integer));
        json.push_back(j);
      } else {
        std::fprintf(options.out, "%s = %s\n", address.c_str(), ShownValue(gate, value).c_str());
      }
    }
  }
  if (options.json) PrintJson(options.out, json);
  return exit;
}

int RunWrite(DriverSession& session, const std::vector<std::string>& arguments,
             const std::optional<std::string>& values, const CommandOptions& options) {
  if (values) {
    const std::string& address = arguments.front();
    Gate gate = MakeGate(address, options);
    Outcome outcome = ParseGate(session, gate, true);
    if (outcome.result != 0) {
      PrintFailure(options, session, "write", address, outcome);
      return ExitCodeFor(outcome.result);
    }
    std::vector<std::string> items;
    std::string error;
    if (!SplitValueList(*values, &items, &error)) {
      std::fprintf(options.err, "kesta: write '%s': --values: %s\n", address.c_str(), error.c_str());
      return kExitUsage;
    }
    const size_t element = BlockElementSize(gate.fields);
    if (element == 0) {
      std::fprintf(options.err, "kesta: write '%s': a gate of this kind is not written as a block\n",
                   address.c_str());
      return kExitRefused;
    }
    const std::string tooLarge = BlockTooLarge(gate, static_cast<int64_t>(items.size()));
    if (!tooLarge.empty()) {
      std::fprintf(options.err, "kesta: write '%s': %s\n", address.c_str(), tooLarge.c_str());
      return kExitUsage;
    }
    if (OddByteBlock(gate, static_cast<int64_t>(items.size()))) {
      PrintFailure(options, session, "write", address, Outcome{1, kOddByteCount});
      return kExitRefused;
    }
    std::vector<uint8_t> buffer(items.size() * element, 0);
    for (size_t i = 0; i < items.size(); ++i) {
      if (!EncodeElement(gate.fields, gate.gateType, items[i], buffer.data(), i, &error)) {
        std::fprintf(options.err, "kesta: write '%s': value %zu '%s': %s\n", address.c_str(), i + 1,
                     items[i].c_str(), error.c_str());
        return kExitUsage;
      }
    }
    const int32_t count = static_cast<int32_t>(items.size());
    outcome = WriteBlock(session, gate, count, buffer.data());
    if (outcome.result != 0 && outcome.reason.empty() && gate.fields.kind == '$') {
      outcome.reason = "string gates are written one at a time, not as a block";
    }
    if (outcome.result != 0) {
      PrintFailure(options, session, "write", address, outcome);
      return ExitCodeFor(outcome.result);
    }
    std::fprintf(options.out, "wrote %d %s to %s\n", count, ElementWords(gate, count),
                 address.c_str());
    return kExitOk;
  }

  // Every gate is checked and every value parsed before anything is written,
  // so a typo in the last value leaves the controller as it was.
  struct Pending {
    Gate gate;
    uint8_t buffer[kSingleBufferSize] = {};
  };
  std::vector<Pending> pending(arguments.size());
  int exit = kExitOk;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const size_t equals = arguments[i].find('=');
    const std::string address = arguments[i].substr(0, equals);
    const std::string text = arguments[i].substr(equals + 1);
    pending[i].gate = MakeGate(address, options);
    const Outcome outcome = ParseGate(session, pending[i].gate, false);
    if (outcome.result != 0) {
      PrintFailure(options, session, "write", address, outcome);
      exit = WorseExit(exit, ExitCodeFor(outcome.result));
      continue;
    }
    std::string error;
    if (!EncodeSingle(pending[i].gate.fields, pending[i].gate.gateType, text, pending[i].buffer,
                      &error)) {
      std::fprintf(options.err, "kesta: write '%s': value '%s': %s\n", address.c_str(),
                   text.c_str(), error.c_str());
      exit = WorseExit(exit, kExitUsage);
    }
  }
  if (exit != kExitOk) {
    std::fprintf(options.err, "kesta: nothing written\n");
    return exit;
  }
  for (Pending& p : pending) {
    if (Interrupted()) return kExitInterrupted;
    const std::string shown = FormatValue(DecodeSingle(p.gate.fields, p.gate.gateType, p.buffer));
    const Outcome outcome = WriteGate(session, p.gate, p.buffer);
    exit = WorseExit(exit, ExitCodeFor(outcome.result));
    if (outcome.result != 0) {
      PrintFailure(options, session, "write", p.gate.address, outcome);
      continue;
    }
    std::fprintf(options.out, "wrote %s = %s\n", p.gate.address.c_str(), shown.c_str());
  }
  return exit;
}

int RunStatus(DriverSession& session, const CommandOptions& options) {
  uint8_t* work = session.work();
  if (session.workSize() < kesta::kWorkAreaSize) {
    std::fprintf(options.err, "kesta: status: the work area of %zu bytes has no station table\n",
                 session.workSize());
    return kExitCommFailed;
  }
  auto tsap = [](const uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), 8));
  };
  auto connection = [](int16_t c) { return c == kesta::kNoConnection ? Json(nullptr) : Json(c); };
  Json stations = Json::array();
  std::string table;
  for (uint32_t s = 0; s < kesta::kStationCount; ++s) {
    const uint8_t flags = kesta::StationFlags(work, s);
    if ((flags & kesta::STATION_DEFINED) == 0) continue;
    const uint8_t* mac = kesta::StationMac(work, s);
    char macText[20];
    std::snprintf(macText, sizeof macText, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    const int16_t readConn = kesta::StationConn(work, s, kesta::Direction::Read);
    const int16_t writeConn = kesta::StationConn(work, s, kesta::Direction::Write);
    const std::string name = tsap(kesta::StationTsap(work, s));
    Json j;
    j["station"] = s;
    j["ethernetAddress"] = macText;
    j["tsap"] = TextToJson(name);
    j["readConnection"] = connection(readConn);
    j["writeConnection"] = connection(writeConn);
    j["flags"] = flags;
    j["flagNames"] = DescribeFlags(flags);
    stations.push_back(j);
    char line[160];
    auto conn = [](int16_t c) { return c == kesta::kNoConnection ? std::string("-") : std::to_string(c); };
    std::snprintf(line, sizeof line, "%02X       %s  '%s'  %-5s %-5s  0x%02X %s\n", s, macText,
                  name.c_str(), conn(readConn).c_str(), conn(writeConn).c_str(), flags,
                  DescribeFlags(flags).c_str());
    table += line;
  }
  const bool active = kesta::IsActive(work);
  const std::string readTsap = tsap(kesta::ReadTsap(work));
  const std::string writeTsap = tsap(kesta::WriteTsap(work));
  if (options.json) {
    Json j;
    j["vpi"] = session.vpi();
    j["active"] = active;
    j["timeoutMs"] = kesta::TimeoutMs(work);
    j["card"] = kesta::CardNumber(work);
    j["readTsap"] = TextToJson(readTsap);
    j["writeTsap"] = TextToJson(writeTsap);
    j["stations"] = stations;
    PrintJson(options.out, j);
    return kExitOk;
  }
  std::fprintf(options.out, "VPI %u: %s, timeout %d ms, card %u, read TSAP '%s', write TSAP '%s'\n",
               session.vpi(), active ? "active" : "not active", kesta::TimeoutMs(work),
               kesta::CardNumber(work), readTsap.c_str(), writeTsap.c_str());
  if (table.empty()) {
    std::fprintf(options.out, "no station defined\n");
  } else {
    std::fprintf(options.out, "STATION  ETHERNET ADDRESS   TSAP        READ  WRITE  FLAGS\n%s",
                 table.c_str());
  }
  return kExitOk;
}

}  // namespace kestatool
