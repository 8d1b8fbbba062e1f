#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "address/parse.h"
#include "config/work_area.h"
#include "driver_harness.h"

namespace kesta::test {
namespace {

constexpr int32_t kUnset = 0x5A5A5A5A;

struct Decoded {
  int32_t result;
  ParseRecord record;
};

struct Accepted {
  const char* text;
  char kind;
  int32_t station;
  uint32_t s5Address;  // string length << 24 | DB << 16 | unit
  int32_t bit;
  int32_t width;
};

struct Rejected {
  const char* text;
  const char* message;
};

// A work area with the stations of the examples defined in the init file.
class ParseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWorkArea(h.work());
    for (uint32_t station : {0x01u, 0x03u, 0x05u, 0x0Au}) {
      SetStationFlagBits(h.work(), station, STATION_DEFINED);
    }
  }

  Decoded Decode(const std::string& text) {
    Decoded d{};
    d.record.address = text.c_str();
    d.record.gateType = 0;
    d.record.station = d.record.kind = d.record.s5Address = d.record.bit = d.record.width = kUnset;
    d.result = Parse(&d.record, h.work());
    return d;
  }

  void ExpectAccepted(const Accepted& c) {
    SCOPED_TRACE(c.text);
    h.log.clear();
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.record.kind, c.kind);
    EXPECT_EQ(d.record.station, c.station);
    EXPECT_EQ(static_cast<uint32_t>(d.record.s5Address), c.s5Address);
    EXPECT_EQ(d.record.bit, c.bit);
    EXPECT_EQ(d.record.width, c.width);
    EXPECT_TRUE(h.log.lines().empty()) << h.log.texts()[0];
  }

  void ExpectRejected(const Rejected& c) {
    SCOPED_TRACE(c.text);
    h.log.clear();
    EXPECT_EQ(Decode(c.text).result, 1);
    ASSERT_EQ(h.log.lines().size(), 1u);
    EXPECT_EQ(h.log.lines()[0], (LogLine{8, c.message}));
  }

  DriverHarness h;
};

// The worked examples of the address syntax.
const Accepted kWorkedExamples[] = {
    {"S03", '*', 0x00, 0x00000003, -1, 8},
    {"0A05012", ' ', 0x0A, 0x00050012, -1, 16},
    {"0A050120", ' ', 0x0A, 0x00050012, 0, 16},
    {"0a05012f", ' ', 0x0A, 0x00050012, 15, 16},
    {"0A05012L", 'L', 0x0A, 0x00050009, -1, 32},
    {"0A05012Y", 'Y', 0x0A, 0x00050009, -1, 32},
    {"0A05012S", 'S', 0x0A, 0x00050024, -1, 8},
    {"0A05012N", 'S', 0x0A, 0x00050025, -1, 8},
    {"0A05014$20", '$', 0x0A, 0x14050002, -1, 16},
    {"0A05000$80", '$', 0x0A, 0x50050000, -1, 16},
    {"05-E127", 'E', 0x05, 0x00000012, 7, 8},
    {"05-MFF", 'M', 0x05, 0x000000FF, -1, 8},
    {"05V0001", ' ', 0x05, 0x00000000, -1, 16},
    {"05V00010", ' ', 0x05, 0x00000000, 0, 16},
    {"05W0003", 'L', 0x05, 0x00000001, -1, 32},
    {"05X0010", 'E', 0x05, 0x0000000F, -1, 8},
    {"05Y0010", 'A', 0x05, 0x0000000F, -1, 8},
    {"05M0100", 'M', 0x05, 0x000000FF, -1, 8},
};

