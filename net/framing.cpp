#include "net/framing.h"

namespace zp::net {

std::string escapedForLog(std::string_view bytes, std::size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string_view shown = bytes.substr(0, limit);
  std::string out;
  out.reserve(shown.size() + 3);
  for (const char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  if (shown.size() < bytes.size()) out += "...";
  return out;
}

void MessageReader::reset() {
  pending_.clear();
  pending_.shrink_to_fit();
  discarding_ = false;
}

namespace {
// What a waiting message costs besides its text, so a flood of empty messages counts too.
std::size_t cost(const std::string& message) {
  return message.size() + sizeof(std::string);
}
}  // namespace

bool Inbox::feed(std::string_view bytes) {
  if (overflowed_) return false;
  const std::size_t dropped = reader_.dropped();
  reader_.feed(bytes, [&](std::string&& message) {
    if (overflowed_ || messages_.size() >= limits_.maxMessages) return;
    bytes_ += cost(message);
    messages_.push_back(std::move(message));
    if (bytes_ > limits_.maxBytes) overflowed_ = true;
  });
  if (limits_.keepEvery && reader_.dropped() != dropped) overflowed_ = true;
  return !overflowed_;
}

std::optional<std::string> Inbox::take() {
  if (messages_.empty()) return std::nullopt;
  std::string message = std::move(messages_.front());
  messages_.pop_front();
  bytes_ -= cost(message);
  return message;
}

void Inbox::reset() {
  reader_.reset();
  messages_.clear();
  messages_.shrink_to_fit();
  bytes_ = 0;
  overflowed_ = false;
}

bool ReceiveQueue::feed(int source, std::string_view bytes) {
  if (source < 0) return false;
  const auto slot = static_cast<std::size_t>(source);
  if (slot >= bySource_.size()) bySource_.resize(slot + 1, Inbox(limits_));
  Inbox& inbox = bySource_[slot];
  const std::size_t before = inbox.size();
  inbox.feed(bytes);
  size_ += inbox.size() - before;
  return true;
}

std::optional<QueuedMessage> ReceiveQueue::take() {
  if (size_ == 0) return std::nullopt;
  for (std::size_t tried = 0; tried < bySource_.size(); ++tried) {
    const std::size_t slot = (next_ + tried) % bySource_.size();
    if (auto text = bySource_[slot].take()) {
      --size_;
      next_ = slot + 1;
      return QueuedMessage{static_cast<int>(slot), std::move(*text)};
    }
  }
  return std::nullopt;
}

std::optional<std::string> ReceiveQueue::takeFrom(int source) {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return std::nullopt;
  std::optional<std::string> text = bySource_[static_cast<std::size_t>(source)].take();
  if (text) --size_;
  return text;
}

void ReceiveQueue::dropSource(int source) {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return;
  Inbox& inbox = bySource_[static_cast<std::size_t>(source)];
  size_ -= inbox.size();
  inbox.reset();
}

std::size_t ReceiveQueue::waiting(int source) const {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return 0;
  return bySource_[static_cast<std::size_t>(source)].size();
}

std::size_t ReceiveQueue::pendingBytes(int source) const {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return 0;
  return bySource_[static_cast<std::size_t>(source)].pendingBytes();
}

bool ReceiveQueue::overflowed(int source) const {
  if (source < 0 || static_cast<std::size_t>(source) >= bySource_.size()) return false;
  return bySource_[static_cast<std::size_t>(source)].overflowed();
}

}  // namespace zp::net
