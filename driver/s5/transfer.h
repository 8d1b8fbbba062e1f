// The card-library calls of the read and write transactions: one send and one
// receive on the transfer block, each repeated once after 100 ms when the
// library answers busy.
#pragma once

#include <cstdint>

#include "host/records.h"

namespace kesta {

struct H1Outcome {
  uint16_t rc;      // the entry's result
  uint16_t status;  // the block's status word after the (last) call
};

// H1SendeDaten on the send view in `block`, as it stands.
H1Outcome SendWithBusyRepeat(uint8_t* block);
// H1LeseDaten on the receive view in `block`, as it stands.
H1Outcome ReceiveWithBusyRepeat(uint8_t* block);

// Milliseconds between two clock reads, in seconds for the "%5.2f" times.
inline double SecondsBetween(uint32_t fromMs, uint32_t toMs) {
  return static_cast<double>(toMs - fromMs) / 1000.0;
}

// The gate's address text for log lines; the host may have left none.
inline const char* GateText(const IoRecord* io) {
  return io->address != nullptr ? io->address : "";
}

}  // namespace kesta
