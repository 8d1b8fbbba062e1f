#include "controller.h"

#include <cstdio>
#include <cstring>

#include "common/bytes.h"

namespace s5sim {

using kesta::GetBe16;
using kesta::PutBe16;

namespace {

// Request header fields.
constexpr size_t kReqOpCode = 5;
constexpr size_t kReqOrg = 8;
constexpr size_t kReqDb = 9;
constexpr size_t kReqStart = 10;
constexpr size_t kReqLength = 12;

// The fixed bytes of every answer header; byte 5 (op code) and byte 8 (error
// number) are filled per answer.
constexpr uint8_t kAnswerTemplate[kHeaderSize] = {0x53, 0x35, 0x10, 0x01, 0x03, 0x00, 0x0F, 0x03,
                                                  0x00, 0xFF, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00};

std::vector<uint8_t> Answer(uint8_t op, uint8_t error, size_t dataBytes) {
  std::vector<uint8_t> answer(kHeaderSize + dataBytes, 0);
  std::memcpy(answer.data(), kAnswerTemplate, kHeaderSize);
  answer[5] = op;
  answer[8] = error;
  return answer;
}

}  // namespace

size_t MemorySize(const ControllerConfig& config) {
  size_t size = 0;
  for (uint16_t words : config.dbWords) size += size_t{words} * 2;
  return size + kFlagBytes + kInputBytes + kOutputBytes;
}

Controller::Controller(const ControllerConfig& config) : config_(config) {
  size_ = MemorySize(config_);
  own_.assign(size_, 0);
  memory_ = own_.data();
  Layout();
}

Controller::Controller(const ControllerConfig& config, uint8_t* memory)
    : config_(config), memory_(memory) {
  size_ = MemorySize(config_);
  Layout();
}

void Controller::Layout() {
  uint8_t* p = memory_;
  for (size_t db = 0; db < kDataBlocks; ++db) {
    db_[db] = p;
    p += size_t{config_.dbWords[db]} * 2;
  }
  flags_ = p;
  inputs_ = flags_ + kFlagBytes;
  outputs_ = inputs_ + kInputBytes;
}

uint16_t Controller::DataWord(uint8_t db, uint16_t word) const {
  if (word >= config_.dbWords[db]) return 0;
  return GetBe16(db_[db] + size_t{word} * 2);
}

void Controller::SetDataWord(uint8_t db, uint16_t word, uint16_t value) {
  if (word >= config_.dbWords[db]) return;
  PutBe16(db_[db] + size_t{word} * 2, value);
}

uint8_t Controller::Locate(uint8_t org, uint8_t db, uint8_t** base, size_t* size) const {
  switch (org) {
    case kOrgDataBlock:
      if (config_.dbWords[db] == 0) return kErrNoSuchArea;
      *base = db_[db];
      *size = size_t{config_.dbWords[db]} * 2;
      return kErrNone;
    case kOrgFlags:
      *base = flags_;
      *size = kFlagBytes;
      return kErrNone;
    case kOrgInputs:
      *base = inputs_;
      *size = kInputBytes;
      return kErrNone;
    case kOrgOutputs:
      *base = outputs_;
      *size = kOutputBytes;
      return kErrNone;
    default:
      return kErrUnknownOrg;
  }
}

std::vector<uint8_t> Controller::Handle(const uint8_t* request, size_t length) {
  if (request == nullptr || length < kHeaderSize || request[0] != 'S' || request[1] != '5') return {};
  const uint8_t op = request[kReqOpCode];
  if (op != kOpFetch && op != kOpWrite) return {};
  const uint8_t answerOp = op == kOpFetch ? kOpFetchAnswer : kOpWriteAck;
  const size_t dataLength = length - kHeaderSize;
  if (request[2] != kHeaderSize || (op == kOpFetch && dataLength != 0)) {
    return Answer(answerOp, kErrMalformed, 0);
  }

  const uint8_t org = request[kReqOrg];
  const uint8_t db = request[kReqDb];
  for (const ForcedError& forced : config_.forcedErrors) {
    if (forced.org == org && (org != kOrgDataBlock || forced.db < 0 || forced.db == db)) {
      return Answer(answerOp, forced.error, 0);
    }
  }

  uint8_t* base = nullptr;
  size_t areaSize = 0;
  if (const uint8_t error = Locate(org, db, &base, &areaSize); error != kErrNone) {
    return Answer(answerOp, error, 0);
  }
  // Data blocks count in words, the other areas in bytes.
  const size_t unit = org == kOrgDataBlock ? 2 : 1;
  const size_t offset = size_t{GetBe16(request + kReqStart)} * unit;
  const size_t bytes = size_t{GetBe16(request + kReqLength)} * unit;
  if (offset > areaSize || bytes > areaSize - offset) return Answer(answerOp, kErrBeyondEnd, 0);

  if (op == kOpFetch) {
    std::vector<uint8_t> answer = Answer(kOpFetchAnswer, kErrNone, bytes);
    if (bytes != 0) std::memcpy(answer.data() + kHeaderSize, base + offset, bytes);
    return answer;
  }
  if (dataLength != bytes) return Answer(kOpWriteAck, kErrMalformed, 0);
  if (bytes != 0) std::memcpy(base + offset, request + kHeaderSize, bytes);
  return Answer(kOpWriteAck, kErrNone, 0);
}

std::string DescribeExchange(const uint8_t* request, size_t length,
                             const std::vector<uint8_t>& answer) {
  char line[160];
  if (request == nullptr || length < kHeaderSize) {
    std::snprintf(line, sizeof line, "short request of %zu bytes: disconnect", length);
    return line;
  }
  const uint8_t op = request[kReqOpCode];
  const char* what = op == kOpFetch ? "fetch" : op == kOpWrite ? "write" : "op?";
  const char* area = "org?";
  switch (request[kReqOrg]) {
    case kOrgDataBlock: area = "DB"; break;
    case kOrgFlags: area = "MB"; break;
    case kOrgInputs: area = "EB"; break;
    case kOrgOutputs: area = "AB"; break;
    default: break;
  }
  char db[8] = "";
  if (request[kReqOrg] == kOrgDataBlock) std::snprintf(db, sizeof db, "%u", request[kReqDb]);
  if (answer.size() < kHeaderSize) {
    std::snprintf(line, sizeof line, "%s op %u %s%s start %u length %u (%zu bytes): disconnect",
                  what, op, area, db, GetBe16(request + kReqStart), GetBe16(request + kReqLength),
                  length);
  } else {
    std::snprintf(line, sizeof line, "%s %s%s start %u length %u (%zu bytes) -> error %u, %zu bytes",
                  what, area, db, GetBe16(request + kReqStart), GetBe16(request + kReqLength),
                  length, answer[8], answer.size());
  }
  return line;
}

}  // namespace s5sim
