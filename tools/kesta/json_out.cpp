#include "json_out.h"

#include <cstdio>
#include <cstdlib>

namespace kestatool {

Json TextToJson(const std::string& bytes) {
  std::string utf8;
  for (const char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (u >> 6));
      utf8 += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return utf8;
}

Json ValueToJson(const GateValue& v) {
  switch (v.form) {
    case ValueForm::Digital:
    case ValueForm::Unsigned:
    case ValueForm::Signed:
      return v.integer;
    case ValueForm::Real: {
      const std::string text = FormatValue(v);
      if (text == "nan" || text == "inf" || text == "-inf") return nullptr;
      return std::strtod(text.c_str(), nullptr);
    }
    case ValueForm::Text:
      return TextToJson(v.text);
  }
  return nullptr;
}

Json FieldsToJson(const Gate& gate) {
  const GateFields& f = gate.fields;
  const uint32_t packed = static_cast<uint32_t>(f.s5Address);
  const int unit = static_cast<int>(packed & 0xFFFFu);
  const int db = static_cast<int>((packed >> 16) & 0xFFu);
  const int length = static_cast<int>(packed >> 24);
  Json j;
  j["kind"] = std::string(1, static_cast<char>(f.kind));
  j["kindName"] = KindName(f.kind);
  j["gateType"] = gate.gateType;
  j["typeName"] = GateTypeNameFor(f, gate.gateType);
  switch (f.kind) {
    case '*':
      j["statusOfStation"] = static_cast<int>(packed & 0xFFu);
      break;
    case ' ':
      j["station"] = f.station;
      j["db"] = db;
      j["dw"] = unit;
      break;
    case 'L':
    case 'Y':
      j["station"] = f.station;
      j["db"] = db;
      j["dw"] = unit * 2;
      break;
    case 'S':
      j["station"] = f.station;
      j["db"] = db;
      j["dw"] = unit / 2;
      j["byteOfWord"] = unit % 2 == 0 ? "low" : "high";
      break;
    case '$':
      j["station"] = f.station;
      j["db"] = db;
      j["dw"] = unit * length / 2;
      j["stringLength"] = length;
      break;
    default:
      j["station"] = f.station;
      j["byte"] = unit;
      break;
  }
  j["bit"] = f.bit == -1 ? Json(nullptr) : Json(f.bit);
  j["width"] = f.width;
  j["location"] = DescribeLocation(f);
  j["fields"] = {{"station", f.station}, {"kind", f.kind},   {"s5Address", f.s5Address},
                 {"bit", f.bit},         {"width", f.width}};
  return j;
}

void PrintJson(std::FILE* out, const Json& j) {
  const std::string text = j.dump(2, ' ', false, Json::error_handler_t::replace);
  std::fprintf(out, "%s\n", text.c_str());
}

}  // namespace kestatool