// The rejected examples, each with the one message it produces.
const Rejected kRejectedExamples[] = {
    {"s03", "KESTA> Parse() Illegal character 0 in 's03     '"},
    {"0A", "KESTA> Parse() Illegal character 2 in '0A      '"},
    {"03FE000", "KESTA> Parse(), '03FE000 ' invalid DB number"},
    {"037F800", "KESTA> Parse(), '037F800 ' invalid DW in DB number"},
    {"0A05013L", "KESTA> Parse() '0A05013L' addr must be multiply of 2"},
    {"0A05012$", "KESTA> Parse() error len addr str, string gate '0A05012$'"},
    {"0A05010$07", "KESTA> Parse() error length string gate '0A05010$07'"},
    {"0A05012$20", "KESTA> Parse() error offset string gate '0A05012$20'"},
    {"0A050120L", "KESTA> Parse() error length gate address string '0A050120L'"},
    {"05-E803", "KESTA> Parse() byte number out of range in gate '05-E803 '"},
    {"05-B12", "KESTA> Parse() illegal mem type gate '05-B12  '"},
    {"05-MFF8", "KESTA> Parse() invalid bit number gate '05-MFF8 '"},
    {"05W0002", "KESTA> Parse() float address should be ODD, '05W0002 '"},
    {"05V0001S", "KESTA> Parse() invalid bit number gate '05V0001S'"},
};

TEST_F(ParseTest, WorkedExamplesDecodeToTheirFields) {
  for (const Accepted& c : kWorkedExamples) ExpectAccepted(c);
}

TEST_F(ParseTest, RejectedExamplesGiveTheirMessage) {
  for (const Rejected& c : kRejectedExamples) ExpectRejected(c);
}

TEST_F(ParseTest, AcceptedEdgeCases) {
  const Accepted cases[] = {
      // Station status: one-digit station before a form character, any
      // allowed characters at 3-7, any length; the station need not be defined.
      {"S3-", '*', 0x00, 0x03, -1, 8},
      {"SFFM 1 $", '*', 0x00, 0xFF, -1, 8},
      {"S77AB CD$ and some more text", '*', 0x00, 0x77, -1, 8},
      // Lower case is raised at positions 1 to 7.
      {"0a05012s", 'S', 0x0A, 0x00050024, -1, 8},
      // DB: one digit when position 3 is a blank or an 'M'; 253 is the last.
      {"0A5 012", ' ', 0x0A, 0x00050012, -1, 16},
      {"0A5M012", ' ', 0x0A, 0x00050012, -1, 16},
      {"0AFD012", ' ', 0x0A, 0x00FD0012, -1, 16},
      // DW: 2047 is the last; a DW after blanks may take position 7, which
      // then also serves as the bit.
      {"0A057FF", ' ', 0x0A, 0x000507FF, -1, 16},
      {"0A05  12", ' ', 0x0A, 0x00050012, 2, 16},
      {"0A05  1", ' ', 0x0A, 0x00050001, -1, 16},
      {"0A05 12L", 'L', 0x0A, 0x00050009, -1, 32},
      {"0A057FEY", 'Y', 0x0A, 0x000503FF, -1, 32},
      // Strings: lengths 2 and 80, a length after a blank or any white space,
      // and a one-digit length ended by a blank.
      {"0A05001$02", '$', 0x0A, 0x02050001, -1, 16},
      {"0A05001$ 2", '$', 0x0A, 0x02050001, -1, 16},
      {"0A05001$\t2", '$', 0x0A, 0x02050001, -1, 16},
      {"0A05001$2 ", '$', 0x0A, 0x02050001, -1, 16},
      {"0A057D0$80", '$', 0x0A, 0x50050032, -1, 16},
      // Byte area: 0x7F is the last I/O byte, 0xFF the last flag byte; bit 7
      // is the last; position 7 and everything after it is not interpreted.
      {"05-A7F", 'A', 0x05, 0x7F, -1, 8},
      {"05-E7F0", 'E', 0x05, 0x7F, 0, 8},
      {"05-M017", 'M', 0x05, 0x01, 7, 8},
      {"05-M01 $", 'M', 0x05, 0x01, -1, 8},
      {"05-M012$ and a lot more text!", 'M', 0x05, 0x01, 2, 8},
      // A byte number after blanks runs on past position 7.
      {"05-M    FF", 'M', 0x05, 0xFF, -1, 8},
      // TI: bits 0-F for 'V', 0-7 for the byte letters; 'W' ignores position 7.
      {"05V0001F", ' ', 0x05, 0x0000, 15, 16},
      {"05VFFFF", ' ', 0x05, 0xFFFE, -1, 16},
      {"05X00017", 'E', 0x05, 0x0000, 7, 8},
      {"05Y00020", 'A', 0x05, 0x0001, 0, 8},
      {"05M0100 trailing", 'M', 0x05, 0x00FF, -1, 8},
      {"05W0001", 'L', 0x05, 0x0000, -1, 32},
      {"05W0003$", 'L', 0x05, 0x0001, -1, 32},
      {"05WFFFF", 'L', 0x05, 0x7FFF, -1, 32},
      {"05V 0012", ' ', 0x05, 0x0011, 2, 16},
  };
  for (const Accepted& c : cases) ExpectAccepted(c);
}

