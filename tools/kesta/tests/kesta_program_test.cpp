// kesta as a program: its exit codes, and each subcommand against the
// driver, the ISO-on-TCP card library and the simulator.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "loopback.h"
#include "process.h"

namespace kestatool::test {
namespace {

using nlohmann::json;

// The driver loads the card library by its bare name through the ordinary
// search, LD_LIBRARY_PATH first, as a Linux host arranges it. (The driver's
// own run path would do in a plain build, but not under the sanitizers,
// whose dlopen stands in for the driver's.)
const bool kCardLibraryOnPath = [] {
  const std::string driver = DRIVER_PATH;
  setenv("LD_LIBRARY_PATH", driver.substr(0, driver.rfind('/')).c_str(), 1);
  return true;
}();

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("kesta-tool-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// kesta with the driver of this build and the VPI's files in `dir`.
std::vector<std::string> Kesta(const TempDir& dir, std::vector<std::string> args) {
  std::vector<std::string> all = {KESTA_PATH, "--driver", DRIVER_PATH, "--dir", dir.path()};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

std::string Describe(const RunResult& r) {
  return "exit " + std::to_string(r.exitCode) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

TEST(KestaExitCodes, UsageErrorsExit64BeforeTheDriverIsLoaded) {
  TempDir dir;
  WriteFile(dir.File("bad.gates"), "0A05012\n0A05012 dword\n");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"read"},
      {"read", "--bogus", "0A05012"},
      {"read", "--type", "dword", "0A05012"},
      {"read", "--count", "0", "0A05012"},
      {"read", "--count", "2", "0A05012", "0A05013"},
      {"write", "0A05012"},
      {"write", "0A05012=1", "--values", "1,2"},
      {"--log-level", "loud", "status"},
      {"--dir", dir.File("no-such-dir"), "status"},
      {"watch", "--gates", dir.File("missing.gates")},
      {"watch", "--gates", dir.File("bad.gates")},
      {"watch", "--gates", dir.File("bad.gates"), "--interval", "0"},
  };
  for (const auto& args : cases) {
    // A driver path that does not exist proves nothing was loaded.
    std::vector<std::string> all = {KESTA_PATH, "--driver", dir.File("none.so")};
    all.insert(all.end(), args.begin(), args.end());
    const RunResult r = RunProgram(all);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(r.exitCode, 64) << shown << Describe(r);
    EXPECT_TRUE(r.out.empty()) << shown << Describe(r);
  }
  const RunResult help = RunProgram({KESTA_PATH, "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("watch"), std::string::npos);
}

TEST(KestaExitCodes, AMissingDriverIsACommunicationFailure) {
  TempDir dir;
  const RunResult r = RunProgram({KESTA_PATH, "--driver", dir.File("none.so"), "status"});
  EXPECT_EQ(r.exitCode, 2) << Describe(r);
  EXPECT_NE(r.err.find("cannot load"), std::string::npos) << Describe(r);
}

// Parsing needs no card library and no controller.
TEST(KestaParse, ShowsHowAddressesDecodeOrTheDriversMessage) {
  TempDir dir;
  WriteFile(dir.File("KESTA01.INT"), "0A = 080006010203\n");
  RunResult r = RunProgram(Kesta(dir, {"parse", "0A05012", "0a05012f", "0A05014$20", "05-E127"}));
  EXPECT_EQ(r.exitCode, 0) << Describe(r);
  EXPECT_NE(r.out.find("0A05012      data word: station 0x0A, DB 5, DW 18; width 16, type word"),
            std::string::npos)
      << Describe(r);
  EXPECT_NE(r.out.find("bit 15; width 16, type digital"), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("DW 20, 20 characters; width 16, type string"), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("note: Parse(), station '05' not in init file"), std::string::npos) << Describe(r);

  r = RunProgram(Kesta(dir, {"parse", "--json", "0A05012L", "s03"}));
  EXPECT_EQ(r.exitCode, 1) << Describe(r);
  const json j = json::parse(r.out, nullptr, false);
  ASSERT_TRUE(j.is_array()) << Describe(r);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["ok"], true);
  EXPECT_EQ(j[0]["gate"]["kind"], "L");
  EXPECT_EQ(j[0]["gate"]["typeName"], "long");
  EXPECT_EQ(j[0]["gate"]["dw"], 18);
  EXPECT_EQ(j[0]["gate"]["fields"]["s5Address"], 0x00050009);
  EXPECT_EQ(j[1]["ok"], false);
  EXPECT_EQ(j[1]["result"], 1);
  EXPECT_EQ(j[1]["error"], "Parse() Illegal character 0 in 's03     '");

  // A bit address refused as the start of a block.
  r = RunProgram(Kesta(dir, {"parse", "--block", "0A050120"}));
  EXPECT_EQ(r.exitCode, 1) << Describe(r);
  EXPECT_NE(r.out.find("BlockParse() spec. dig. gates not allowed as block"), std::string::npos)
      << Describe(r);
}

// Ctrl-C in the middle of a read: what was read so far is still printed as
// valid JSON. Station 07 leads to a port that takes the connection but never
// answers, so each request waits for its timeout.
TEST(KestaInterrupted, ReadJsonPrintsWhatWasGatheredSoFar) {
  uint16_t silentPort = 0;
  const int listener = posix_test::ListenOnLoopback(&silentPort, 64);
  ASSERT_GE(listener, 0);
  TempDir dir;
  WriteFile(dir.File("KESTA01.INT"), "CARD = 0\n07 = 080006010207\n");
  WriteFile(dir.File("H1TCP.CFG"),
            "0 080006010207 = 127.0.0.1:" + std::to_string(silentPort) + "\n");
  std::vector<std::string> args = {"--timeout", "100", "read", "--json"};
  for (int i = 0; i < 20; ++i) args.push_back("07010" + std::to_string(10 + i));
  ChildProcess read;
  ASSERT_TRUE(read.Start(Kesta(dir, args), Stream::File(dir.File("read.out")),
                         Stream::File(dir.File("read.err"))));
  for (int waited = 0; waited < 5000 && read.Err().find("kesta: read '0701010'") == std::string::npos;
       waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  read.Signal(SIGINT);
  EXPECT_EQ(read.Wait(5000), 130) << read.Err();
  close(listener);
  const json j = json::parse(read.Out(), nullptr, false);
  ASSERT_TRUE(j.is_array()) << read.Out() << read.Err();
  EXPECT_GE(j.size(), 1u);
  EXPECT_LT(j.size(), 20u);
  EXPECT_EQ(j[0]["address"], "0701010");
  EXPECT_EQ(j[0]["result"], 2);
  EXPECT_NE(read.Err().find("kesta: VPI 1 ended (EndVpi 0)\n"), std::string::npos) << read.Err();
}

// A VPI with station 05 on the simulator and station 06, whose controller
// does not answer.
class KestaWithSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start({"--image", dir_.File("image.bin"), "--db", "9=0"},
                           Stream::File(dir_.File("sim.out")), Stream::File(dir_.File("sim.err"))));
    WriteFile(dir_.File("KESTA01.INT"), "CARD = 0\n05 = 080006010203 , TAMBOR\n06 = 080006010206\n");
    // Station 06 leads to a port where nobody listens: the simulator's
    // port once it is gone is not known, so take a port of our own range.
    WriteFile(dir_.File("H1TCP.CFG"), "0 080006010203 = 127.0.0.1:" + std::to_string(sim_.port()) +
                                          "\n0 080006010206 = 127.0.0.1:1\n");
  }

  RunResult Run(std::vector<std::string> args) { return RunProgram(Kesta(dir_, std::move(args))); }

  TempDir dir_;
  SimProcess sim_;
};

TEST_F(KestaWithSimulator, WritesAndReadsBackOneGateOfEachKind) {
  const std::vector<std::pair<std::string, std::string>> gates = {
      {"0501000", "4660"},       {"0501001S", "85"},         {"0501001N", "170"},
      {"05010024", "1"},         {"0501010L", "-5"},         {"0501012Y", "3.25"},
      {"0501005$10", "\"hi there\""}, {"05-M10", "200"},     {"05-M113", "1"},
      {"05-A03", "7"},           {"05V0101", "42"},
  };
  std::vector<std::string> write = {"write"};
  std::vector<std::string> read = {"read"};
  for (const auto& [address, value] : gates) {
    write.push_back(address + "=" + value);
    read.push_back(address);
  }
  RunResult r = Run(write);
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  r = Run(read);
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  std::string expected;
  for (const auto& [address, value] : gates) expected += address + " = " + value + "\n";
  EXPECT_EQ(r.out, expected) << Describe(r);
  EXPECT_TRUE(r.err.empty()) << Describe(r);

  // Both bytes written above make the word they belong to.
  r = Run({"read", "--json", "0501001", "--type", "word"});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  const json j = json::parse(r.out, nullptr, false);
  ASSERT_TRUE(j.is_array()) << Describe(r);
  EXPECT_EQ(j[0]["value"], 0xAA55);
}

TEST_F(KestaWithSimulator, WritesAndReadsBlocks) {
  std::string values;
  std::string row;
  for (int i = 1; i <= 100; ++i) values += (i > 1 ? "," : "") + std::to_string(i * 3);
  RunResult r = Run({"write", "0502000", "--values", values});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  EXPECT_EQ(r.out, "wrote 100 data words to 0502000\n");
  r = Run({"read", "--json", "0502000", "--count", "100"});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  const json j = json::parse(r.out, nullptr, false);
  ASSERT_TRUE(j.is_array()) << Describe(r);
  ASSERT_EQ(j[0]["values"].size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(j[0]["values"][i], (i + 1) * 3) << i;

  r = Run({"write", "0503000L", "--values", "1,-2,0x7FFFFFFF"});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  r = Run({"read", "0503000L", "--count", "3"});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  EXPECT_NE(r.out.find("    0: 1 -2 2147483647\n"), std::string::npos) << Describe(r);

  // Too large for one frame: refused before anything is sent, and the JSON
  // form says so too.
  r = Run({"read", "0502000", "--count", "2073"});
  EXPECT_EQ(r.exitCode, 64) << Describe(r);
  r = Run({"read", "--json", "0502000", "--count", "2073"});
  EXPECT_EQ(r.exitCode, 64) << Describe(r);
  const json tooLarge = json::parse(r.out, nullptr, false);
  ASSERT_TRUE(tooLarge.is_array()) << Describe(r);
  ASSERT_EQ(tooLarge.size(), 1u) << Describe(r);
  EXPECT_EQ(tooLarge[0]["ok"], false);
  EXPECT_EQ(tooLarge[0]["exitCode"], 64);
  EXPECT_NE(tooLarge[0]["error"].get<std::string>().find("at most 4144 data bytes"), std::string::npos)
      << Describe(r);
  // Data-block bytes go in whole words: an odd count is refused before
  // anything is sent, reading as writing; an even one is read (byte 0 the low byte of DW 0).
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"read", "0502000S", "--count", "3"},
        std::vector<std::string>{"write", "0502000S", "--values", "1,2,3"}}) {
    r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << args[0] << Describe(r);
    EXPECT_NE(r.err.find("refused (1): byte blocks of a data block need an even count"), std::string::npos)
        << args[0] << Describe(r);
    EXPECT_EQ(r.err.find("StoreData"), std::string::npos) << Describe(r);
  }
  r = Run({"read", "0502000S", "--count", "4"});
  EXPECT_EQ(r.exitCode, 0) << Describe(r);
  EXPECT_NE(r.out.find("    0: 3 0 6 0\n"), std::string::npos) << Describe(r);
  // A bad value in the list writes nothing.
  r = Run({"write", "0502000", "--values", "9,9,x"});
  EXPECT_EQ(r.exitCode, 64) << Describe(r);
  EXPECT_NE(r.err.find("value 3 'x'"), std::string::npos) << Describe(r);
  r = Run({"read", "0502000", "--count", "2"});
  EXPECT_NE(r.out.find("    0: 3 6\n"), std::string::npos) << Describe(r);
}

