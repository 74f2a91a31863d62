#pragma once

#include <functional>
#include <initializer_list>
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

// The table of command words one side handles, in the order of the catalogue. A command
// word not in the table is ignored: peers can only reach the handlers listed here.
// Context is what the side passes along with each message (the server: the sender's record).
template <typename... Context>
class CommandTable {
 public:
  using Handler = std::function<void(Context..., std::string_view args)>;
  using Entry = std::pair<std::string_view, Handler>;

  CommandTable(std::initializer_list<Entry> entries) : entries_(entries) {}

  // Calls the handler of the message's command word; false when there is none.
  bool dispatch(std::string_view message, Context... context) const {
    const SplitMessage split = splitMessage(message);
    if (split.command.empty()) return false;
    for (const auto& [command, handler] : entries_) {
      if (command == split.command) {
        handler(context..., split.args);
        return true;
      }
    }
    return false;
  }

 private:
  std::vector<Entry> entries_;
};

}  // namespace zp::net
