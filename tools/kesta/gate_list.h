// The gate list of `kesta watch`: one gate a line, its address and an
// optional gate type; `#` starts a comment; blank lines are skipped. An
// address with blanks inside is written in double quotes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestatool {

struct GateListEntry {
  std::string address;
  std::optional<int32_t> gateType;  // none: follows from the address
  int line = 0;
};

// Parses the whole text; on the first bad line returns false with
// "line N: reason" in `error`.
bool ParseGateList(std::string_view text, std::vector<GateListEntry>* out, std::string* error);

}  // namespace kestatool
