#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace zp::net {

struct SplitMessage {
  std::string_view command;  // empty when the message has no "+"
  std::string_view args;     // everything after the first "+"
};

// A message's command word is the text before its first "+".
inline SplitMessage splitMessage(std::string_view message) {
  const std::size_t plus = message.find('+');
  if (plus == std::string_view::npos) return {};
  return {message.substr(0, plus), message.substr(plus + 1)};
}

// What became of one dispatched message.
enum class Dispatched {
  kNothing,     // no command word (an empty entry, or no "+")
  kUnknown,     // a command word this side does not handle: ignored
  kHandled,     // read and handed to its handler
  kUnreadable,  // a field failed its reader: dropped before any handler saw it
};

// The table of command words one side handles, in the order of the catalogue. A command
// word not in the table is ignored: peers can only reach the handlers listed here. Each
// entry pairs a catalogue reader with the handler of what it reads, so a handler only
// ever sees a message whose every field is in range.
// Context is what the side passes along with each message (the server: the sender's record).
//
//   CommandTable<int> table;
//   table.on(cmd::nextplayer, to_players::parseNextPlayer,
//            [&](int record, const NextPlayer& next) { ... });
//   if (table.dispatch(text, record) == Dispatched::kUnreadable) ...
template <typename... Context>
class CommandTable {
 public:
  template <typename Message, typename Handle>
  CommandTable& on(std::string_view command, std::optional<Message> (*read)(std::string_view),
                   Handle handle) {
    entries_.emplace_back(command, [read, handle](Context... context, std::string_view args) {
      std::optional<Message> message = read(args);
      if (!message) return false;
      handle(context..., *message);
      return true;
    });
    return *this;
  }

  Dispatched dispatch(std::string_view message, Context... context) const {
    const SplitMessage split = splitMessage(message);
    if (split.command.empty()) return Dispatched::kNothing;
    for (const auto& [command, handler] : entries_) {
      if (command == split.command)
        return handler(context..., split.args) ? Dispatched::kHandled : Dispatched::kUnreadable;
    }
    return Dispatched::kUnknown;
  }

 private:
  using Handler = std::function<bool(Context..., std::string_view args)>;
  std::vector<std::pair<std::string_view, Handler>> entries_;
};

}  // namespace zp::net
