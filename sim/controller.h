// One simulated S5 controller: its memory (data blocks 0-255, flag bytes,
// input and output bytes) and its handling of Fetch/Write requests. The
// simulator serves it over sockets; tests call it directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace s5sim {

// Org ids of the request header.
inline constexpr uint8_t kOrgDataBlock = 1;
inline constexpr uint8_t kOrgFlags = 2;
inline constexpr uint8_t kOrgInputs = 3;
inline constexpr uint8_t kOrgOutputs = 4;

// Op codes: requests and their answers.
inline constexpr uint8_t kOpWrite = 3;
inline constexpr uint8_t kOpWriteAck = 4;
inline constexpr uint8_t kOpFetch = 5;
inline constexpr uint8_t kOpFetchAnswer = 6;

// Error numbers at byte 8 of an answer.
inline constexpr uint8_t kErrNone = 0;
inline constexpr uint8_t kErrUnknownOrg = 1;      // org id other than 1-4
inline constexpr uint8_t kErrNoSuchArea = 2;      // data block of length 0
inline constexpr uint8_t kErrBeyondEnd = 3;       // start + length past the area's end
inline constexpr uint8_t kErrMalformed = 6;       // bad header length byte, data not matching length

inline constexpr size_t kHeaderSize = 16;
inline constexpr size_t kDataBlocks = 256;
inline constexpr size_t kFlagBytes = 256;
inline constexpr size_t kInputBytes = 128;
inline constexpr size_t kOutputBytes = 128;
inline constexpr uint16_t kDefaultDbWords = 2048;

// A forced error number for every request on one area (org id, and for data
// blocks one DB number or all of them).
struct ForcedError {
  uint8_t org = kOrgDataBlock;
  int db = -1;  // -1: every data block
  uint8_t error = 0;
};

struct ControllerConfig {
  ControllerConfig() { dbWords.fill(kDefaultDbWords); }
  std::array<uint16_t, kDataBlocks> dbWords;  // length of each data block in words; 0: absent
  std::vector<ForcedError> forcedErrors;
};

// Bytes of memory a configuration needs: every data block in turn (words high
// byte first, as on the wire), then flags, inputs and outputs.
size_t MemorySize(const ControllerConfig& config);

class Controller {
 public:
  // Memory of its own, zeroed.
  explicit Controller(const ControllerConfig& config = {});
  // Memory supplied by the caller (e.g. a mapped image), MemorySize(config)
  // bytes, used as it stands; it must outlive the controller.
  Controller(const ControllerConfig& config, uint8_t* memory);
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // One complete request (16-byte header, plus the data of a write) in, the
  // complete answer out (16-byte answer header, plus the data of a fetch).
  // An empty answer means the request cannot be answered at all (shorter
  // than a header, not "S5", unknown op code): the caller drops the
  // connection.
  std::vector<uint8_t> Handle(const uint8_t* request, size_t length);

  const ControllerConfig& config() const { return config_; }
  uint16_t DbWords(uint8_t db) const { return config_.dbWords[db]; }
  // Data words out of range read as 0 and ignore writes.
  uint16_t DataWord(uint8_t db, uint16_t word) const;
  void SetDataWord(uint8_t db, uint16_t word, uint16_t value);
  uint8_t Flag(uint8_t n) const { return flags_[n]; }
  void SetFlag(uint8_t n, uint8_t value) { flags_[n] = value; }
  uint8_t Input(uint8_t n) const { return n < kInputBytes ? inputs_[n] : 0; }
  void SetInput(uint8_t n, uint8_t value) {
    if (n < kInputBytes) inputs_[n] = value;
  }
  uint8_t Output(uint8_t n) const { return n < kOutputBytes ? outputs_[n] : 0; }
  void SetOutput(uint8_t n, uint8_t value) {
    if (n < kOutputBytes) outputs_[n] = value;
  }
  // The raw bytes of a data block (DbWords * 2, wire order), or nullptr.
  uint8_t* DbBytes(uint8_t db) { return config_.dbWords[db] ? db_[db] : nullptr; }
  uint8_t* memory() { return memory_; }
  size_t memorySize() const { return size_; }

 private:
  void Layout();
  // The area a header names: its bytes and size, or an error number.
  uint8_t Locate(uint8_t org, uint8_t db, uint8_t** base, size_t* size) const;

  ControllerConfig config_;
  std::vector<uint8_t> own_;
  uint8_t* memory_ = nullptr;
  size_t size_ = 0;
  std::array<uint8_t*, kDataBlocks> db_{};
  uint8_t* flags_ = nullptr;
  uint8_t* inputs_ = nullptr;
  uint8_t* outputs_ = nullptr;
};

// One line describing a request and its answer, for the simulator's log.
std::string DescribeExchange(const uint8_t* request, size_t length,
                             const std::vector<uint8_t>& answer);

}  // namespace s5sim
