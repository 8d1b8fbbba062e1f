// Random requests against a card library that answers anything: random
// results and statuses, pieces of random size with `received` values up to
// 65535, headers that may or may not be S5 answers. Whatever arrives, the
// driver must write only into its work area, its own station entry and the
// host's buffer, and answer 0, 1 or 2.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "s5/store_data.h"
#include "s5_fixture.h"

namespace kesta::test {
namespace {

constexpr int kIterations = 3000;

class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  // 0 to n-1; mt19937's output sequence is the same on every platform.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(engine_() % n); }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
  template <typename T, size_t N>
  T Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  std::mt19937 engine_;
};

CardReply RandomReceivePiece(Random& rnd) {
  const uint16_t statuses[] = {0, 0, 12, 12, 12, 3, 99};
  CardReply r;
  r.rc = rnd.Chance(8) ? static_cast<uint16_t>(1 + rnd.Below(9)) : 0;
  r.status = rnd.Pick(statuses);
  const size_t length = rnd.Chance(70) ? rnd.Below(40) : rnd.Below(1100);
  r.data.resize(length);
  for (uint8_t& b : r.data) b = static_cast<uint8_t>(rnd.Below(256));
  if (length >= 9 && rnd.Chance(60)) {
    r.data[0] = 'S';
    r.data[1] = '5';
    r.data[8] = rnd.Chance(80) ? 0 : r.data[8];
  }
  if (rnd.Chance(15)) r.received = static_cast<uint16_t>(rnd.Below(65536));
  return r;
}

// Host buffer exactly as large as what the request may legitimately store,
// so that the guard bytes sit right behind it.
size_t HostSize(int32_t kind, int32_t s5Address, int32_t count, bool block) {
  if (kind == kKindStatus) return 4;  // one value at offset 2, block or not
  if (!block) {
    // A string and its terminating zero; every other single value fits the
    // 16-bit value at offset 2 or the 32-bit value at offset 0.
    return kind == kKindString ? S5StringLength(s5Address) + 1 : 4;
  }
  if (count <= 0) return 0;
  const size_t n = static_cast<size_t>(count);
  switch (kind) {
    case kKindWord: return 2 * n;
    case kKindDouble:
    case kKindFloat: return 4 * n;
    case kKindString: return kStringSlotSize * n;
    default: return n;
  }
}

using HostileAnswerTest = S5Test;

TEST_F(HostileAnswerTest, NothingOutsideTheDriversOwnBytesChanges) {
  Random rnd(20260611);
  const int32_t kinds[] = {kKindWord, kKindWord, kKindString, kKindByte, kKindDouble, kKindFloat,
                           kKindFlag, kKindInput, kKindOutput, kKindStatus, 'Q'};
  const uint32_t lengths[] = {0, 1, 2, 10, 80, 81, 255};
  const uint32_t functions[] = {5, 6, 7, 10};
  const uint16_t sendStatuses[] = {0, 0, 0, 0, 3, 7};
  const uint16_t connectStatuses[] = {0, 0, 0, 2, 3, 9};
  std::vector<uint8_t> otherStations(kStationCount * kStationEntrySize);

  for (int iteration = 0; iteration < kIterations; ++iteration) {
    h.card.calls.clear();
    h.card.send.clear();
    h.card.receive.clear();
    h.card.connect.clear();
    h.log.clear();
    h.platform.sleeps.clear();

    SetActive(h.work(), !rnd.Chance(3));
    for (Direction dir : {Direction::Read, Direction::Write}) {
      if (rnd.Chance(30)) SetStationConn(h.work(), kStation, dir, -1);
    }
    const uint32_t function = rnd.Pick(functions);
    const bool block = function == 6 || function == 10;
    const int32_t kind = rnd.Pick(kinds);
    int32_t s5Address = static_cast<int32_t>(rnd.Below(0x10000) | (rnd.Below(256) << 16));
    if (kind == kKindString) s5Address = PackS5Address(rnd.Pick(lengths), 5, rnd.Below(60));
    if (kind == kKindStatus) s5Address = static_cast<int32_t>(rnd.Below(300));
    const int32_t count = rnd.Chance(5) ? -static_cast<int32_t>(rnd.Below(5) + 1)
                          : rnd.Chance(10) ? static_cast<int32_t>(rnd.Below(5000))
                                           : static_cast<int32_t>(rnd.Below(300));
    const int32_t bits[] = {kNoBit, kNoBit, 0, 7, 9, 15, 16, 40, -7};
    HostBuffer buffer(HostSize(kind, s5Address, count, block));
    IoRecord io = Gate(kind, s5Address, buffer, rnd.Pick(bits), count);
    if (rnd.Chance(3)) io.station = static_cast<int32_t>(rnd.Below(400)) - 50;
    if (rnd.Chance(3)) io.address = nullptr;

    for (uint32_t i = rnd.Below(3); i > 0; --i) {
      CardReply c;
      c.status = rnd.Pick(connectStatuses);
      c.connection = static_cast<int16_t>(rnd.Below(0x10000));
      h.card.connect.push_back(c);
    }
    for (uint32_t i = rnd.Below(40); i > 0; --i) {
      CardReply s;
      s.rc = rnd.Chance(5) ? 1 : 0;
      s.status = rnd.Pick(sendStatuses);
      h.card.send.push_back(s);
    }
    for (uint32_t i = rnd.Below(12); i > 0; --i) h.card.receive.push_back(RandomReceivePiece(rnd));

    std::memcpy(otherStations.data(), h.work() + kWaStations, otherStations.size());
    const int32_t result = h.Call(function, &io);

    ASSERT_TRUE(result == 0 || result == 1 || result == 2) << iteration;
    ASSERT_TRUE(h.GuardsIntact()) << iteration;
    ASSERT_TRUE(buffer.GuardsIntact()) << iteration << " fn " << function << " kind " << kind
                                       << " addr " << std::hex << s5Address << std::dec
                                       << " count " << count << " bit " << io.bit << " size "
                                       << buffer.size() << " result " << result;
    // Only the addressed station's entry may change.
    for (size_t s = 0; s < kStationCount; ++s) {
      if (s == kStation) continue;
      ASSERT_EQ(std::memcmp(otherStations.data() + s * kStationEntrySize,
                            StationEntryOf(h.work(), static_cast<uint32_t>(s)), kStationEntrySize),
                0)
          << iteration << " station " << s;
    }
    ASSERT_EQ(StationFlags(h.work(), kStation) & 0xE0, 0) << iteration;
    for (uint32_t ms : h.platform.sleeps) ASSERT_EQ(ms, 100u) << iteration;
  }
}

}  // namespace
}  // namespace kesta::test