TEST_F(KestaWithSimulator, FailuresSayWhichGateAndWhyAndSetTheExitCode) {
  // An input cannot be written: the driver refuses.
  RunResult r = Run({"write", "05-E01=1"});
  EXPECT_EQ(r.exitCode, 1) << Describe(r);
  EXPECT_NE(r.err.find("kesta: write '05-E01': refused (1)"), std::string::npos) << Describe(r);
  // A data block the controller lacks: its S5 error number.
  r = Run({"read", "0509000"});
  EXPECT_EQ(r.exitCode, 1) << Describe(r);
  EXPECT_NE(r.err.find("kesta: read '0509000': refused (1): DoRead() unable to read requested data S5err"),
            std::string::npos)
      << Describe(r);
  // A station whose controller does not answer; the good gate is still read.
  r = Run({"read", "0601000", "0501000"});
  EXPECT_EQ(r.exitCode, 2) << Describe(r);
  EXPECT_EQ(r.err.rfind("kesta: read '0601000': communication failed (2): ", 0), 0u) << Describe(r);
  EXPECT_NE(r.err.find("DoRead() error opening R channel vpi1 plc06h\n"), std::string::npos) << Describe(r);
  EXPECT_EQ(r.out, "0501000 = 0\n") << Describe(r);
  // A bad value is a usage error, and nothing of the command is written.
  r = Run({"write", "0501000=7", "0501001=70000"});
  EXPECT_EQ(r.exitCode, 64) << Describe(r);
  EXPECT_NE(r.err.find("kesta: write '0501001': value '70000': the value is out of range"), std::string::npos)
      << Describe(r);
  r = Run({"read", "0501000"});
  EXPECT_EQ(r.out, "0501000 = 0\n") << Describe(r);
}

