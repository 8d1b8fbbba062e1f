#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver_harness.h"
#include "temp_dir.h"

namespace kesta::test {
namespace {

std::string Text(const uint8_t* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}
std::string Tsap(const char* name) { return std::string(name) + std::string(1, '\0'); }

// Cold-starts VPI `h.vpi()` without opening the driver, so only the init file
// acts, and returns the lines logged after the two start-up lines.
std::vector<LogLine> ReadThroughColdStart(DriverHarness& h) {
  ColdStartParams params{};
  params.openDriver = 0;
  EXPECT_EQ(h.Call(1, &params), 0);
  std::vector<LogLine> lines = h.log.lines();
  EXPECT_GE(lines.size(), 2u);
  if (lines.size() >= 2) lines.erase(lines.begin(), lines.begin() + 2);
  return lines;
}

LogLine Info(const std::string& text) { return {8, text}; }
LogLine Error(const std::string& text) { return {32, text}; }
LogLine Illegal(unsigned line, const char* file = "KESTA01.INT") {
  return Error("KESTA> ReadIntFile() illegal line " + std::to_string(line) + " in '" + file + "'");
}

struct Station {
  uint32_t number;
  std::vector<uint8_t> mac;
  const char* tsap;  // 8 characters
};

struct Rule {
  const char* what;
  std::string file;
  std::vector<LogLine> lines;
  uint8_t card = 0;
  const char* readTsap = "TAMREAD ";
  const char* writeTsap = "TAMWRITE";
  std::vector<Station> stations = {};  // every other station stays undefined
};

std::string Line255x(const std::string& tail) { return std::string(255, 'x') + tail; }

// Each row is one small file and everything it must leave behind.
const std::vector<Rule>& Rules() {
  static const std::vector<Rule> rules = {
      {.what = "CARD below 5 is taken",
       .file = "CARD = 4\n",
       .lines = {Info("KESTA> ReadInitFile() CARD= 4")},
       .card = 4},
      {.what = "CARD 5 or more is an illegal line",
       .file = "CARD = 3\nCARD = 7\n",
       .lines = {Info("KESTA> ReadInitFile() CARD= 3"), Illegal(2)},
       .card = 3},
      {.what = "blanks around '=' are optional",
       .file = "CARD=2\nCARD\t =  1 and more\n",
       .lines = {Info("KESTA> ReadInitFile() CARD= 2"), Info("KESTA> ReadInitFile() CARD= 1")},
       .card = 1},
      {.what = "keys start the line and are case-sensitive",
       .file = " CARD = 3\ncard = 3\nCard = 3\n",
       .lines = {Illegal(1), Illegal(2), Illegal(3)}},
      {.what = "signs are read as the formatted scan reads them",
       .file = "CARD = -1\nCARD = +2\nBLOCKS = -1\n-1 = 080006010203\n+5 = 08000601020F\n",
       .lines = {Illegal(1), Info("KESTA> ReadInitFile() CARD= 2"),
                 Info("KESTA> ReadInitFile() info: 'BLOCKS' ignored"), Illegal(4),
                 Info("KESTA> ReadInitFile() station 05 = 08000601020F , 'TAMBOR  '")},
       .card = 2,
       .stations = {{5, {8, 0, 6, 1, 2, 0x0F}, "TAMBOR  "}}},
      {.what = "ignored keys",
       .file = "BLOCKS = 10\nRELEASE = 2\nVERSION = 3\nVersion = 4\nversion = 5\nBLOCKS =\n",
       .lines = {Info("KESTA> ReadInitFile() info: 'BLOCKS' ignored"),
                 Info("KESTA> ReadInitFile() info: 'RELEASE' ignored"),
                 Info("KESTA> ReadInitFile() info: 'VERSION' ignored"),
                 Info("KESTA> ReadInitFile() info: 'VERSION' ignored"), Illegal(5), Illegal(6)}},
      {.what = "TSAP names are padded or cut to 8",
       .file = "RTSAP = AB\nWTSAP=ABCDEFGHIJ\n",
       .lines = {Info("KESTA> ReadInitFile() RTSAP= 'AB      '"),
                 Info("KESTA> ReadInitFile() WTSAP= 'ABCDEFGH'")},
       .readTsap = "AB      ",
       .writeTsap = "ABCDEFGH"},
      {.what = "a TSAP key without a name is illegal", .file = "RTSAP =\n", .lines = {Illegal(1)}},
      {.what = "station line with its TSAP",
       .file = "12 = 080006010203 , PLC1\n",
       .lines = {Info("KESTA> ReadInitFile() station 12 = 080006010203 , 'PLC1    '")},
       .stations = {{0x12, {0x08, 0x00, 0x06, 0x01, 0x02, 0x03}, "PLC1    "}}},
      {.what = "station line: blanks between bytes, either case, long TSAP cut",
       .file = "ff=0a 0B 0c 0D 0e 0F,ABCDEFGHIJ\n",
       .lines = {Info("KESTA> ReadInitFile() station FF = 0A0B0C0D0E0F , 'ABCDEFGH'")},
       .stations = {{0xFF, {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}, "ABCDEFGH"}}},
      {.what = "seven items take the default TSAP, which LTSAP changes for later lines",
       .file = "01 = 080006000001\nLTSAP = XY\n02 = 080006000002 ,\n03 = 080006000003 PLC3\n",
       .lines = {Info("KESTA> ReadInitFile() station 01 = 080006000001 , 'TAMBOR  '"),
                 Info("KESTA> ReadInitFile() LTSAP= 'XY      '"),
                 Info("KESTA> ReadInitFile() station 02 = 080006000002 , 'XY      '"),
                 Info("KESTA> ReadInitFile() station 03 = 080006000003 , 'XY      '")},
       .stations = {{1, {8, 0, 6, 0, 0, 1}, "TAMBOR  "},
                    {2, {8, 0, 6, 0, 0, 2}, "XY      "},
                    {3, {8, 0, 6, 0, 0, 3}, "XY      "}}},
      {.what = "station 0 is refused",
       .file = "00 = 080006000000\n",
       .lines = {Error("KESTA> ReadInitFile() Log Net Addr must be > 0, line 1")}},
      {.what = "the first definition of a station stays",
       .file = "0A = 080006000001\n0a = 080006000002 , OTHER\n",
       .lines = {Info("KESTA> ReadInitFile() station 0A = 080006000001 , 'TAMBOR  '"),
                 Error("KESTA> ReadInitFile() Log Net Addr 10 already defined, line 2")},
       .stations = {{0x0A, {8, 0, 6, 0, 0, 1}, "TAMBOR  "}}},
      {.what = "short address and long station number are illegal",
       .file = "04 = 0800060102 , X\n123 = 080006010203\n",
       .lines = {Illegal(1), Illegal(2)}},
      {.what = "empty lines count silently; blank and comment lines are illegal",
       .file = "\n\r\n   \n; CARD = 1\n",
       .lines = {Illegal(3), Illegal(4)}},
      {.what = "CR LF line ends",
       .file = "CARD = 2\r\nRTSAP = AB\r\n\r\n07 = 080006000007\r\n",
       .lines = {Info("KESTA> ReadInitFile() CARD= 2"),
                 Info("KESTA> ReadInitFile() RTSAP= 'AB      '"),
                 Info("KESTA> ReadInitFile() station 07 = 080006000007 , 'TAMBOR  '")},
       .card = 2,
       .readTsap = "AB      ",
       .stations = {{7, {8, 0, 6, 0, 0, 7}, "TAMBOR  "}}},
      {.what = "last line without a line feed",
       .file = "CARD = 1\nCARD = 2",
       .lines = {Info("KESTA> ReadInitFile() CARD= 1"), Info("KESTA> ReadInitFile() CARD= 2")},
       .card = 2},
      {.what = "a line of more than 255 characters is read in pieces",
       .file = Line255x("CARD = 3\nCARD = 9\n"),
       .lines = {Illegal(1), Info("KESTA> ReadInitFile() CARD= 3"), Illegal(3)},
       .card = 3},
      {.what = "a Ctrl-Z ends the file where it is read as Windows text",
       .file = "CARD = 2\n\x1A\nCARD = 3\n",
#if defined(_WIN32)
       .lines = {Info("KESTA> ReadInitFile() CARD= 2")},
       .card = 2},
#else
       .lines = {Info("KESTA> ReadInitFile() CARD= 2"), Illegal(2),
                 Info("KESTA> ReadInitFile() CARD= 3")},
       .card = 3},
#endif
      {.what = "CR LF counts as one character of a piece",
       .file = std::string(254, 'x') + "\r\nCARD = 3\n",
       .lines = {Illegal(1), Info("KESTA> ReadInitFile() CARD= 3")},
       .card = 3},
  };
  return rules;
}

TEST(InitFile, EachRuleLeavesItsLinesAndValues) {
  for (const Rule& rule : Rules()) {
    SCOPED_TRACE(rule.what);
    ScopedTempDir dir;
    dir.Write("KESTA01.INT", rule.file);
    DriverHarness h(1);
    std::memset(h.work(), 0x5A, kWorkAreaSize);

    EXPECT_EQ(ReadThroughColdStart(h), rule.lines);

    uint8_t* w = h.work();
    EXPECT_EQ(CardNumber(w), rule.card);
    EXPECT_EQ(Text(ReadTsap(w), 9), Tsap(rule.readTsap));
    EXPECT_EQ(Text(WriteTsap(w), 9), Tsap(rule.writeTsap));
    std::vector<bool> expectDefined(kStationCount, false);
    for (const Station& s : rule.stations) {
      expectDefined[s.number] = true;
      EXPECT_EQ(StationFlags(w, s.number), STATION_DEFINED) << s.number;
      EXPECT_EQ(std::vector<uint8_t>(StationMac(w, s.number), StationMac(w, s.number) + 6), s.mac);
      EXPECT_EQ(Text(StationTsap(w, s.number), 9), Tsap(s.tsap));
    }
    for (uint32_t s = 0; s < kStationCount; ++s) {
      if (!expectDefined[s]) { ASSERT_EQ(StationFlags(w, s), 0) << s; }
    }
    EXPECT_FALSE(IsActive(w));
    EXPECT_TRUE(h.card.calls.empty());
    EXPECT_TRUE(h.GuardsIntact());
  }
}

TEST(InitFile, FirstOfTheThreeNamesThatOpensIsRead) {
  const struct {
    uint32_t vpi;
    std::vector<const char*> present;
    const char* used;
  } cases[] = {
      {3, {"KESTA03.INT", "KESTA3.INT", "KESTA.INT"}, "KESTA03.INT"},
      {3, {"KESTA3.INT", "KESTA.INT"}, "KESTA3.INT"},
      {3, {"KESTA.INT"}, "KESTA.INT"},
      {12, {"KESTA12.INT", "KESTA.INT"}, "KESTA12.INT"},
      {0, {"KESTA0.INT", "KESTA00.INT"}, "KESTA00.INT"},
      {1234567, {"KESTA1234567.INT", "KESTA.INT"}, "KESTA1234567.INT"},
      {4294967295u, {"KESTA4294967295.INT", "KESTA.INT"}, "KESTA4294967295.INT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.used);
    ScopedTempDir dir;
    // Every file holds one illegal line, whose message names the file read.
    for (const char* name : c.present) dir.Write(name, "?\n");
    DriverHarness h(c.vpi);
    EXPECT_EQ(ReadThroughColdStart(h), (std::vector<LogLine>{Illegal(1, c.used)}));
  }
}

TEST(InitFile, MissingFileLeavesTheResetValues) {
  ScopedTempDir dir;
  dir.Write("KESTA2.INT", "CARD = 1\n");  // another VPI's file
  DriverHarness h(1);
  std::memset(h.work(), 0x5A, kWorkAreaSize);

  EXPECT_EQ(ReadThroughColdStart(h),
            (std::vector<LogLine>{Error("KESTA> ColdStart() ERROR, no initfile found")}));
  EXPECT_EQ(CardNumber(h.work()), 0);
  EXPECT_EQ(Text(ReadTsap(h.work()), 9), Tsap("TAMREAD "));
  for (uint32_t s = 0; s < kStationCount; ++s) { ASSERT_EQ(StationFlags(h.work(), s), 0) << s; }
}

TEST(InitFile, EveryReadingStartsWithTheDefaultStationTsap) {
  ScopedTempDir dir;
  dir.Write("KESTA01.INT", "LTSAP = XY\n05 = 080006000005\n");
  DriverHarness h(1);
  ReadThroughColdStart(h);
  EXPECT_EQ(Text(StationTsap(h.work(), 5), 9), Tsap("XY      "));

  dir.Write("KESTA01.INT", "06 = 080006000006\n");
  h.log.clear();
  ReadThroughColdStart(h);
  EXPECT_EQ(Text(StationTsap(h.work(), 6), 9), Tsap("TAMBOR  "));
  EXPECT_EQ(StationFlags(h.work(), 5), 0);  // the second start's reset forgot station 5
}

// Binary bytes, NULs, lines of 10,000 characters, CR LF, more lines than the
// 16-bit counter holds and no final line feed: read to the end, no byte
// outside the work area touched, the line numbers wrapping.
TEST(InitFile, MalformedFileIsReadWithoutOverrun) {
  std::string file;
  // Every byte value but Ctrl-Z, which ends a file read as Windows text.
  for (int i = 0; i < 256; ++i) {
    file += static_cast<char>(i == 0x1A ? 0x1B : i);  // one piece with a NUL, a LF...
  }
  file += "\n";
  file += std::string(10000, 'A') + "\r\n";
  file += std::string(10000, '\xff') + "\n";
  for (int i = 0; i < 70000; ++i) file += (i % 2 == 0) ? "x\r\n" : "\r\n";
  file += "7F = 010203040506 , END";

  ScopedTempDir dir;
  dir.Write("KESTA01.INT", file);
  DriverHarness h(1);
  const std::vector<LogLine> lines = ReadThroughColdStart(h);

  // The bytes 0..10 (up to the LF, code 10) are line 1; the rest of the 256
  // values and their LF line 2. Each 10,000-character line is 40 pieces.
  const unsigned pieces = 2 + 40 + 40 + 70000 + 1;
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(),
            Info("KESTA> ReadInitFile() station 7F = 010203040506 , 'END     '"));
  size_t illegal = 0;
  for (const LogLine& l : lines) illegal += l.level == 32 ? 1 : 0;
  EXPECT_EQ(illegal, 2u + 80u + 35000u);
  // The last "x" line is line 2 + 80 + 69999 = 70081, reported modulo 65536.
  EXPECT_EQ(lines[lines.size() - 2], Illegal((pieces - 2) % 65536));
  EXPECT_EQ(StationFlags(h.work(), 0x7F), STATION_DEFINED);
  EXPECT_TRUE(h.GuardsIntact());
}

}  // namespace
}  // namespace kesta::test
