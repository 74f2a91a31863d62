#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zp::net {

// Every message ends with this byte; UTF-8 text never contains it.
inline constexpr char kTerminator = '\xFF';

// An unfinished message longer than this is a broken or hostile peer: the longest real
// message (the board) is a few hundred bytes, a chat line a few hundred more.
inline constexpr std::size_t kMaxMessageBytes = 8 * 1024;

// Splits one connection's byte stream into messages at each terminator. Text after the
// last terminator is kept and joined to the next read, because TCP may cut a message
// anywhere. A message that grows past kMaxMessageBytes is thrown away up to its
// terminator, so a peer sending endless bytes without one costs a bounded amount.
class MessageReader {
 public:
  // Calls onMessage(std::string&&) for every complete message in `bytes`, in order,
  // without its terminator.
  template <typename OnMessage>
  void feed(std::string_view bytes, OnMessage&& onMessage) {
    while (!bytes.empty()) {
      const std::size_t end = bytes.find(kTerminator);
      const std::string_view piece = bytes.substr(0, end);
      if (!discarding_) {
        if (pending_.size() + piece.size() > kMaxMessageBytes) {
          pending_.clear();
          pending_.shrink_to_fit();
          discarding_ = true;
        } else {
          pending_.append(piece);
        }
      }
      if (end == std::string_view::npos) return;
      if (!discarding_) onMessage(std::move(pending_));
      pending_.clear();
      discarding_ = false;
      bytes.remove_prefix(end + 1);
    }
  }

  // Forgets any unfinished message (the connection was closed or handed to someone else).
  void reset();
  std::size_t pendingBytes() const { return pending_.size(); }

 private:
  std::string pending_;
  bool discarding_ = false;
};

struct QueuedMessage {
  int source = 0;  // the connection it came on (a player number on the server)
  std::string text;
};

// The receive queue: complete messages waiting for the dispatch timer, one per tick.
// Each source keeps its own order, the sources take turns, and a source may have at most
// `maxPerSource` messages waiting; more are dropped. So a peer that floods the table
// neither grows the queue without bound nor delays everybody else's messages.
class ReceiveQueue {
 public:
  explicit ReceiveQueue(std::size_t maxPerSource = 32) : maxPerSource_(maxPerSource) {}

  // False when the message was dropped because the source already has its share waiting.
  bool push(int source, std::string text);
  // The next message in turn, or nothing when every source is empty.
  std::optional<QueuedMessage> take();
  // Drops what a closed connection left waiting, so it is never taken for a later one.
  void dropSource(int source);

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::size_t waiting(int source) const;

 private:
  std::size_t maxPerSource_;
  std::vector<std::deque<std::string>> bySource_;
  std::size_t next_ = 0;  // the source whose turn is next
  std::size_t size_ = 0;
};

}  // namespace zp::net