TEST_F(ParseTest, RejectedEdgeCases) {
  const Rejected cases[] = {
      // The character test, on the filled and raised copy; the first
      // offending position is reported.
      {"", "KESTA> Parse() Illegal character 0 in '        '"},
      {"0", "KESTA> Parse() Illegal character 1 in '0       '"},
      {"S3", "KESTA> Parse() Illegal character 2 in 'S3      '"},
      {"a105012", "KESTA> Parse() Illegal character 0 in 'a105012 '"},
      {"0\x7F" "05012", "KESTA> Parse() Illegal character 1 in '0_05012 '"},
      {"0A05G12Q", "KESTA> Parse() Illegal character 4 in '0A05G12Q'"},
      {"0A0\t012", "KESTA> Parse() Illegal character 3 in '0A0\t012 '"},
      // DB and DW limits.
      {"0AFE012", "KESTA> Parse(), '0AFE012 ' invalid DB number"},
      {"0AFF012", "KESTA> Parse(), '0AFF012 ' invalid DB number"},
      {"0A05800", "KESTA> Parse(), '0A05800 ' invalid DW in DB number"},
      {"0A05", "KESTA> Parse(), '0A05    ' invalid DW in DB number"},
      {"0A05   L", "KESTA> Parse(), '0A05   L' invalid DW in DB number"},
      {"0A05 17Y", "KESTA> Parse() '0A05 17Y' addr must be multiply of 2"},
      // Strings: the text must be exactly 10 characters; lengths 0, odd and
      // above 80 are refused, and so is a signed length.
      {"0A05012$2", "KESTA> Parse() error len addr str, string gate '0A05012$2'"},
      {"0A05014$200", "KESTA> Parse() error len addr str, string gate '0A05014$200'"},
      {"0A05000$00", "KESTA> Parse() error length string gate '0A05000$00'"},
      {"0A05000$01", "KESTA> Parse() error length string gate '0A05000$01'"},
      {"0A05000$79", "KESTA> Parse() error length string gate '0A05000$79'"},
      {"0A05000$81", "KESTA> Parse() error length string gate '0A05000$81'"},
      {"0A05000$82", "KESTA> Parse() error length string gate '0A05000$82'"},
      {"0A05000$  ", "KESTA> Parse() error length string gate '0A05000$  '"},
      {"0A05001$+2", "KESTA> Parse() error length string gate '0A05001$+2'"},
      {"0A05001$-2", "KESTA> Parse() error length string gate '0A05001$-2'"},
      {"0A05001$04", "KESTA> Parse() error offset string gate '0A05001$04'"},
      // Other data block texts must be exactly 8 characters.
      {"0A05012 X", "KESTA> Parse() error length gate address string '0A05012 X'"},
      {"0A05012S ", "KESTA> Parse() error length gate address string '0A05012S '"},
      // Byte area: the byte number is read before the letter is tested; a
      // signed byte number is unreadable.
      {"05-M", "KESTA> Parse() invalid byte number in gate '05-M    '"},
      {"05-B", "KESTA> Parse() invalid byte number in gate '05-B    '"},
      {"05-M    -1", "KESTA> Parse() invalid byte number in gate '05-M    -1'"},
      {"05-A80", "KESTA> Parse() byte number out of range in gate '05-A80  '"},
      {"05-E80", "KESTA> Parse() byte number out of range in gate '05-E80  '"},
      {"05- 12", "KESTA> Parse() illegal mem type gate '05- 12  '"},
      {"05-512", "KESTA> Parse() illegal mem type gate '05-512  '"},
      {"05-M018", "KESTA> Parse() invalid bit number gate '05-M018 '"},
      {"05-M01A", "KESTA> Parse() invalid bit number gate '05-M01A '"},
      // TI.
      {"05VM001", "KESTA> Parse() invalid address in gate '05VM001 '"},
      {"05X", "KESTA> Parse() invalid address in gate '05X     '"},
      {"05W0000", "KESTA> Parse() float address should be ODD, '05W0000 '"},
      {"05V0001L", "KESTA> Parse() invalid bit number gate '05V0001L'"},
      {"05M0001$", "KESTA> Parse() invalid bit number gate '05M0001$'"},
  };
  for (const Rejected& c : cases) ExpectRejected(c);
}