TEST_F(KestaWithSimulator, StatusShowsTheStationTable) {
  RunResult r = Run({"status"});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  EXPECT_NE(r.out.find("VPI 1: active, timeout 500 ms, card 0, read TSAP 'TAMREAD ', write TSAP 'TAMWRITE'"),
            std::string::npos)
      << Describe(r);
  EXPECT_NE(r.out.find("05       08:00:06:01:02:03  'TAMBOR  '  -     -      0x01 defined"), std::string::npos)
      << Describe(r);
  r = Run({"--timeout", "1000", "status", "--json"});
  ASSERT_EQ(r.exitCode, 0) << Describe(r);
  const json j = json::parse(r.out, nullptr, false);
  ASSERT_TRUE(j.is_object()) << Describe(r);
  EXPECT_EQ(j["timeoutMs"], 1000);
  ASSERT_EQ(j["stations"].size(), 2u);
  EXPECT_EQ(j["stations"][1]["station"], 6);
  EXPECT_EQ(j["stations"][1]["tsap"], "TAMBOR  ");
  EXPECT_EQ(j["stations"][1]["readConnection"], nullptr);
}

TEST_F(KestaWithSimulator, WatchPrintsPlainTablesAndCsvLines) {
  WriteFile(dir_.File("list.gates"), "# test list\n0501000\n05-M113 digital\n0601000\n");
  ASSERT_EQ(Run({"write", "0501000=9", "05-M113=1"}).exitCode, 0);
  RunResult r = Run({"watch", "--gates", dir_.File("list.gates"), "--interval", "20", "--cycles", "2"});
  EXPECT_EQ(r.exitCode, 2) << Describe(r);  // station 06 does not answer
  EXPECT_NE(r.out.find("cycle 1 of 2"), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("cycle 2 of 2"), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("0501000  word     9"), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("    2  communication failed (2)"), std::string::npos) << Describe(r);
  EXPECT_NE(r.out.find("05       0x0B  defined, read open, last read ok"), std::string::npos) << Describe(r);
  EXPECT_EQ(r.out.find("\x1b["), std::string::npos) << "no terminal, no escapes";

  r = Run({"watch", "--gates", dir_.File("list.gates"), "--interval", "20", "--cycles", "3", "--csv"});
  std::vector<std::string> lines;
  for (size_t at = 0; at < r.out.size();) {
    const size_t end = r.out.find('\n', at);
    lines.push_back(r.out.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 4u) << Describe(r);
  EXPECT_EQ(lines[0], "time,0501000,05-M113,0601000");
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(lines[i].substr(lines[i].find(',')), ",9,1,") << lines[i];
  }
}

