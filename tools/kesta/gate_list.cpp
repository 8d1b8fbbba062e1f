#include "gate_list.h"

#include "gate_types.h"

namespace kestatool {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Takes the next word of `rest`, or a double-quoted text; false on a quote
// that does not close.
bool NextToken(std::string_view* rest, std::string* token, bool* found) {
  while (!rest->empty() && IsBlank(rest->front())) rest->remove_prefix(1);
  *found = !rest->empty();
  if (!*found) return true;
  if (rest->front() == '"') {
    const size_t close = rest->find('"', 1);
    if (close == std::string_view::npos) return false;
    token->assign(rest->substr(1, close - 1));
    rest->remove_prefix(close + 1);
    return true;
  }
  size_t n = 0;
  while (n < rest->size() && !IsBlank((*rest)[n])) ++n;
  token->assign(rest->substr(0, n));
  rest->remove_prefix(n);
  return true;
}

}  // namespace

bool ParseGateList(std::string_view text, std::vector<GateListEntry>* out, std::string* error) {
  out->clear();
  int lineNumber = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    // Addresses and type names hold no '#', so a comment starts at the first.
    line = line.substr(0, line.find('#'));

    std::string address;
    std::string type;
    std::string extra;
    bool haveAddress = false;
    bool haveType = false;
    bool haveExtra = false;
    if (!NextToken(&line, &address, &haveAddress) || !NextToken(&line, &type, &haveType) ||
        !NextToken(&line, &extra, &haveExtra)) {
      *error = where + "a quote is not closed";
      return false;
    }
    if (!haveAddress) continue;
    if (address.empty()) {
      *error = where + "the address is empty";
      return false;
    }
    if (haveExtra) {
      *error = where + "unexpected '" + extra + "' after the gate type";
      return false;
    }
    GateListEntry entry;
    entry.address = address;
    entry.line = lineNumber;
    if (haveType) {
      entry.gateType = GateTypeFromName(type);
      if (!entry.gateType) {
        *error = where + "unknown gate type '" + type +
                 "' (word, float, long, digital, string or 0 to 7)";
        return false;
      }
    }
    out->push_back(entry);
  }
  if (out->empty()) {
    *error = "the list names no gate";
    return false;
  }
  return true;
}

}  // namespace kestatool
