// The controller's memory kept in a file mapped into the simulator: every
// acknowledged write is in the file's pages, so it survives the simulator
// being killed and started again with the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "controller.h"

namespace s5sim {

class MemoryImage {
 public:
  MemoryImage() = default;
  ~MemoryImage();
  MemoryImage(const MemoryImage&) = delete;
  MemoryImage& operator=(const MemoryImage&) = delete;

  // Maps `path`, creating it (zeroed) when missing. An existing image must
  // have been made with the same data block lengths (one whose header was
  // never written counts as new). False with a message.
  bool Open(const std::string& path, const ControllerConfig& config, std::string* error);
  uint8_t* memory() const { return memory_; }

 private:
  void* base_ = nullptr;
  size_t mapped_ = 0;
  uint8_t* memory_ = nullptr;
};

}  // namespace s5sim
