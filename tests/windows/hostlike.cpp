// A host as the production one loads the driver: LoadLibraryA("KESTA.DLL"),
// GetProcAddress("VpiMain"), and every call through a __stdcall pointer with
// one argument. Each call is made in assembly so the stack pointer can be
// compared before and after: the driver must remove its own argument, as the
// host relies on. With a cdecl export the stack would be 4 bytes off after
// each call, which the host would not survive for long.
//
//   hostlike [--stack-only] [--card FILE] DRIVER
//
// --stack-only makes only the calls that need no card library (for trying a
// driver that is expected to fail the stack check). Without it the program
// also runs a VPI's whole life against the card library beside it (the fake
// in front of a simulated controller), which the driver must have loaded
// under the file name FILE (default H1DLLNT.DLL). Exit status 0 when every
// check passed.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/records.h"

namespace {

using kesta::IoRecord;
using kesta::ParseRecord;
using kesta::VpiCallBlock;
using kesta::VpiInfo;
using VpiMainFn = int32_t(__stdcall*)(VpiCallBlock*);

int g_failures = 0;
long g_calls = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    ++g_failures;
    std::printf("FAIL %s\n", what);
  }
}

// Calls fn(arg) the way a stdcall caller does: push the argument, call, and
// then trust the callee to have removed it. Returns the result in eax and
// the stack pointer's change across the call (0 for a stdcall callee, -4 for
// a cdecl one). esi and edi keep the values across the call, as the calling
// convention requires of every callee; the stack pointer is put back either
// way so this program can go on.
int32_t CallMeasuringStack(const void* fn, void* arg, int32_t* moved) {
  int32_t rc;
  uint32_t before;
  uint32_t after;
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl %[arg]\n\t"
      "call *%%eax\n\t"
      "movl %%esp, %%edi\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(rc), "=&S"(before), "=&D"(after)
      : "0"(fn), [arg] "b"(arg)
      : "ecx", "edx", "memory", "cc");
  *moved = static_cast<int32_t>(after - before);
  return rc;
}

int32_t __stdcall StdcallProbe(VpiCallBlock* call) { return static_cast<int32_t>(call->function); }
int32_t __cdecl CdeclProbe(VpiCallBlock* call) { return static_cast<int32_t>(call->function); }

class Host {
 public:
  Host(VpiMainFn vpiMain, uint32_t vpi) : vpiMain_(vpiMain), vpi_(vpi) {}

  void SetWorkArea(uint8_t* work) { work_ = work; }

  int32_t Call(uint32_t function, void* params) {
    VpiCallBlock call{};
    call.work = work_;
    call.function = function;
    call.vpi = vpi_;
    call.params = params;
    int32_t moved = 0;
    const int32_t rc = CallMeasuringStack(reinterpret_cast<const void*>(vpiMain_), &call, &moved);
    ++g_calls;
    if (moved != 0) {
      // The first few are enough to see what went wrong.
      if (++g_failures <= 5) {
        std::printf("FAIL stack pointer moved by %ld bytes in the call of function %lu\n",
                    static_cast<long>(moved), static_cast<unsigned long>(function));
      }
    }
    return rc;
  }

 private:
  VpiMainFn vpiMain_;
  uint32_t vpi_;
  uint8_t* work_ = nullptr;
};

void CheckTheStackCheck() {
  VpiCallBlock call{};
  call.function = 7;
  int32_t moved = 1;
  Check(CallMeasuringStack(reinterpret_cast<const void*>(&StdcallProbe), &call, &moved) == 7 && moved == 0,
        "a stdcall function leaves the stack pointer where it was");
  Check(CallMeasuringStack(reinterpret_cast<const void*>(&CdeclProbe), &call, &moved) == 7 && moved == -4,
        "a cdecl function leaves its argument on the stack, and the check sees it");
}

