#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "client/chat_colours.h"
#include "net/framing.h"

// What a player sends to the chat: the input line and the nine phrase buttons.
namespace zp::client {

// Who sends and in which colour (the chat colour of the settings).
struct ChatIdentity {
  bool loggedIn = false;
  int own = 0;  // 1..9
  Colour colour = clBlack;
};

// The longest sender name for which the longest line still reaches everybody. The server
// relays "name chats: " + text + "|" + token and every reader drops a message longer
// than net::kMaxMessageBytes.
inline constexpr std::size_t kChatNameAllowance = 256;
// Bytes of UTF-8 the input may hold: the relayed chat line of player 9 with a name of
// kChatNameAllowance bytes and the longest colour token is then just within
// net::kMaxMessageBytes. An action relays four bytes less, so it fits too.
inline constexpr std::size_t kMaxChatInputBytes =
    net::kMaxMessageBytes - (sizeof("CMD_chat+9+") - 1) - kChatNameAllowance -
    (sizeof(" chats: ") - 1) - 1 - kLongestColourToken;
// The longest prefix of `text` within kMaxChatInputBytes that ends on a character
// boundary.
std::string_view fitChatInput(std::string_view text);

inline constexpr std::string_view kPlaceholder = "<Enter Chat Here>";

// The input line's text and its rules; the widget shows text().
class ChatInput {
 public:
  const std::string& text() const { return text_; }
  bool showsPlaceholder() const { return text_ == kPlaceholder; }

  // mychatKeyDown: any key empties the placeholder first.
  void keyDown();
  // The widget's text after the user typed: control characters become blanks and it is
  // cut to the limit. Returns what the input should show.
  const std::string& edit(std::string_view typed);
  // Paste1Click: appends to the current text, placeholder included.
  void paste(std::string_view clipboard);
  // N271Click: appends ":)#" + code (10..27); nothing when it would not fit.
  void insertSmiley(int code);
  // Enter (after keyDown): the message to send, if any. Not logged in: nothing, and the
  // text stays; otherwise the input is emptied.
  std::optional<std::string> sendit(const ChatIdentity& me);

 private:
  std::string text_{kPlaceholder};
};

inline constexpr std::array<std::string_view, 9> kDefaultPhrases = {
    "Way To Go!", "Good One!", "Nice Try!",         "Excellent!",         "Brilliant!",
    "Wow, WTG!",  "Thanks!",   "Way To Go Teamie!", "Good Game Everyone!"};

// The nine phrase buttons and their lock: a phrase closes it, and the dispatcher's
// 101st tick after that opens it again.
class PhraseButtons {
 public:
  PhraseButtons();
  // Button 1..9.
  const std::string& phrase(int button) const;
  void setPhrase(int button, std::string phrase);
  // b_phrase1Click: the action to send, or nothing (lock closed, not logged in, no such
  // button). A phrase starting with "/me " is sent as that action, any other as "says: ".
  std::optional<std::string> click(int button, const ChatIdentity& me);
  // One dispatcher tick.
  void tick();
  bool open() const { return open_; }

 private:
  std::array<std::string, 9> phrases_;
  bool open_ = true;
  int count_ = 0;
};

}  // namespace zp::client
