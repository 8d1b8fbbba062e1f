#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "h1/blocks.h"

namespace kesta::test {
namespace {

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

TEST(ConnectBlock, WritesOnlyItsNamedBytes) {
  uint8_t block[1024];
  std::memset(block, 0xAA, sizeof block);
  const uint8_t mac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x03};
  const uint8_t own[9] = {'T', 'A', 'M', 'R', 'E', 'A', 'D', ' ', 0};
  const uint8_t station[9] = {'T', 'A', 'M', 'B', 'O', 'R', ' ', ' ', 0};

  BuildConnectBlock(block, mac, own, station, 3);

  std::vector<uint8_t> expected(80, 0xAA);
  expected[0] = 4;
  expected[1] = 1;
  expected[2] = 6;
  std::memcpy(&expected[3], mac, 6);
  expected[9] = 0;
  expected[10] = 0;
  expected[23] = 8;
  std::memcpy(&expected[24], own, 9);
  expected[40] = 8;
  std::memcpy(&expected[41], station, 9);
  expected[57] = 0;
  expected[74] = 0xFF;
  expected[75] = 0xFF;
  expected[78] = 3;
  expected[79] = 0;
  EXPECT_EQ(Bytes(block, 80), expected);
  for (size_t i = 80; i < sizeof block; ++i) ASSERT_EQ(block[i], 0xAA) << i;
  EXPECT_EQ(ConnectBlockConnection(block), -1);
}

TEST(TransferBlock, SendViewCarriesConnectionWordLengthAndData) {
  uint8_t block[1024];
  std::memset(block, 0xAA, sizeof block);
  const uint8_t data[3] = {1, 2, 3};

  BuildSendBlock(block, 0x0102, true, data, 3);
  EXPECT_EQ(Bytes(block, 13), (std::vector<uint8_t>{0x02, 0x81, 3, 0, 0xAA, 0xAA, 0xAA, 0xAA,
                                                    0xAA, 0xAA, 1, 2, 3}));
  EXPECT_EQ(block[13], 0xAA);

  BuildSendBlock(block, 0x0102, false, data, 3);
  EXPECT_EQ(block[0], 0x02);
  EXPECT_EQ(block[1], 0x01);
}

TEST(TransferBlock, ReceiveViewAsksForTheWholeArea) {
  uint8_t block[1024];
  std::memset(block, 0xAA, sizeof block);
  BuildReceiveBlock(block, 7);
  EXPECT_EQ(Bytes(block, 6), (std::vector<uint8_t>{7, 0, 0x00, 0x04, 0xAA, 0xAA}));
  block[4] = 0x10;
  block[5] = 0x00;
  block[6] = 12;
  block[7] = 0;
  EXPECT_EQ(ReceiveBlockReceived(block), 16);
  EXPECT_EQ(ReceiveBlockStatus(block), 12);
  EXPECT_EQ(ReceiveBlockData(block), block + 12);
}

TEST(DefaultsBlock, SizeAndTimeoutsAtTheirOffsets) {
  uint8_t block[46];
  std::memset(block, 0x11, sizeof block);
  PrepareDefaultsBlock(block);
  EXPECT_EQ(block[0], 46);
  EXPECT_EQ(block[1], 0);
  PutDefaultsTimeouts(block, 475, 500);
  std::vector<uint8_t> expected(46, 0x11);
  expected[0] = 46;
  expected[1] = 0;
  expected[8] = 0xDB;  // 475
  expected[9] = 0x01;
  expected[10] = 0xDB;
  expected[11] = 0x01;
  expected[30] = 0xF4;  // 500
  expected[31] = 0x01;
  expected[32] = 0;
  expected[33] = 0;
  EXPECT_EQ(Bytes(block, 46), expected);
}

}  // namespace
}  // namespace kesta::test