uint32_t AskWorkAreaSize(Host& host) {
  VpiInfo info{};
  std::memset(&info, 0x77, sizeof info);
  const int32_t rc = host.Call(14, &info);
  Check(rc == 0, "GetVpiInfo answers 0");
  if (rc != 0) return 0;
  Check(info.infoId == 70 && info.workAreaSize == 10328 && info.infoA == 2 && info.infoB == 0 &&
            info.infoC == 3,
        "GetVpiInfo fills its fields");
  Check(info.unused22[0] == 0x77 && info.unused22[5] == 0x77, "GetVpiInfo leaves bytes 22-27 alone");
  Check(info.name != nullptr && std::strcmp(info.name, "Siemens SINEC H1") == 0, "the driver's name");
  Check(info.banner != nullptr && std::strlen(info.banner) == 190, "the banner is 190 characters");
  return static_cast<uint32_t>(info.workAreaSize);
}

void CallsWithoutCard(Host& host) {
  for (uint32_t code : {12u, 13u, 15u}) Check(host.Call(code, nullptr) == 0, "CloseCom, ReOpenCom, ChangeVpiParams answer 0");
  for (uint32_t code : {0u, 8u, 9u, 16u, 17u, 0xFFFFFFFFu}) Check(host.Call(code, nullptr) == 2, "codes without a handler answer 2");
}

const char* g_cardFile = "H1DLLNT.DLL";

template <typename Fn>
Fn CardEntry(const char* name) {
  HMODULE card = GetModuleHandleA(g_cardFile);
  if (card == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(card, name)));
}

bool WriteInitFile(const char* name) {
  std::FILE* f = std::fopen(name, "w");
  if (f == nullptr) return false;
  std::fputs("CARD = 1\nRTSAP = READ\nWTSAP = WRITE\n01 = 080006010203 , PLC1\n", f);
  return std::fclose(f) == 0;
}

// Encodes an address as the host does and copies the result into an IoRecord.
bool Announce(Host& host, uint32_t function, const char* address, int32_t gateType, IoRecord* io) {
  ParseRecord parse{};
  parse.address = address;
  parse.gateType = gateType;
  if (host.Call(function, &parse) != 0) return false;
  *io = IoRecord{};
  io->address = address;
  io->station = parse.station;
  io->kind = parse.kind;
  io->s5Address = parse.s5Address;
  io->bit = parse.bit;
  io->width = parse.width;
  io->gateType = gateType;
  return true;
}

