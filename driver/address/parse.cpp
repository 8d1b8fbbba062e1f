#include "address/parse.h"

#include <cstddef>
#include <cstring>

#include "address/data_kind.h"
#include "address/number_scan.h"
#include "config/work_area.h"
#include "host/log.h"

namespace kesta {
namespace {

// The working copy: at most 31 characters and the NUL.
constexpr size_t kCopySize = 32;
constexpr size_t kMaxTextLength = kCopySize - 1;
// Texts shorter than this are filled with blanks; positions 0 to 7 are checked.
constexpr size_t kFilledLength = 8;
// A string address carries its length at positions 8 and 9.
constexpr size_t kStringTextLength = 10;

constexpr uint32_t kMaxDb = 0xFD;
constexpr uint32_t kMaxDw = 0x7FF;
constexpr uint32_t kMaxIoByte = 0x7F;
constexpr uint32_t kMaxStringLength = 80;

constexpr char kMsgIllegalCharacter[] = "KESTA> Parse() Illegal character %d in '%s'";
constexpr char kMsgInvalidStation[] = "KESTA> Parse(), '%s' invalid station";
constexpr char kMsgNotInInitFile[] = "KESTA> Parse(), station '%02X' not in init file";
constexpr char kMsgInvalidDb[] = "KESTA> Parse(), '%s' invalid DB number";
constexpr char kMsgInvalidDw[] = "KESTA> Parse(), '%s' invalid DW in DB number";
constexpr char kMsgOddDoubleWord[] = "KESTA> Parse() '%s' addr must be multiply of 2";
constexpr char kMsgStringTextLength[] = "KESTA> Parse() error len addr str, string gate '%s'";
constexpr char kMsgStringLength[] = "KESTA> Parse() error length string gate '%s'";
constexpr char kMsgStringOffset[] = "KESTA> Parse() error offset string gate '%s'";
constexpr char kMsgTextLength[] = "KESTA> Parse() error length gate address string '%s'";
constexpr char kMsgInvalidByteNumber[] = "KESTA> Parse() invalid byte number in gate '%s'";
constexpr char kMsgByteOutOfRange[] = "KESTA> Parse() byte number out of range in gate '%s'";
constexpr char kMsgIllegalMemType[] = "KESTA> Parse() illegal mem type gate '%s'";
constexpr char kMsgInvalidBit[] = "KESTA> Parse() invalid bit number gate '%s'";
constexpr char kMsgInvalidTiAddress[] = "KESTA> Parse() invalid address in gate '%s'";
constexpr char kMsgTiFloatNotOdd[] = "KESTA> Parse() float address should be ODD, '%s'";

// The characters each of the positions 0 to 7 may hold.
constexpr const char* kAllowed[kFilledLength] = {
    "1234567890ABCDEFS",       // 0: station, or 'S' for station status
    "1234567890ABCDEF",        // 1
    "1234567890ABCDEF-VWXYM",  // 2: selects the form
    "1234567890ABCDEFM ",      // 3
    "1234567890ABCDEF ",       // 4
    "1234567890ABCDEF ",       // 5
    "1234567890ABCDEF ",       // 6
    "1234567890ABCDEF SNYL$",  // 7: suffix
};

// What each TI letter at position 2 addresses.
struct TiLetter {
  char letter;
  int32_t kind;
  int32_t width;
};
constexpr TiLetter kTiLetters[] = {
    {'V', kKindWord, kWidthWord},     // data words of DB 0
    {'W', kKindDouble, kWidthDouble}, // double words of DB 0
    {'X', kKindInput, kWidthByte},
    {'Y', kKindOutput, kWidthByte},
    {'M', kKindFlag, kWidthByte},
};

struct Text {
  char chars[kCopySize];
  size_t length;
};

int32_t Reject(const char* message, const Text& text) {
  Log(kLevelInfo, message, text.chars);
  return kResultRefused;
}

bool Scan(const Text& text, size_t pos, int maxDigits, int base, uint32_t* value) {
  return ScanNumber(text.chars, text.length, pos, maxDigits, base, value);
}

// Copies the host's text, filling it up to 8 characters with blanks and
// raising lower case at positions 1 to 7 (position 0 stays as it is).
// Returns false when the host's text does not fit the copy; the copy then
// holds its first 31 characters.
bool CopyAndNormalise(const char* source, Text* text) {
  size_t n = 0;
  if (source != nullptr) {
    while (n < kMaxTextLength && source[n] != '\0') {
      text->chars[n] = source[n];
      ++n;
    }
  }
  const bool fits = source == nullptr || source[n] == '\0';
  for (; n < kFilledLength; ++n) text->chars[n] = ' ';
  text->chars[n] = '\0';
  text->length = n;
  for (size_t i = 1; i < kFilledLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(text->chars[i]);
    if (c >= 0x61 && c <= 0x7F) text->chars[i] = static_cast<char>(c - 0x20);
  }
  return fits;
}

// The first position 0-7 whose character is not allowed there, or -1.
int FirstIllegalPosition(const Text& text) {
  for (size_t i = 0; i < kFilledLength; ++i) {
    const char c = text.chars[i];
    if (c == '\0' || std::strchr(kAllowed[i], c) == nullptr) return static_cast<int>(i);
  }
  return -1;
}

int32_t ParseStationStatus(ParseRecord* record, const Text& text) {
  uint32_t station = 0;
  if (!Scan(text, 1, 2, 16, &station)) return Reject(kMsgInvalidStation, text);
  record->s5Address = static_cast<int32_t>(station);
  record->width = kWidthByte;
  record->kind = kKindStatus;
  record->station = 0;
  return kResultOk;
}

int32_t ParseDataBlock(ParseRecord* record, const Text& text) {
  record->s5Address = 0;
  uint32_t db = 0;
  if (!Scan(text, 2, 2, 16, &db) || db > kMaxDb) return Reject(kMsgInvalidDb, text);
  uint32_t dw = 0;
  if (!Scan(text, 4, 3, 16, &dw) || dw > kMaxDw) return Reject(kMsgInvalidDw, text);

  const char suffix = text.chars[7];
  const int suffixDigit = HexDigitValue(suffix);
  uint32_t stringLength = 0;
  if (suffixDigit >= 0) {
    record->kind = kKindWord;
    record->bit = suffixDigit;
  } else if (suffix == ' ') {
    record->kind = kKindWord;
  } else if (suffix == 'L' || suffix == 'Y') {
    record->kind = suffix;
    record->width = kWidthDouble;
    if (dw % 2 != 0) return Reject(kMsgOddDoubleWord, text);
    dw /= 2;
  } else if (suffix == 'S' || suffix == 'N') {
    record->kind = kKindByte;
    record->width = kWidthByte;
    dw = 2 * dw + (suffix == 'N' ? 1 : 0);
  } else {  // '$', the last suffix the character table lets through
    record->kind = kKindString;
    if (text.length != kStringTextLength) return Reject(kMsgStringTextLength, text);
    if (!Scan(text, 8, 2, 10, &stringLength) || stringLength == 0 ||
        stringLength > kMaxStringLength || stringLength % 2 != 0) {
      return Reject(kMsgStringLength, text);
    }
    if ((2 * dw) % stringLength != 0) return Reject(kMsgStringOffset, text);
    dw /= stringLength / 2;
  }
  if (suffix != '$' && text.length != kFilledLength) return Reject(kMsgTextLength, text);

  record->s5Address = PackS5Address(stringLength, db, dw);
  return kResultOk;
}

int32_t ParseByteArea(ParseRecord* record, const Text& text) {
  uint32_t byteNumber = 0;
  if (!Scan(text, 4, 2, 16, &byteNumber)) return Reject(kMsgInvalidByteNumber, text);
  record->s5Address = static_cast<int32_t>(byteNumber);
  record->width = kWidthByte;
  const char area = text.chars[3];
  record->kind = area;
  if (area == 'A' || area == 'E') {
    if (byteNumber > kMaxIoByte) return Reject(kMsgByteOutOfRange, text);
  } else if (area != 'M') {
    return Reject(kMsgIllegalMemType, text);
  }
  const char bit = text.chars[6];
  if (bit >= '0' && bit <= '7') {
    record->bit = bit - '0';
  } else if (bit != ' ') {
    return Reject(kMsgInvalidBit, text);
  }
  return kResultOk;
}

// TI addresses count from 1 and reach data block 0 ('V' words, 'W' double
// words) or the flag, input and output bytes ('M', 'X', 'Y').
int32_t ParseTi(ParseRecord* record, const Text& text) {
  const char letter = text.chars[2];
  for (const TiLetter& ti : kTiLetters) {
    if (ti.letter == letter) {
      record->kind = ti.kind;
      record->width = ti.width;
    }
  }
  uint32_t n = 0;
  if (!Scan(text, 3, 4, 16, &n)) return Reject(kMsgInvalidTiAddress, text);

  if (letter == 'W') {
    record->s5Address = static_cast<int32_t>(n - 1);
    // Address 0 counts as even and is refused here.
    if (n % 2 == 0) return Reject(kMsgTiFloatNotOdd, text);
    record->s5Address = static_cast<int32_t>((n - 1) / 2);
    return kResultOk;
  }
  // Address 0 would wrap to data block 255, word 65535 or byte 65535.
  if (n == 0) return Reject(kMsgInvalidTiAddress, text);
  record->s5Address = static_cast<int32_t>(n - 1);

  const int bit = HexDigitValue(text.chars[7]);
  if (bit >= 0) {
    // A byte has bits 0 to 7 only; a higher bit would select nothing.
    if (letter != 'V' && bit > 7) return Reject(kMsgInvalidBit, text);
    record->bit = bit;
  } else if (text.chars[7] != ' ') {
    return Reject(kMsgInvalidBit, text);
  }
  return kResultOk;
}

}  // namespace

int32_t Parse(ParseRecord* record, uint8_t* work) {
  Text text;
  // A text that does not fit the copy is refused before anything is decoded.
  if (!CopyAndNormalise(record->address, &text)) return Reject(kMsgTextLength, text);

  const int illegal = FirstIllegalPosition(text);
  if (illegal >= 0) {
    Log(kLevelInfo, kMsgIllegalCharacter, illegal, text.chars);
    return kResultRefused;
  }

  record->bit = kNoBit;
  record->width = kWidthWord;

  if (text.chars[0] == 'S') return ParseStationStatus(record, text);

  uint32_t station = 0;
  (void)Scan(text, 0, 2, 16, &station);  // positions 0 and 1 are hex digits here
  record->station = static_cast<int32_t>(station);
  if (work == nullptr || (StationFlags(work, station) & STATION_DEFINED) == 0) {
    Log(kLevelInfo, kMsgNotInInitFile, static_cast<unsigned>(station));
  }

  const char form = text.chars[2];
  if (HexDigitValue(form) >= 0) return ParseDataBlock(record, text);
  if (form == '-') return ParseByteArea(record, text);
  return ParseTi(record, text);
}

}  // namespace kesta
