#include "gate_types.h"

#include <cstdio>

namespace kestatool {
namespace {

struct TypeName {
  const char* name;
  int32_t code;
};
constexpr TypeName kTypeNames[] = {
    {"word", kTypeWord},       {"float", kTypeFloat},     {"long", kTypeLong},
    {"digital", kTypeDigital}, {"string", kTypeString},    {"byte", kTypeWord},
    {"status", kTypeWord},
};

struct KindInfo {
  int32_t kind;
  const char* name;
};
constexpr KindInfo kKinds[] = {
    {' ', "data word"},   {'$', "string"},     {'S', "byte of data word"},
    {'L', "double word"}, {'Y', "S5 float"},   {'M', "flag byte"},
    {'E', "input byte"},  {'A', "output byte"}, {'*', "station status"},
};

struct FlagName {
  uint8_t mask;
  const char* name;
};
constexpr FlagName kFlagNames[] = {
    {kFlagDefined, "defined"},         {kFlagReadOpen, "read open"},
    {kFlagWriteOpen, "write open"},    {kFlagLastReadOk, "last read ok"},
    {kFlagLastWriteOk, "last write ok"},
};

std::string Format(const char* format, long a, long b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

std::optional<int32_t> GateTypeFromName(std::string_view name) {
  for (const TypeName& t : kTypeNames) {
    if (name == t.name) return t.code;
  }
  if (name.size() == 1 && name[0] >= '0' && name[0] <= '7') return name[0] - '0';
  return std::nullopt;
}

std::string GateTypeName(int32_t type) {
  switch (type) {
    case 0:
    case 1:
    case 2:
      return type == kTypeWord ? "word" : "word(" + std::to_string(type) + ")";
    case kTypeFloat:
      return "float";
    case 4:
    case 5:
      return type == kTypeLong ? "long" : "long(5)";
    case kTypeDigital:
      return "digital";
    case kTypeString:
      return "string";
    default:
      return std::to_string(type);
  }
}

std::string GateTypeNameFor(const GateFields& f, int32_t type) {
  if (type == kTypeWord && f.bit == -1) {
    if (f.kind == '*') return "status";
    if (f.kind == 'S' || f.kind == 'M' || f.kind == 'E' || f.kind == 'A') return "byte";
  }
  return GateTypeName(type);
}

bool IsKnownKind(int32_t kind) {
  for (const KindInfo& k : kKinds) {
    if (k.kind == kind) return true;
  }
  return false;
}

int32_t InferGateType(const GateFields& f) {
  if (f.bit != -1) return kTypeDigital;
  switch (f.kind) {
    case '$':
      return kTypeString;
    case 'Y':
      return kTypeFloat;
    case 'L':
      return kTypeLong;
    default:
      return kTypeWord;
  }
}

const char* KindName(int32_t kind) {
  for (const KindInfo& k : kKinds) {
    if (k.kind == kind) return k.name;
  }
  return "unknown kind";
}

std::string DescribeLocation(const GateFields& f) {
  const uint32_t packed = static_cast<uint32_t>(f.s5Address);
  const long unit = static_cast<long>(packed & 0xFFFFu);
  const long db = static_cast<long>((packed >> 16) & 0xFFu);
  const long length = static_cast<long>(packed >> 24);
  if (f.kind == '*') return Format("status of station 0x%02lX", static_cast<long>(packed & 0xFFu));
  std::string out = Format("station 0x%02lX", f.station);
  switch (f.kind) {
    case ' ':
      out += Format(", DB %ld, DW %ld", db, unit);
      break;
    case 'L':
    case 'Y':
      out += Format(", DB %ld, DW %ld", db, unit * 2);
      break;
    case 'S':
      out += Format(", DB %ld, DW %ld", db, unit / 2);
      out += (unit % 2 == 0) ? ", low byte" : ", high byte";
      break;
    case '$':
      out += Format(", DB %ld, DW %ld", db, unit * length / 2);
      out += Format(", %ld characters", length);
      break;
    case 'M':
    case 'E':
    case 'A':
      out += Format(", byte %ld", unit);
      break;
    default:
      break;
  }
  if (f.bit != -1) out += Format(", bit %ld", f.bit);
  return out;
}

std::string DescribeFlags(uint32_t flags) {
  std::string out;
  for (const FlagName& f : kFlagNames) {
    if ((flags & f.mask) == 0) continue;
    if (!out.empty()) out += ", ";
    out += f.name;
  }
  return out.empty() ? "none" : out;
}

}  // namespace kestatool
