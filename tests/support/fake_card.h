// A fake H1 card library behind the real entry-point types: scripted results
// and statuses per call, a copy of every block it was handed, and answers
// delivered in pieces, from a script or from a responder (a controller model).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kesta::test {

// One scripted answer of an entry point.
struct CardReply {
  uint16_t rc = 0;        // the entry's result
  uint16_t status = 0;    // status word written into the block
  std::optional<int16_t> connection;  // connect: number written at offset 74 (none: untouched)
  std::vector<uint8_t> data;          // receive: bytes written at offset 12
  std::optional<uint16_t> received;   // receive: `received` written (default: data.size())
};

// A controller behind the fake library: sees every sent piece and supplies
// the pieces of its answers.
class CardResponder {
 public:
  virtual ~CardResponder() = default;
  virtual void OnSend(uint16_t connectionWord, const std::vector<uint8_t>& piece) = 0;
  // The next receive on `connection`; nullopt when nothing is pending
  // (the fake then answers a failed receive with status 99).
  virtual std::optional<CardReply> OnReceive(uint16_t connection) = 0;
};

struct CardCall {
  std::string entry;           // the entry point's name
  std::vector<uint8_t> block;  // the block as handed in (before the fake wrote it)
  uint16_t connection = 0;     // H1StoppeVerbindung's argument
};

class FakeCard {
 public:
  FakeCard();   // the one fake; starts empty
  ~FakeCard();
  FakeCard(const FakeCard&) = delete;
  FakeCard& operator=(const FakeCard&) = delete;
  static FakeCard& Current();

  // Scripts, consumed in order; an empty queue gives the default answer:
  // open 0; connect rc 0, status 0, the next connection number; stop 0;
  // send rc 0, status 0; receive from the responder, else rc 0, status 0,
  // nothing received; defaults: the block filled with `defaultsFill`, 0.
  std::deque<CardReply> driverOpen, connect, stop, send, receive, getDefaults, setDefaults;
  int16_t nextConnection = 1;
  uint8_t defaultsFill = 0xA5;
  CardResponder* responder = nullptr;

  std::vector<CardCall> calls;
  std::vector<CardCall> callsOf(const std::string& entry) const;
  size_t countOf(const std::string& entry) const;
};

// The eight entries by name, for the fake platform's libraries.
std::map<std::string, GenericProc> FakeCardEntries();

// Binds the fake card library's entries into the process-wide g_h1, as a
// cold start would, for tests that prepare the work area themselves.
void BindFakeCard();

}  // namespace kesta::test
