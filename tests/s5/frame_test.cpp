#include <gtest/gtest.h>

#include <vector>

#include "address/data_kind.h"
#include "s5/s5_frame.h"
#include "s5/store_data.h"
#include "s5_fixture.h"

namespace kesta::test {
namespace {

std::vector<uint8_t> Header(uint8_t op, int32_t kind, int32_t s5Address, uint16_t count) {
  S5RequestFields f{};
  EXPECT_TRUE(S5FieldsFor(kind, s5Address, count, &f));
  std::vector<uint8_t> out(kS5HeaderSize);
  PutS5Header(out.data(), op, f);
  return out;
}

TEST(S5Frame, FetchOfTwentyWordsIsTheDocumentedSixteenBytes) {
  EXPECT_EQ(Header(kS5OpFetch, kKindWord, PackS5Address(0, 10, 100), 20),
            (std::vector<uint8_t>{0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A,
                                  0x00, 0x64, 0x00, 0x14, 0xFF, 0x02}));
  // A write request differs only in its op code.
  EXPECT_EQ(Header(kS5OpWrite, kKindWord, PackS5Address(0, 10, 100), 20)[5], 0x03);
}

TEST(S5Frame, FieldsByKind) {
  struct Case {
    const char* what;
    int32_t kind;
    int32_t s5Address;
    uint16_t count;
    S5RequestFields expected;
  };
  const Case cases[] = {
      {"word", kKindWord, PackS5Address(0, 5, 0x12), 1, {1, 5, 0x12, 1}},
      {"string of 10, index 4", kKindString, PackS5Address(10, 5, 4), 1, {1, 5, 20, 5}},
      {"three strings of 10", kKindString, PackS5Address(10, 5, 4), 3, {1, 5, 20, 15}},
      {"five bytes from byte 6", kKindByte, PackS5Address(0, 7, 6), 5, {1, 7, 3, 3}},
      {"one odd byte", kKindByte, PackS5Address(0, 7, 0x25), 1, {1, 7, 0x12, 1}},
      {"double word index 4", kKindDouble, PackS5Address(0, 9, 4), 1, {1, 9, 8, 2}},
      {"three floats", kKindFloat, PackS5Address(0, 9, 4), 3, {1, 9, 8, 6}},
      {"four flags from 200", kKindFlag, 200, 4, {2, 0, 200, 4}},
      {"inputs", kKindInput, 0x12, 1, {3, 0, 0x12, 1}},
      {"outputs", kKindOutput, 0x0F, 2, {4, 0, 0x0F, 2}},
      // 16-bit arithmetic: only the low 16 bits of start and length remain.
      {"start wraps", kKindDouble, PackS5Address(0, 1, 0x8001), 1, {1, 1, 0x0002, 2}},
      {"length wraps", kKindWord, PackS5Address(0, 1, 0), 0xFFFF, {1, 1, 0, 0xFFFF}},
  };
  for (const Case& c : cases) {
    S5RequestFields f{};
    ASSERT_TRUE(S5FieldsFor(c.kind, c.s5Address, c.count, &f)) << c.what;
    EXPECT_EQ(f.orgId, c.expected.orgId) << c.what;
    EXPECT_EQ(f.dbNumber, c.expected.dbNumber) << c.what;
    EXPECT_EQ(f.start, c.expected.start) << c.what;
    EXPECT_EQ(f.length, c.expected.length) << c.what;
  }
}

TEST(S5Frame, KindsWithoutAFrame) {
  S5RequestFields f{};
  EXPECT_FALSE(S5FieldsFor(kKindStatus, 3, 1, &f));
  EXPECT_FALSE(S5FieldsFor('Q', 0, 1, &f));
  EXPECT_FALSE(S5FieldsFor(kKindString, PackS5Address(0, 1, 0), 1, &f));
  EXPECT_FALSE(S5FieldsFor(kKindString, PackS5Address(82, 1, 0), 1, &f));
}

// The documented requests, as they leave through the driver's entry point:
// the 16 bytes of the fetch request handed to the card library.
using S5FrameSent = S5Test;

TEST_F(S5FrameSent, DocumentedFetchRequestsByteForByte) {
  struct Case {
    const char* what;
    uint32_t function;  // 5 single read, 6 block read
    int32_t kind;
    int32_t s5Address;
    int32_t count;
    std::vector<uint8_t> sent;
  };
  const Case cases[] = {
      {"twenty words from DW 100 of DB 10", 6, kKindWord, PackS5Address(0, 10, 100), 20,
       Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A, 0x00, 0x64, 0x00, 0x14,
              0xFF, 0x02})},
      {"one string of 10 with index 4", 5, kKindString, PackS5Address(10, 10, 4), 1,
       Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A, 0x00, 0x14, 0x00, 0x05,
              0xFF, 0x02})},
      {"three strings of 10 with index 4", 6, kKindString, PackS5Address(10, 10, 4), 3,
       Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A, 0x00, 0x14, 0x00, 0x0F,
              0xFF, 0x02})},
      {"five data-block bytes from byte 6", 6, kKindByte, PackS5Address(0, 10, 6), 5,
       Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A, 0x00, 0x03, 0x00, 0x03,
              0xFF, 0x02})},
      {"double word with index 4", 5, kKindDouble, PackS5Address(0, 10, 4), 1,
       Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x01, 0x0A, 0x00, 0x08, 0x00, 0x02,
              0xFF, 0x02})},
      // Byte 9 belongs to data blocks only; the driver leaves 0 there.
      {"four flag bytes from byte 200", 6, kKindFlag, 200, 4,
       Bytes({0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08, 0x02, 0x00, 0x00, 0xC8, 0x00, 0x04,
              0xFF, 0x02})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    h.card.calls.clear();
    h.card.receive.clear();
    HostBuffer buffer(3 * kStringSlotSize);
    IoRecord io = Gate(c.kind, c.s5Address, buffer, kNoBit, c.count);
    h.Call(c.function, &io);
    ASSERT_EQ(h.card.countOf("H1SendeDaten"), 1u);
    const std::vector<uint8_t> block = h.card.callsOf("H1SendeDaten")[0].block;
    EXPECT_EQ(GetLe16(block.data() + kTbLength), 16);
    EXPECT_EQ(SentPieces()[0], c.sent);
  }
}

}  // namespace
}  // namespace kesta::test
