// The --json forms of kesta's output.
#pragma once

#include <nlohmann/json.hpp>

#include "gate_ops.h"
#include "gate_value.h"

namespace kestatool {

using Json = nlohmann::ordered_json;

// A string gate's bytes as a JSON string (bytes above 127 taken as Latin-1).
Json TextToJson(const std::string& bytes);
// A number as JSON; a real as the shortest text that reads back the same.
Json ValueToJson(const GateValue& v);
// The decoded address: kind, station, DB, DW or byte, bit, width, length,
// and the five fields as the driver wrote them.
Json FieldsToJson(const Gate& gate);

// Prints `j` with two-space indent and a line feed.
void PrintJson(std::FILE* out, const Json& j);

}  // namespace kestatool
