#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "cotp.h"

namespace h1tcp {
namespace {

TEST(Frames, ConnectRequestCarriesRefsTpduSizeAndBothTsaps) {
  ConnectTpdu cr;
  cr.code = kTpduCr;
  cr.srcRef = 0x0102;
  cr.tpduSizeCode = 10;
  cr.callingLength = 8;
  std::memcpy(cr.calling, "READ    ", 8);
  cr.calledLength = 8;
  std::memcpy(cr.called, "PLC1    ", 8);
  uint8_t frame[64];
  const size_t n = BuildConnectFrame(cr, frame, sizeof frame);
  // TPKT 4 + LI..class 7 + C0 3 + C1 10 + C2 10.
  ASSERT_EQ(n, 34u);
  const std::vector<uint8_t> head(frame, frame + 14);
  EXPECT_EQ(head, (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x22, 0x1D, 0xE0, 0x00, 0x00, 0x01,
                                        0x02, 0x00, 0xC0, 0x01, 0x0A}));
  EXPECT_EQ(frame[14], 0xC1);
  EXPECT_EQ(frame[15], 8);
  EXPECT_EQ(std::memcmp(frame + 16, "READ    ", 8), 0);
  EXPECT_EQ(frame[24], 0xC2);
  EXPECT_EQ(std::memcmp(frame + 26, "PLC1    ", 8), 0);

  size_t payload = 0;
  ASSERT_TRUE(ParseTpktHeader(frame, &payload));
  ASSERT_EQ(payload, n - 4);
  ConnectTpdu back;
  ASSERT_TRUE(ParseConnectTpdu(frame + 4, payload, &back));
  EXPECT_EQ(back.code, kTpduCr);
  EXPECT_EQ(back.srcRef, 0x0102);
  EXPECT_EQ(back.tpduSizeCode, 10);
  EXPECT_EQ(back.callingLength, 8);
  EXPECT_EQ(std::memcmp(back.called, "PLC1    ", 8), 0);
  EXPECT_EQ(BuildConnectFrame(cr, frame, 33), 0u);  // does not fit
}

TEST(Frames, MalformedHeadersAndTpdusAreRefused) {
  const uint8_t badVersion[4] = {0x02, 0x00, 0x00, 0x10};
  const uint8_t badReserved[4] = {0x03, 0x01, 0x00, 0x10};
  const uint8_t tooShort[4] = {0x03, 0x00, 0x00, 0x05};
  size_t payload = 0;
  EXPECT_FALSE(ParseTpktHeader(badVersion, &payload));
  EXPECT_FALSE(ParseTpktHeader(badReserved, &payload));
  EXPECT_FALSE(ParseTpktHeader(tooShort, &payload));

  struct Case {
    const char* name;
    std::vector<uint8_t> tpdu;
  };
  const Case cases[] = {
      {"LI past the end", {0x10, 0xD0, 0, 1, 0, 2, 0}},
      {"CC shorter than its fixed part", {0x04, 0xD0, 0, 1, 0}},
      {"parameter past LI", {0x09, 0xD0, 0, 1, 0, 2, 0, 0xC1, 0x08, 'A'}},
      {"TPDU size of two bytes", {0x09, 0xD0, 0, 1, 0, 2, 0, 0xC0, 0x02, 0x0A}},
      {"DT is no connect TPDU", {0x02, 0xF0, 0x80}},
      {"empty", {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ConnectTpdu t;
    EXPECT_FALSE(ParseConnectTpdu(k.tpdu.data(), k.tpdu.size(), &t));
  }
  // A TSAP longer than the parser keeps is refused, not cut.
  std::vector<uint8_t> longTsap = {0, 0xD0, 0, 1, 0, 2, 0, 0xC2, 40};
  longTsap.resize(longTsap.size() + 40, 'X');
  longTsap[0] = static_cast<uint8_t>(longTsap.size() - 1);
  ConnectTpdu t;
  EXPECT_FALSE(ParseConnectTpdu(longTsap.data(), longTsap.size(), &t));
}

TEST(Frames, DataAndDisconnectFrames) {
  uint8_t dt[7];
  PutDtHeader(dt, 16, true);
  EXPECT_EQ(std::vector<uint8_t>(dt, dt + 7),
            (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x17, 0x02, 0xF0, 0x80}));
  PutDtHeader(dt, 256, false);
  EXPECT_EQ(std::vector<uint8_t>(dt, dt + 7),
            (std::vector<uint8_t>{0x03, 0x00, 0x01, 0x07, 0x02, 0xF0, 0x00}));
  uint8_t dr[kDisconnectFrameSize];
  BuildDisconnectFrame(0x0011, 0x0102, 0, dr);
  ConnectTpdu t;
  ASSERT_TRUE(ParseConnectTpdu(dr + 4, 7, &t));
  EXPECT_EQ(t.code, kTpduDr);
  EXPECT_EQ(t.dstRef, 0x0011);
  EXPECT_EQ(t.srcRef, 0x0102);
}

}  // namespace
}  // namespace h1tcp
