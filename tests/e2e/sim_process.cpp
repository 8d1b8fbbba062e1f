#include "sim_process.h"

#include <cstdio>
#include <cstdlib>

namespace e2e {

void WriteStationMap(const std::string& path, const std::string& lines) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f != nullptr) {
    std::fputs(lines.c_str(), f);
    std::fclose(f);
  }
  setenv("H1TCP_CONFIG", path.c_str(), 1);
}

}  // namespace e2e
