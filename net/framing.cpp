#include "net/framing.h"

namespace zp::net {

void MessageReader::reset() {
  pending_.clear();
  pending_.shrink_to_fit();
  discarding_ = false;
}

bool ReceiveQueue::push(int source, std::string text) {
  if (source < 0) return false;
  const auto slot = static_cast<std::size_t>(source);
  if (slot >= bySource_.size()) bySource_.resize(slot + 1);
  auto& queue = bySource_[slot];
  if (queue.size() >= maxPerSource_) return false;
  queue.push_back(std::move(text));
  ++size_;
  return true;
}

std::optional<QueuedMessage> ReceiveQueue::take() {
  if (size_ == 0) return std::nullopt;
  for (std::size_t tried = 0; tried < bySource_.size(); ++tried) {
    const std::size_t slot = (next_ + tried) % bySource_.size();
    auto& queue = bySource_[slot];
    if (queue.empty()) continue;
    QueuedMessage out{static_cast<int>(slot), std::move(queue.front())};
    queue.pop_front();
    --size_;
    next_ = slot + 1;
    return out;
  }
  return std::nullopt;
}

void ReceiveQueue::dropSource(int source) {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return;
  auto& queue = bySource_[static_cast<std::size_t>(source)];
  size_ -= queue.size();
  queue.clear();
  queue.shrink_to_fit();
}

std::size_t ReceiveQueue::waiting(int source) const {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return 0;
  return bySource_[static_cast<std::size_t>(source)].size();
}

}  // namespace zp::net
