#include "config/work_area.h"

namespace kesta {

void StoreTsap(uint8_t* dest, const char* text, size_t len) {
  size_t i = 0;
  for (; i < 8 && i < len && text[i] != '\0'; ++i) dest[i] = static_cast<uint8_t>(text[i]);
  for (; i < 8; ++i) dest[i] = ' ';
  dest[8] = 0;
}

void ResetWorkArea(uint8_t* work) {
  SetActive(work, false);
  SetCardNumber(work, 0);
  StoreTsap(ReadTsap(work), "TAMREAD ", 8);
  StoreTsap(WriteTsap(work), "TAMWRITE", 8);
  for (uint32_t s = 0; s < kStationCount; ++s) {
    SetStationFlags(work, s, 0);
    SetStationConn(work, s, Direction::Read, kNoConnection);
    SetStationConn(work, s, Direction::Write, kNoConnection);
  }
}

}  // namespace kesta
