#include "gate_ops.h"

#include <cstdio>

namespace kestatool {
namespace {

int32_t CheckOnce(DriverSession& session, Gate& gate, bool block, int32_t gateType) {
  kesta::ParseRecord record{};
  record.address = gate.address.c_str();
  record.gateType = gateType;
  record.bit = -1;
  const int32_t rc = session.Call(block ? kBlockAddressParser : kSingleAddressParser, &record);
  gate.fields.station = record.station;
  gate.fields.kind = record.kind;
  gate.fields.s5Address = record.s5Address;
  gate.fields.bit = record.bit;
  gate.fields.width = record.width;
  gate.gateType = gateType;
  return rc;
}

Outcome Run(DriverSession& session, const Gate& gate, uint32_t function, int32_t count,
            uint8_t* buffer) {
  kesta::IoRecord io{};
  io.address = gate.address.c_str();
  io.station = gate.fields.station;
  io.kind = gate.fields.kind;
  io.s5Address = gate.fields.s5Address;
  io.bit = gate.fields.bit;
  io.width = gate.fields.width;
  io.gateType = gate.gateType;
  io.count = count;
  io.data = buffer;
  session.log().Mark();
  Outcome out;
  out.result = session.Call(function, &io);
  out.reason = JoinReasons(session.log().lines());
  return out;
}

}  // namespace

Outcome ParseGate(DriverSession& session, Gate& gate, bool block) {
  DriverLog& log = session.log();
  Outcome out;
  log.Mark();
  if (gate.typeGiven || block) {
    out.result = CheckOnce(session, gate, block, gate.gateType);
    // A block's type is not checked; it still decides how values look.
    if (block && !gate.typeGiven) gate.gateType = InferGateType(gate.fields);
  } else {
    log.Hold();
    out.result = CheckOnce(session, gate, false, kTypeWord);
    const int32_t fitting = InferGateType(gate.fields);
    if (out.result != 0 && IsKnownKind(gate.fields.kind) && fitting != kTypeWord) {
      log.Release(false);
      log.Mark();
      out.result = CheckOnce(session, gate, false, fitting);
    } else {
      log.Release(true);
    }
  }
  out.reason = JoinReasons(log.lines());
  return out;
}

Outcome ReadGate(DriverSession& session, const Gate& gate, uint8_t* buffer) {
  return Run(session, gate, kSingleRead, 1, buffer);
}

Outcome ReadBlock(DriverSession& session, const Gate& gate, int32_t count, uint8_t* buffer) {
  return Run(session, gate, kBlockRead, count, buffer);
}

Outcome WriteGate(DriverSession& session, const Gate& gate, uint8_t* buffer) {
  return Run(session, gate, kSingleWrite, 1, buffer);
}

Outcome WriteBlock(DriverSession& session, const Gate& gate, int32_t count, uint8_t* buffer) {
  return Run(session, gate, kBlockWrite, count, buffer);
}

Gate StationStatusGate(int32_t station) {
  char text[8];
  std::snprintf(text, sizeof text, "S%02X", static_cast<unsigned>(station) & 0xFFu);
  Gate gate;
  gate.address = text;
  gate.gateType = kTypeWord;
  gate.typeGiven = true;
  return gate;
}

}  // namespace kestatool
