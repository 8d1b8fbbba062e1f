// Serves one controller over ISO-on-TCP: a listening socket and one thread
// per connection, each taking connection requests, collecting requests from
// DT TPDUs and sending the controller's answers back.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "controller.h"
#include "options.h"

namespace s5sim {

class Server {
 public:
  Server(const Options& options, Controller& controller) : options_(options), controller_(controller) {}
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds and listens; false with a message.
  bool Listen(std::string* error);
  uint16_t port() const { return port_; }
  // Accepts connections until the program ends.
  void Run();

 private:
  void Session(int fd, unsigned id);
  bool Accepts(const uint8_t* tsap, size_t length, bool calling) const;
  bool SendAnswer(int fd, const uint8_t* data, size_t length, size_t dtRoom, bool eot);

  const Options& options_;
  Controller& controller_;
  std::mutex mutex_;  // the controller and the log
  int listener_ = -1;
  uint16_t port_ = 0;
};

}  // namespace s5sim
