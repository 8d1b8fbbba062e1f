#include "image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/bytes.h"

namespace s5sim {

namespace {

// First page: magic, then the 256 data block lengths (16-bit, little-endian);
// the memory follows from the second page on.
constexpr char kMagic[8] = {'S', '5', 'S', 'I', 'M', 'I', 'M', '1'};
constexpr size_t kHeaderPage = 4096;
constexpr size_t kLengthsOffset = sizeof kMagic;
static_assert(kLengthsOffset + 2 * kDataBlocks <= kHeaderPage);

}  // namespace

MemoryImage::~MemoryImage() {
  if (base_ != nullptr) munmap(base_, mapped_);
}

bool MemoryImage::Open(const std::string& path, const ControllerConfig& config, std::string* error) {
  const size_t size = kHeaderPage + MemorySize(config);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
  if (fd < 0) {
    *error = "cannot open image " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *error = "cannot read image " + path + ": " + std::strerror(errno);
    close(fd);
    return false;
  }
  const bool fresh = st.st_size == 0;
  if (fresh) {
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
      *error = "cannot size image " + path + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
  } else if (static_cast<size_t>(st.st_size) != size) {
    *error = "image " + path + " does not fit the configured data block lengths";
    close(fd);
    return false;
  }
  void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (base == MAP_FAILED) {
    *error = "cannot map image " + path + ": " + std::strerror(errno);
    return false;
  }
  uint8_t* header = static_cast<uint8_t*>(base);
  // A simulator killed between sizing a new image and writing its header
  // leaves the header page zero; nothing was served from it yet, so it is
  // still a fresh image.
  bool unwritten = !fresh;
  for (size_t i = 0; unwritten && i < kHeaderPage; ++i) unwritten = header[i] == 0;
  if (fresh || unwritten) {
    std::memcpy(header, kMagic, sizeof kMagic);
    for (size_t db = 0; db < kDataBlocks; ++db) {
      kesta::PutLe16(header + kLengthsOffset + 2 * db, config.dbWords[db]);
    }
  } else {
    bool same = std::memcmp(header, kMagic, sizeof kMagic) == 0;
    for (size_t db = 0; same && db < kDataBlocks; ++db) {
      same = kesta::GetLe16(header + kLengthsOffset + 2 * db) == config.dbWords[db];
    }
    if (!same) {
      munmap(base, size);
      *error = "image " + path + " was made with other data block lengths";
      return false;
    }
  }
  base_ = base;
  mapped_ = size;
  memory_ = header + kHeaderPage;
  return true;
}

}  // namespace s5sim
