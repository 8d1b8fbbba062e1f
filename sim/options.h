// The s5sim command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controller.h"

namespace s5sim {

struct Faults {
  uint32_t delayMs = 0;          // --delay MS: wait before every answer
  uint32_t dropAfter = 0;        // --drop-after N: close a connection after N answers (0: never)
  bool dropMidAnswer = false;    // --drop-mid-answer: send half of each answer, then close
  bool exitMidAnswer = false;    // --exit-mid-answer: send half of the first answer, then end the program
  uint32_t maxDtData = 0;        // --max-dt BYTES: data bytes per DT TPDU of an answer (0: the negotiated size)
};

struct Options {
  std::string host = "127.0.0.1";
  std::string port = "102";
  std::string image;  // --image FILE
  uint32_t tpduSize = 1024;  // --tpdu-size: the largest TPDU it agrees to (128 to 2048)
  std::vector<std::string> callingTsaps;  // --calling-tsap: accepted calling TSAPs (none: any)
  std::vector<std::string> calledTsaps;   // --called-tsap: accepted called TSAPs (none: any)
  bool verbose = false;
  Faults faults;
  ControllerConfig controller;
};

extern const char kUsage[];

// Reads the arguments; false with a message in `error` when one is wrong.
bool ParseOptions(int argc, char** argv, Options* out, std::string* error);

}  // namespace s5sim
