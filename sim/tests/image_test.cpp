#include "image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "controller.h"

namespace s5sim {
namespace {

class Image : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/s5sim_image_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ + "/image.bin";
    config_.dbWords.fill(0);
    config_.dbWords[1] = 8;
  }
  void TearDown() override {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }

  std::string dir_;
  std::string path_;
  ControllerConfig config_;
};

TEST_F(Image, WritesSurviveReopeningAndOtherLengthsAreRefused) {
  std::string error;
  {
    MemoryImage image;
    ASSERT_TRUE(image.Open(path_, config_, &error)) << error;
    image.memory()[3] = 0x5A;
  }
  MemoryImage again;
  ASSERT_TRUE(again.Open(path_, config_, &error)) << error;
  EXPECT_EQ(again.memory()[3], 0x5A);

  ControllerConfig other = config_;
  other.dbWords[1] = 0;
  other.dbWords[2] = 8;  // same size, other layout
  MemoryImage refused;
  EXPECT_FALSE(refused.Open(path_, other, &error));
  EXPECT_NE(error.find("other data block lengths"), std::string::npos) << error;
}

// Killed after sizing the file, before writing its header: still usable.
TEST_F(Image, ImageSizedButWithoutHeaderIsTakenAsNew) {
  std::string error;
  {
    MemoryImage image;
    ASSERT_TRUE(image.Open(path_, config_, &error)) << error;
  }
  FILE* f = std::fopen(path_.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  const std::string zeros(4096, '\0');
  ASSERT_EQ(std::fwrite(zeros.data(), 1, zeros.size(), f), zeros.size());
  std::fclose(f);

  MemoryImage half;
  ASSERT_TRUE(half.Open(path_, config_, &error)) << error;
  // Its header is there now: another layout is refused.
  ControllerConfig other = config_;
  other.dbWords[1] = 0;
  other.dbWords[2] = 8;
  MemoryImage refused;
  EXPECT_FALSE(refused.Open(path_, other, &error));
}

}  // namespace
}  // namespace s5sim
