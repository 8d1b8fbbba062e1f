// s5sim: one simulated S5 controller served as Fetch/Write over ISO-on-TCP.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "controller.h"
#include "image.h"
#include "options.h"
#include "server.h"

int main(int argc, char** argv) {
  s5sim::Options options;
  std::string error;
  if (!s5sim::ParseOptions(argc, argv, &options, &error)) {
    if (!error.empty()) std::fprintf(stderr, "s5sim: %s\n", error.c_str());
    std::fputs(s5sim::kUsage, error.empty() ? stdout : stderr);
    return error.empty() ? 0 : 2;
  }
  std::signal(SIGPIPE, SIG_IGN);

  s5sim::MemoryImage image;
  std::unique_ptr<s5sim::Controller> controller;
  if (!options.image.empty()) {
    if (!image.Open(options.image, options.controller, &error)) {
      std::fprintf(stderr, "s5sim: %s\n", error.c_str());
      return 1;
    }
    controller = std::make_unique<s5sim::Controller>(options.controller, image.memory());
  } else {
    controller = std::make_unique<s5sim::Controller>(options.controller);
  }

  s5sim::Server server(options, *controller);
  if (!server.Listen(&error)) {
    std::fprintf(stderr, "s5sim: %s\n", error.c_str());
    return 1;
  }
  // Tests wait for this line to learn the port.
  std::printf("s5sim listening on %s:%u\n", options.host.c_str(), server.port());
  std::fflush(stdout);
  server.Run();
  return 1;
}