void LifeOfAVpi(Host& host, uint32_t workAreaSize) {
  using CallsFn = long(__stdcall*)(const char*);
  using DefaultsFn = void(__stdcall*)(uint8_t*);
  using DataWordFn = uint16_t(__stdcall*)(uint8_t, uint16_t);
  using OpenFn = long(__stdcall*)();

  std::vector<uint8_t> work(workAreaSize, 0xCC);
  host.SetWorkArea(work.data());
  Check(WriteInitFile("KESTA07.INT"), "init file written in the working directory");

  kesta::ColdStartParams start{};
  start.openDriver = 1;
  start.timeout = 100;
  Check(host.Call(1, &start) == 0, "ColdStart answers 0");

  auto calls = CardEntry<CallsFn>("FakeCardCalls");
  auto defaults = CardEntry<DefaultsFn>("FakeCardLastDefaults");
  auto dataWord = CardEntry<DataWordFn>("FakeCardDataWord");
  auto openConnections = CardEntry<OpenFn>("FakeCardOpenConnections");
  Check(calls != nullptr && defaults != nullptr && dataWord != nullptr && openConnections != nullptr,
        "the driver loaded the card library from the program's directory");
  if (calls == nullptr || defaults == nullptr || dataWord == nullptr || openConnections == nullptr) return;
  Check(calls("H1DriverOpen") == 1, "ColdStart opened the H1 driver");
  uint8_t block[46] = {};
  defaults(block);
  Check(block[8] == 950 % 256 && block[9] == 950 / 256 && block[10] == 950 % 256 &&
            block[30] == 1000 % 256 && block[31] == 1000 / 256,
        "the card library got the timeouts 950 and 1000 ms");

  IoRecord single{};
  Check(Announce(host, 3, "010A005 ", 0, &single), "a data word is accepted as a single gate");
  IoRecord block600{};
  Check(Announce(host, 4, "010A010 ", 0, &block600), "a data word is accepted as the start of a block");

  // Rounds of single and block writes and reads; the block of 600 words goes
  // out in pieces of 256 bytes and comes back in pieces of 1012.
  constexpr int kRounds = 40;
  constexpr int kWords = 600;
  std::vector<uint8_t> out(2 * kWords);
  std::vector<uint8_t> in(2 * kWords);
  bool singlesOk = true;
  bool blocksOk = true;
  for (int round = 0; round < kRounds; ++round) {
    uint8_t value[4] = {0, 0, static_cast<uint8_t>(0x34 + round), 0x12};
    single.data = value;
    single.count = 1;
    const bool wrote = host.Call(7, &single) == 0;
    uint8_t back[4] = {};
    single.data = back;
    single.count = 99;
    const bool read = host.Call(5, &single) == 0;
    singlesOk = singlesOk && wrote && read && back[2] == value[2] && back[3] == value[3] &&
                single.count == 1 && dataWord(10, 5) == (0x1200 | value[2]);

    for (int i = 0; i < kWords; ++i) {
      out[2 * i] = static_cast<uint8_t>(i + round);
      out[2 * i + 1] = static_cast<uint8_t>(i >> 8);
    }
    block600.data = out.data();
    block600.count = kWords;
    const bool blockWrote = host.Call(10, &block600) == 0;
    std::fill(in.begin(), in.end(), 0);
    block600.data = in.data();
    const bool blockRead = host.Call(6, &block600) == 0;
    blocksOk = blocksOk && blockWrote && blockRead && in == out &&
               dataWord(10, 0x10 + 599) == ((599 >> 8) << 8 | ((599 + round) & 0xFF));
  }
  Check(singlesOk, "single words written and read back");
  Check(blocksOk, "blocks of 600 words written and read back in pieces");
  Check(openConnections() == 2, "one read and one write connection stayed open");

  uint32_t station = 1;
  Check(host.Call(2, &station) == 0, "WarmStart closes the station's connections");
  Check(openConnections() == 0, "the card library has no connection left open");
  uint8_t value[4] = {};
  single.data = value;
  Check(host.Call(5, &single) == 0 && value[3] == 0x12, "a read after WarmStart opens a fresh connection");
  Check(host.Call(11, nullptr) == 0, "EndVpi answers 0");
  Check(openConnections() == 0, "EndVpi closed the connection");
  Check(host.Call(5, &single) == 1, "reads are refused after EndVpi");
  host.SetWorkArea(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  bool stackOnly = false;
  const char* driver = "KESTA.DLL";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--stack-only") == 0) {
      stackOnly = true;
    } else if (std::strcmp(argv[i], "--card") == 0 && i + 1 < argc) {
      g_cardFile = argv[++i];
    } else {
      driver = argv[i];
    }
  }
  CheckTheStackCheck();

  HMODULE lib = LoadLibraryA(driver);
  if (lib == nullptr) {
    std::printf("FAIL cannot load %s (error %lu)\n", driver, GetLastError());
    return 1;
  }
  const FARPROC entry = GetProcAddress(lib, "VpiMain");
  if (entry == nullptr) {
    std::printf("FAIL %s has no entry VpiMain\n", driver);
    return 1;
  }
  Host host(reinterpret_cast<VpiMainFn>(reinterpret_cast<void (*)()>(entry)), 7);

  const uint32_t size = AskWorkAreaSize(host);
  CallsWithoutCard(host);
  if (!stackOnly && size != 0) LifeOfAVpi(host, size);
  // Many more calls of the cheap kind, every one checked.
  for (int i = 0; i < 1000; ++i) {
    VpiInfo info{};
    host.Call(14, &info);
  }
  std::printf("%ld calls of VpiMain, %d failed checks\n", g_calls, g_failures);
  return g_failures == 0 ? 0 : 1;
}
