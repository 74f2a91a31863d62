#pragma once

#include <cstddef>
#include <cstdint>
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
// `bytes` fit for a log line: printable ASCII as itself, every other byte (and the
// backslash, so that every "\x" in the line is an escape) as \xNN. No byte from the network
// can then move the cursor, colour the terminal or start a line of its own. At most `limit`
// bytes are shown; "..." follows a cut.
std::string escapedForLog(std::string_view bytes, std::size_t limit = SIZE_MAX);

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
          ++dropped_;
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
  // How many messages were thrown away for their length so far.
  std::size_t dropped() const { return dropped_; }

 private:
  std::string pending_;
  bool discarding_ = false;
  std::size_t dropped_ = 0;
};

// One connection's receive path: the reader that cuts its bytes into messages, and the
// messages waiting for the dispatch timer, first in, first out.
struct InboxLimits {
  std::size_t maxMessages = SIZE_MAX;  // a message arriving past this many is dropped
  std::size_t maxBytes = SIZE_MAX;     // waiting bytes past this overflow the inbox
  bool keepEvery = false;              // a message too long to hold overflows it, not dropped
};

class Inbox {
 public:
  explicit Inbox(InboxLimits limits = InboxLimits()) : limits_(limits) {}

  // Queues every complete message in `bytes`. False once the inbox has overflowed: it then
  // takes nothing more until reset(), and its owner lets the connection go.
  bool feed(std::string_view bytes);
  std::optional<std::string> take();
  // Forgets the unfinished message and everything waiting (the connection closed).
  void reset();

  // Whether its connection should read on: while under half its byte bound waits, what one
  // read (GameConnection::kReadChunk) adds cannot overflow it, even as empty messages.
  bool hasRoom() const { return !overflowed_ && bytes_ < limits_.maxBytes / 2; }
  bool empty() const { return messages_.empty(); }
  std::size_t size() const { return messages_.size(); }
  std::size_t waitingBytes() const { return bytes_; }
  std::size_t pendingBytes() const { return reader_.pendingBytes(); }
  bool overflowed() const { return overflowed_; }

 private:
  InboxLimits limits_;
  MessageReader reader_;
  std::deque<std::string> messages_;
  std::size_t bytes_ = 0;
  bool overflowed_ = false;
};

// A table's player connection: a peer that floods it loses what is past its share, so it
// neither grows the queue without bound nor delays everybody else's messages.
inline constexpr InboxLimits kPlayerInboxLimits{32, SIZE_MAX};
// The player window's one connection never loses a message (a lost board would leave the
// board wrong for the rest of the turn): its connection stops reading while the inbox has no
// room, and only a message too long to hold, or a reader that does not stop, overflows it;
// the window then closes the connection.
inline constexpr InboxLimits kWindowInboxLimits{SIZE_MAX, 4 * 1024 * 1024, true};

struct QueuedMessage {
  int source = 0;  // the connection it came on (a player number on the server)
  std::string text;
};

// The server's receive path: one inbox per connection, served in turn, one message per
// tick, each connection's messages in their own order.
class ReceiveQueue {
 public:
  explicit ReceiveQueue(InboxLimits limits = kPlayerInboxLimits) : limits_(limits) {}

  // Bytes that arrived on `source`; false for a source that is not a connection.
  bool feed(int source, std::string_view bytes);
  // The next message in turn, or nothing when every source is empty.
  std::optional<QueuedMessage> take();
  // The next message from `source` alone, out of turn.
  std::optional<std::string> takeFrom(int source);
  // Forgets what a closed connection left, so it is never taken for a later one.
  void dropSource(int source);

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::size_t waiting(int source) const;
  std::size_t pendingBytes(int source) const;
  // The source sent more than its inbox takes (InboxLimits::maxBytes): let it go.
  bool overflowed(int source) const;

 private:
  InboxLimits limits_;
  std::vector<Inbox> bySource_;
  std::size_t next_ = 0;  // the source whose turn is next
  std::size_t size_ = 0;
};

}  // namespace zp::net
