#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace s5sim {
namespace {

bool Parse(std::vector<std::string> args, Options* out, std::string* error) {
  args.insert(args.begin(), "s5sim");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), out, error);
}

TEST(Options, ReadsLayoutFaultsAndListenAddress) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"--listen", "[::1]:0", "--db-words", "100", "--db", "3=0", "--db", "255=65535",
                     "--error", "db7=9", "--error", "db=4", "--error", "ab=2", "--delay", "50",
                     "--drop-after", "3", "--max-dt", "1", "--tpdu-size", "128", "--verbose"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.host, "::1");
  EXPECT_EQ(o.port, "0");
  EXPECT_EQ(o.controller.dbWords[0], 100);
  EXPECT_EQ(o.controller.dbWords[3], 0);
  EXPECT_EQ(o.controller.dbWords[255], 65535);
  ASSERT_EQ(o.controller.forcedErrors.size(), 3u);
  EXPECT_EQ(o.controller.forcedErrors[0].db, 7);
  EXPECT_EQ(o.controller.forcedErrors[0].error, 9);
  EXPECT_EQ(o.controller.forcedErrors[1].db, -1);
  EXPECT_EQ(o.controller.forcedErrors[2].org, kOrgOutputs);
  EXPECT_EQ(o.faults.delayMs, 50u);
  EXPECT_EQ(o.faults.dropAfter, 3u);
  EXPECT_EQ(o.faults.maxDtData, 1u);
  EXPECT_EQ(o.tpduSize, 128u);
  EXPECT_TRUE(o.verbose);
}

TEST(Options, RefusesWhatItCannotRead) {
  const std::vector<std::vector<std::string>> bad = {
      {"--listen", "127.0.0.1"},   {"--listen", "h:70000"}, {"--db", "256=1"},
      {"--db", "1=65536"},         {"--db", "1"},           {"--error", "xb=1"},
      {"--error", "db300=1"},      {"--error", "mb=256"},   {"--error", "eb=0"},   {"--tpdu-size", "64"},
      {"--drop-after", "0"},       {"--delay", "-1"},       {"--max-dt", "0"},
      {"--image"},                 {"--bogus", "1"},        {"stray"},
  };
  for (const auto& args : bad) {
    Options o;
    std::string error;
    EXPECT_FALSE(Parse(args, &o, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

}  // namespace
}  // namespace s5sim