TEST_F(KestaWithSimulator, WatchStopsCleanlyOnCtrlCAndEndsTheVpi) {
  WriteFile(dir_.File("list.gates"), "0501000\n");
  ChildProcess watch;
  // With the default log level, which hides the driver's own EndVpi line.
  ASSERT_TRUE(watch.Start(Kesta(dir_, {"watch", "--gates", dir_.File("list.gates"), "--interval", "50"}),
                          Stream::File(dir_.File("watch.out")), Stream::File(dir_.File("watch.err"))));
  ASSERT_TRUE(watch.WaitForOutput("cycle 2 at", 5000)) << watch.Out() << watch.Err();
  watch.Signal(SIGINT);
  EXPECT_EQ(watch.Wait(5000), 0) << watch.Err();
  EXPECT_NE(watch.Err().find("kesta: watch stopped by Ctrl-C"), std::string::npos) << watch.Err();
  EXPECT_NE(watch.Err().find("kesta: VPI 1 ended (EndVpi 0)\n"), std::string::npos) << watch.Err();
}

// `kesta watch | head`: the closed pipe stops the watch, and the VPI is
// ended as after Ctrl-C instead of SIGPIPE ending the program.
TEST_F(KestaWithSimulator, WatchStopsWhenItsOutputIsClosed) {
  WriteFile(dir_.File("list.gates"), "0501000\n");
  std::vector<std::string> args = {"/bin/bash", "-c", "set -o pipefail; \"$@\" | head -n 1 >/dev/null",
                                   "bash"};
  for (const std::string& a : Kesta(dir_, {"watch", "--gates", dir_.File("list.gates"), "--interval", "20"})) {
    args.push_back(a);
  }
  const RunResult r = RunProgram(args);
  EXPECT_EQ(r.exitCode, 0) << Describe(r);
  EXPECT_NE(r.err.find(": the output was closed\n"), std::string::npos) << Describe(r);
  EXPECT_NE(r.err.find("kesta: VPI 1 ended (EndVpi 0)\n"), std::string::npos) << Describe(r);
}

}  // namespace
}  // namespace kestatool::test