// Address 0 of a TI word or byte letter would wrap to data block 255, word
// 65535 or byte 65535; bits 8-F of a TI byte would select nothing.
TEST_F(ParseTest, TiAddressZeroAndHighBitsOfBytesAreRefused) {
  const Rejected cases[] = {
      {"05V0000", "KESTA> Parse() invalid address in gate '05V0000 '"},
      {"05X0000", "KESTA> Parse() invalid address in gate '05X0000 '"},
      {"05Y0000", "KESTA> Parse() invalid address in gate '05Y0000 '"},
      {"05M00007", "KESTA> Parse() invalid address in gate '05M00007'"},
      {"05X00018", "KESTA> Parse() invalid bit number gate '05X00018'"},
      {"05Y0001F", "KESTA> Parse() invalid bit number gate '05Y0001F'"},
      {"05M0001a", "KESTA> Parse() invalid bit number gate '05M0001A'"},
  };
  for (const Rejected& c : cases) ExpectRejected(c);
}

TEST_F(ParseTest, StationMissingFromInitFileWarnsAndStillDecodes) {
  const Decoded d = Decode("7e05012L");
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.record.station, 0x7E);
  EXPECT_EQ(d.record.kind, 'L');
  EXPECT_EQ(d.record.s5Address, 0x00050009);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{{8, "KESTA> Parse(), station '7E' not in init file"}}));

  // The warning comes first; a later test can still reject.
  h.log.clear();
  EXPECT_EQ(Decode("FFFE000").result, 1);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{{8, "KESTA> Parse(), station 'FF' not in init file"},
                                  {8, "KESTA> Parse(), 'FFFE000 ' invalid DB number"}}));
}

TEST_F(ParseTest, MissingAddressTextIsRefusedAsAnEmptyOne) {
  ParseRecord record{};
  EXPECT_EQ(Parse(&record, h.work()), 1);
  EXPECT_EQ(h.log.lines(),
            (std::vector<LogLine>{{8, "KESTA> Parse() Illegal character 0 in '        '"}}));
}

// The working copy holds 31 characters: a longer text is refused whatever its
// form, before any field is written, and the message shows the cut copy.
TEST_F(ParseTest, TextsLongerThanThirtyOneCharactersAreRefused) {
  const std::string fits = "S03" + std::string(28, 'a');
  ExpectAccepted({fits.c_str(), '*', 0x00, 0x03, -1, 8});

  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"S03" + std::string(29, 'a'), "S03AAAAA" + std::string(23, 'a')},
      {"0A05012 " + std::string(292, ' '), "0A05012 " + std::string(23, ' ')},
      {"05-M012" + std::string(293, 'x'), "05-M012X" + std::string(23, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    h.log.clear();
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(h.log.lines(),
              (std::vector<LogLine>{
                  {8, "KESTA> Parse() error length gate address string '" + c.shown + "'"}}));
    for (int32_t field : {d.record.station, d.record.kind, d.record.s5Address, d.record.bit,
                          d.record.width}) {
      EXPECT_EQ(field, kUnset);
    }
  }
}

}  // namespace
}  // namespace kesta::test
