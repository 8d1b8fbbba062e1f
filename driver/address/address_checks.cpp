// SingleAddressParser and BlockAddressParser: the host announces each gate
// with its address text and gate type; both decode the text with Parse and
// then test whether the decoded address suits a single gate or the start of a
// block. Their messages show the host's own text, not the normalised copy.
#include "address/data_kind.h"
#include "address/parse.h"
#include "host/handlers.h"
#include "host/log.h"

namespace kesta {
namespace {

constexpr char kMsgShouldBeDigital[] = "KESTA> SingleParse() gate '%s' should be DIGITAL";
constexpr char kMsgWrongGateType[] = "KESTA> SingleParse() gate '%s' wronggate type";
constexpr char kMsgShouldBeString[] = "KESTA> SingleParse() gate '%s' shouldbe STRING";
constexpr char kMsgShouldBeLong[] =
    "KESTA> SingleParse() gate '%s' should be LONG (or FLOAT for TI)";
constexpr char kMsgShouldBeFloat[] = "KESTA> SingleParse() gate '%s' shouldbe FLOAT";
constexpr char kMsgDigitalBlock[] = "KESTA> BlockParse() spec. dig. gates not allowed as block";
constexpr char kMsgBlockStart[] = "KESTA> BlockParse() gate '%s' not allowed as start of block";

// Words, bytes and station status without a bit: gate types 0, 1, 2, 4, 5.
bool FitsWordOrByte(int32_t gateType) {
  return (gateType >= 0 && gateType <= 2) || gateType == kGateLong || gateType == kGateLongAlt;
}

// Double words fit FLOAT as well, for the TI controllers' 'W' addresses.
bool FitsDoubleWord(int32_t gateType) {
  return gateType == kGateFloat || gateType == kGateLong || gateType == kGateLongAlt;
}

int32_t Refuse(const char* message, const ParseRecord* record) {
  Log(kLevelInfo, message, record->address);
  return kResultRefused;
}

}  // namespace

int32_t SingleAddressParser(VpiCallBlock* call) {
  ParseRecord* record = static_cast<ParseRecord*>(call->params);
  const int32_t parsed = Parse(record, call->work);
  if (parsed != kResultOk) return parsed;

  const int32_t gateType = record->gateType;
  if (record->bit != kNoBit) {
    return gateType == kGateDigital ? kResultOk : Refuse(kMsgShouldBeDigital, record);
  }
  switch (record->kind) {
    case kKindString:
      return gateType == kGateString ? kResultOk : Refuse(kMsgShouldBeString, record);
    case kKindDouble:
      return FitsDoubleWord(gateType) ? kResultOk : Refuse(kMsgShouldBeLong, record);
    case kKindFloat:
      return gateType == kGateFloat ? kResultOk : Refuse(kMsgShouldBeFloat, record);
    default:  // ' ', '*', 'A', 'E', 'M', 'S'
      return FitsWordOrByte(gateType) ? kResultOk : Refuse(kMsgWrongGateType, record);
  }
}

int32_t BlockAddressParser(VpiCallBlock* call) {
  ParseRecord* record = static_cast<ParseRecord*>(call->params);
  const int32_t parsed = Parse(record, call->work);
  if (parsed != kResultOk) return parsed;

  if (record->bit != kNoBit) {
    Log(kLevelInfo, kMsgDigitalBlock);
    return kResultRefused;
  }
  // Byte blocks travel in whole data words from the low-order byte of the
  // first word, and a station status read gives one value only.
  const bool highByte = record->kind == kKindByte && (record->s5Address & 1) != 0;
  if (highByte || record->kind == kKindStatus) return Refuse(kMsgBlockStart, record);
  return kResultOk;
}

}  // namespace kesta
