// A fresh directory per test that is the current directory while it lives,
// for files the driver finds by relative name (the init file). The old
// current directory comes back and the directory is removed afterwards.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace kesta::test {

class ScopedTempDir {
 public:
  ScopedTempDir() : old_(std::filesystem::current_path()) {
    std::random_device random;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (unsigned attempt = 0;; ++attempt) {
      path_ = std::filesystem::temp_directory_path() /
              ("kesta-test-" + std::to_string(random()) + "-" + std::to_string(now) + "-" +
               std::to_string(attempt));
      if (std::filesystem::create_directory(path_)) break;
    }
    std::filesystem::current_path(path_);
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  // Writes `content` byte for byte (no line-end translation).
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  void Remove(const std::string& name) const {
    std::error_code ignored;
    std::filesystem::remove(path_ / name, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path old_;
  std::filesystem::path path_;
};

}  // namespace kesta::test
