// The simulated controller behind the fake card library: the pieces of each
// request are joined per connection, the complete request goes to the
// controller, and its answer comes back in pieces as a card delivers them.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "controller.h"
#include "fake_card.h"
#include "h1/blocks.h"

namespace kesta::test {

class ControllerResponder : public CardResponder {
 public:
  explicit ControllerResponder(s5sim::Controller& controller, size_t pieceSize = kMaxReceivePiece)
      : controller_(controller), pieceSize_(pieceSize) {}

  void OnSend(uint16_t connectionWord, const std::vector<uint8_t>& piece) override {
    const uint16_t conn = connectionWord & 0x7FFF;
    std::vector<uint8_t>& request = partial_[conn];
    request.insert(request.end(), piece.begin(), piece.end());
    if ((connectionWord & kTbMorePieces) != 0) return;
    const std::vector<uint8_t> answer = controller_.Handle(request.data(), request.size());
    request.clear();
    std::deque<CardReply>& queue = pending_[conn];
    for (size_t at = 0; at < answer.size(); at += pieceSize_) {
      const size_t end = at + pieceSize_ < answer.size() ? at + pieceSize_ : answer.size();
      CardReply reply;
      reply.data.assign(answer.begin() + static_cast<std::ptrdiff_t>(at), answer.begin() + static_cast<std::ptrdiff_t>(end));
      reply.status = end < answer.size() ? kH1StatusMoreData : kH1StatusDone;
      queue.push_back(reply);
    }
  }

  std::optional<CardReply> OnReceive(uint16_t connection) override {
    std::deque<CardReply>& queue = pending_[connection & 0x7FFF];
    if (queue.empty()) return std::nullopt;
    CardReply reply = queue.front();
    queue.pop_front();
    return reply;
  }

 private:
  static constexpr uint16_t kH1StatusDone = 0;
  static constexpr uint16_t kH1StatusMoreData = 12;
  s5sim::Controller& controller_;
  size_t pieceSize_;
  std::map<uint16_t, std::vector<uint8_t>> partial_;
  std::map<uint16_t, std::deque<CardReply>> pending_;
};

}  // namespace kesta::test
