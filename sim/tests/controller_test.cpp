#include "controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace s5sim {
namespace {

std::vector<uint8_t> Request(uint8_t op, uint8_t org, uint8_t db, uint16_t start, uint16_t length,
                             const std::vector<uint8_t>& data = {}) {
  const uint8_t header[16] = {0x53, 0x35, 0x10, 0x01, 0x03, op, 0x03, 0x08, org, db,
                              static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start),
                              static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
                              0xFF, 0x02};
  std::vector<uint8_t> r(16 + data.size());
  std::copy(header, header + 16, r.begin());
  std::copy(data.begin(), data.end(), r.begin() + 16);
  return r;
}

std::vector<uint8_t> Exchange(Controller& c, const std::vector<uint8_t>& r) {
  return c.Handle(r.data(), r.size());
}

TEST(Controller, FetchAnswerCarriesHeaderAndWordsHighByteFirst) {
  Controller c;
  c.SetDataWord(10, 100, 0x1234);
  c.SetDataWord(10, 119, 0xBEEF);
  // The fetch of 20 words from DW 100 of DB 10.
  const std::vector<uint8_t> request = {0x53, 0x35, 0x10, 0x01, 0x03, 0x05, 0x03, 0x08,
                                        0x01, 0x0A, 0x00, 0x64, 0x00, 0x14, 0xFF, 0x02};
  const auto answer = Exchange(c, request);
  ASSERT_EQ(answer.size(), 16u + 40u);
  const std::vector<uint8_t> header(answer.begin(), answer.begin() + 16);
  EXPECT_EQ(header, (std::vector<uint8_t>{0x53, 0x35, 0x10, 0x01, 0x03, 0x06, 0x0F, 0x03, 0x00,
                                          0xFF, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(answer[16], 0x12);
  EXPECT_EQ(answer[17], 0x34);
  EXPECT_EQ(answer[16 + 38], 0xBE);
  EXPECT_EQ(answer[16 + 39], 0xEF);
}

TEST(Controller, WriteIsAppliedAndAcknowledgedPerArea) {
  struct Case {
    uint8_t org;
    uint8_t db;
    uint16_t start;
    std::vector<uint8_t> data;
    uint16_t length;  // in the unit of the area
  };
  const Case cases[] = {
      {kOrgDataBlock, 7, 2047, {0xAB, 0xCD}, 1},
      {kOrgFlags, 0, 254, {0x11, 0x22}, 2},
      {kOrgInputs, 0, 0, {0x33}, 1},
      {kOrgOutputs, 0, 127, {0x44}, 1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.org));
    Controller c;
    const auto ack = Exchange(c, Request(kOpWrite, k.org, k.db, k.start, k.length, k.data));
    ASSERT_EQ(ack.size(), 16u);
    EXPECT_EQ(ack[5], kOpWriteAck);
    EXPECT_EQ(ack[8], kErrNone);
    EXPECT_EQ(ack[9], 0xFF);
    EXPECT_EQ(ack[10], 0x07);
    // Fetching the same range gives the bytes back.
    const auto answer = Exchange(c, Request(kOpFetch, k.org, k.db, k.start, k.length));
    ASSERT_EQ(answer.size(), 16u + k.data.size());
    EXPECT_EQ(std::vector<uint8_t>(answer.begin() + 16, answer.end()), k.data);
  }
  Controller c;
  Exchange(c, Request(kOpWrite, kOrgDataBlock, 7, 2047, 1, {0xAB, 0xCD}));
  EXPECT_EQ(c.DataWord(7, 2047), 0xABCD);
  Exchange(c, Request(kOpWrite, kOrgOutputs, 0, 127, 1, {0x44}));
  EXPECT_EQ(c.Output(127), 0x44);
}

TEST(Controller, ErrorNumbersForRequestsItCannotServe) {
  ControllerConfig config;
  config.dbWords[3] = 0;   // DB 3 does not exist
  config.dbWords[4] = 10;  // DB 4 has words 0-9
  struct Case {
    const char* name;
    std::vector<uint8_t> request;
    uint8_t error;
  };
  const Case cases[] = {
      {"absent DB", Request(kOpFetch, kOrgDataBlock, 3, 0, 1), kErrNoSuchArea},
      {"past DB end", Request(kOpFetch, kOrgDataBlock, 4, 9, 2), kErrBeyondEnd},
      {"start past end", Request(kOpFetch, kOrgDataBlock, 4, 0xFFFF, 1), kErrBeyondEnd},
      {"huge length", Request(kOpFetch, kOrgDataBlock, 4, 0, 0xFFFF), kErrBeyondEnd},
      {"past flags", Request(kOpFetch, kOrgFlags, 0, 255, 2), kErrBeyondEnd},
      {"past inputs", Request(kOpFetch, kOrgInputs, 0, 128, 1), kErrBeyondEnd},
      {"past outputs", Request(kOpWrite, kOrgOutputs, 0, 120, 9, std::vector<uint8_t>(9)),
       kErrBeyondEnd},
      {"unknown org", Request(kOpFetch, 9, 0, 0, 1), kErrUnknownOrg},
      {"write data short", Request(kOpWrite, kOrgDataBlock, 4, 0, 2, {1, 2, 3}), kErrMalformed},
      {"fetch with data", Request(kOpFetch, kOrgFlags, 0, 0, 1, {1}), kErrMalformed},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Controller c(config);
    const auto answer = Exchange(c, k.request);
    ASSERT_EQ(answer.size(), 16u);
    EXPECT_EQ(answer[8], k.error);
    EXPECT_EQ(answer[5], k.request[5] == kOpFetch ? kOpFetchAnswer : kOpWriteAck);
  }
  // A refused write leaves the memory alone.
  Controller c(config);
  Exchange(c, Request(kOpWrite, kOrgDataBlock, 4, 9, 2, {1, 2, 3, 4}));
  EXPECT_EQ(c.DataWord(4, 9), 0);
}

TEST(Controller, MalformedHeadersGetNoAnswerOrAnErrorNeverACrash) {
  Controller c;
  EXPECT_TRUE(c.Handle(nullptr, 0).empty());
  auto r = Request(kOpFetch, kOrgDataBlock, 1, 0, 1);
  EXPECT_TRUE(c.Handle(r.data(), 15).empty());
  auto notS5 = r;
  notS5[1] = '7';
  EXPECT_TRUE(Exchange(c, notS5).empty());
  auto badOp = r;
  badOp[5] = 6;
  EXPECT_TRUE(Exchange(c, badOp).empty());
  auto badLength = r;
  badLength[2] = 0x12;
  const auto answer = Exchange(c, badLength);
  ASSERT_EQ(answer.size(), 16u);
  EXPECT_EQ(answer[8], kErrMalformed);
  // Every header byte value at every position: never more data than asked.
  for (size_t pos = 0; pos < 16; ++pos) {
    for (int v = 0; v < 256; ++v) {
      auto m = r;
      m[pos] = static_cast<uint8_t>(v);
      const auto a = Exchange(c, m);
      const size_t unit = m[8] == kOrgDataBlock ? 2 : 1;
      const size_t asked = size_t{static_cast<uint16_t>(m[12] << 8 | m[13])} * unit;
      EXPECT_TRUE(a.empty() || a.size() == 16 || (a[8] == 0 && a.size() == 16 + asked))
          << pos << " " << v;
    }
  }
}

TEST(Controller, ForcedErrorHitsOnlyItsArea) {
  ControllerConfig config;
  config.forcedErrors.push_back({kOrgDataBlock, 5, 0x0A});
  config.forcedErrors.push_back({kOrgFlags, -1, 0x04});
  Controller c(config);
  EXPECT_EQ(Exchange(c, Request(kOpFetch, kOrgDataBlock, 5, 0, 1))[8], 0x0A);
  EXPECT_EQ(Exchange(c, Request(kOpWrite, kOrgDataBlock, 5, 0, 1, {9, 9}))[8], 0x0A);
  EXPECT_EQ(c.DataWord(5, 0), 0);
  EXPECT_EQ(Exchange(c, Request(kOpFetch, kOrgDataBlock, 6, 0, 1))[8], 0);
  EXPECT_EQ(Exchange(c, Request(kOpFetch, kOrgFlags, 0, 0, 1))[8], 0x04);
}

TEST(Controller, ExternalMemoryIsUsedAsItStands) {
  ControllerConfig config;
  config.dbWords.fill(0);
  config.dbWords[2] = 4;
  std::vector<uint8_t> memory(MemorySize(config), 0);
  ASSERT_EQ(memory.size(), 8u + 256u + 128u + 128u);
  memory[2] = 0x56;  // DB 2, DW 1, high byte
  memory[3] = 0x78;
  memory[8] = 0x99;  // flag byte 0
  Controller c(config, memory.data());
  EXPECT_EQ(c.DataWord(2, 1), 0x5678);
  EXPECT_EQ(c.Flag(0), 0x99);
  Exchange(c, Request(kOpWrite, kOrgOutputs, 0, 0, 1, {0x42}));
  EXPECT_EQ(memory[8 + 256 + 128], 0x42);
}

}  // namespace
}  // namespace s5sim
