// One gate as the host handles it: its address text, the gate type, the
// fields the driver encoded from the text, and the calls that check, read
// and write it. Each call reports the driver's result and what it logged.
#pragma once

#include <cstdint>
#include <string>

#include "driver_session.h"
#include "gate_types.h"

namespace kestatool {

struct Gate {
  std::string address;  // as the user wrote it
  int32_t gateType = kTypeWord;
  bool typeGiven = false;  // --type or the gate list named it
  GateFields fields;
};

struct Outcome {
  int32_t result = 0;  // the driver's 0, 1 or 2
  std::string reason;  // the driver's lines of this request, joined
};

// SingleAddressParser (or BlockAddressParser for the first gate of a block).
// Without a given type the single check runs with the word type first and,
// when the driver refuses that type for the decoded kind, once more with the
// type that fits; only the last run's lines are shown.
Outcome ParseGate(DriverSession& session, Gate& gate, bool block);

// `buffer`: kSingleBufferSize bytes for a single gate, count elements of
// BlockElementSize bytes for a block.
Outcome ReadGate(DriverSession& session, const Gate& gate, uint8_t* buffer);
Outcome ReadBlock(DriverSession& session, const Gate& gate, int32_t count, uint8_t* buffer);
Outcome WriteGate(DriverSession& session, const Gate& gate, uint8_t* buffer);
Outcome WriteBlock(DriverSession& session, const Gate& gate, int32_t count, uint8_t* buffer);

// The station status gate of a station, "Sxx", as the driver encodes it.
Gate StationStatusGate(int32_t station);

}  // namespace kestatool
