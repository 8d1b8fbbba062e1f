// A host for the end-to-end tests: loads the built libkesta.so with dlopen
// (which loads libtamsys.so and, at cold start, H1DLLNT.DLL from beside it),
// captures every log line, and runs each test in a directory of its own
// that holds the init file KESTA01.INT and the card library's H1TCP.CFG.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/records.h"

namespace e2e {

class DriverHost {
 public:
  DriverHost();
  ~DriverHost();
  DriverHost(const DriverHost&) = delete;
  DriverHost& operator=(const DriverHost&) = delete;
  bool ok() const { return vpiMain_ != nullptr; }

  // The init file for VPI 1 and the station map for station 01 at `port`.
  void WriteInitFile(const std::string& text);
  void MapStation(uint16_t port);

  int32_t Call(uint32_t function, void* params);
  int32_t ColdStart(int32_t timeout10ms);
  int32_t WarmStart(int32_t station);
  int32_t EndVpi();
  // Parse (single or block) and then read or write, as a host does.
  struct Gate {
    std::string address;
    int32_t gateType = 0;
    int32_t count = 1;
  };
  int32_t Read(const Gate& gate, std::vector<uint8_t>* buffer, bool block);
  int32_t Write(const Gate& gate, const std::vector<uint8_t>& buffer, bool block);

  std::vector<std::string> lines();
  bool Logged(const std::string& part);
  void ClearLog();
  const std::string& dir() const { return dir_; }

 private:
  int32_t Parse(const Gate& gate, bool block, kesta::IoRecord* io);
  static void Sink(void* context, int level, const char* line);

  std::string dir_;
  std::string oldDir_;
  int32_t(KESTA_WINAPI* vpiMain_)(kesta::VpiCallBlock*) = nullptr;
  std::vector<uint8_t> work_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace e2e
