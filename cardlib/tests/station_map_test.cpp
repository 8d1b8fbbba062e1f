#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "h1tcp.h"
#include "station_map.h"

namespace h1tcp {
namespace {

TEST(StationMap, ReadsTheLineForms) {
  struct Case {
    const char* line;
    uint16_t card;
    bool any;
    uint8_t mac0, mac5;
    const char* host;
    const char* port;
  };
  const Case cases[] = {
      {"0 080006010203 = 127.0.0.1:102", 0, false, 0x08, 0x03, "127.0.0.1", "102"},
      {"  12\t08:00:06:01:02:0a=plc.example:1102  # comment", 12, false, 0x08, 0x0A,
       "plc.example", "1102"},
      {"1 08-00-06-01-02-FF = 10.0.0.1", 1, false, 0x08, 0xFF, "10.0.0.1", "102"},
      {"3 * = [::1]:2000", 3, true, 0, 0, "::1", "2000"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.line);
    MapLine m;
    ASSERT_TRUE(ParseMapLine(k.line, &m));
    EXPECT_EQ(m.card, k.card);
    EXPECT_EQ(m.anyStation, k.any);
    EXPECT_EQ(m.mac[0], k.mac0);
    EXPECT_EQ(m.mac[5], k.mac5);
    EXPECT_STREQ(m.target.host, k.host);
    EXPECT_STREQ(m.target.port, k.port);
  }
  const char* refused[] = {
      "",          "# only a comment", "0 0800060102 = h:1",  "0 080006010203 h:1",
      "x 080006010203 = h:1", "0 080006010203 = h:0", "0 080006010203 = h:65536",
      "0 080006010203 = ", "0 080006010203 = h:1 trailing", "70000 * = h",
      "0 080006010203 = [::1:5",
  };
  for (const char* line : refused) {
    MapLine m;
    EXPECT_FALSE(ParseMapLine(line, &m)) << line;
  }
  std::string longHost = "0 * = " + std::string(300, 'h');
  MapLine m;
  EXPECT_FALSE(ParseMapLine(longHost.c_str(), &m));
}

TEST(StationMap, ExactAddressWinsOverWildcardAndMissingGiveStatuses) {
  const std::string path = ::testing::TempDir() + "h1tcp_map_test.cfg";
  std::FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("; station map\n", f);
  std::fputs("0 * = wild:1\n", f);
  std::fputs(("0 * = " + std::string(600, 'z') + "\n").c_str(), f);  // overlong: skipped
  std::fputs("0 080006010203 = exact:2\n", f);
  std::fputs("0 080006010203 = second:3\n", f);
  std::fputs("1 080006010204 = other:4", f);  // no final line feed
  std::fclose(f);

  const uint8_t mac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x03};
  const uint8_t mac4[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x04};
  StationTarget t;
  EXPECT_EQ(LookupStationIn(path.c_str(), 0, mac, &t), 0);
  EXPECT_STREQ(t.host, "exact");
  EXPECT_EQ(LookupStationIn(path.c_str(), 0, mac4, &t), 0);
  EXPECT_STREQ(t.host, "wild");
  EXPECT_EQ(LookupStationIn(path.c_str(), 1, mac4, &t), 0);
  EXPECT_STREQ(t.host, "other");
  // No line for it, and the overlong line might have been the one.
  EXPECT_EQ(LookupStationIn(path.c_str(), 1, mac, &t), kStatusBadMapLine);
  EXPECT_EQ(LookupStationIn((path + ".missing").c_str(), 0, mac, &t), kStatusNoConfig);
  std::remove(path.c_str());
}

// A mistyped line is reported as such when no other line serves the
// station, instead of as a missing line.
TEST(StationMap, UnreadableLineGivesItsOwnStatusWhenNothingMatched) {
  const std::string path = ::testing::TempDir() + "h1tcp_map_typo_test.cfg";
  const uint8_t mac[6] = {0x08, 0x00, 0x06, 0x01, 0x02, 0x03};
  struct Case {
    const char* map;
    uint16_t status;
  };
  const Case cases[] = {
      {"# comment\n\n   \t\n; other comment\n1 080006010203 = h:1\n", kStatusNoMapping},
      {"0 08000601023 = h:1\n", kStatusBadMapLine},       // 11 hex digits
      {"0 080006010203 = h:1\n0 080006010203 h:2\n", 0},  // the good line serves
      {"0 0800o6010203 = h:1\n0 * = wild:2\n", 0},        // as does a wildcard
      {"1 080006010203 = h:1\n0 080006010203 = h:99999\n", kStatusBadMapLine},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.map);
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(k.map, f);
    std::fclose(f);
    StationTarget t;
    EXPECT_EQ(LookupStationIn(path.c_str(), 0, mac, &t), k.status);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace h1tcp
