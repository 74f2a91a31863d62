#include "client/chat_input.h"

#include <algorithm>

#include "client/chat_text.h"
#include "net/catalogue.h"

namespace zp::client {
namespace {

std::string withToken(std::string_view text, Colour colour) {
  std::string out(text);
  out += '|';
  out += colourToToken(colour);
  return out;
}

bool canSend(const ChatIdentity& me) {
  return me.loggedIn && me.own >= 1 && me.own <= kMaxPlayer;
}

}  // namespace

// ---- sending ----

std::string_view fitChatInput(std::string_view text) {
  return utf8Fit(text, kMaxChatInputBytes);
}

void ChatInput::keyDown() {
  if (showsPlaceholder()) text_.clear();
}

const std::string& ChatInput::edit(std::string_view typed) {
  text_ = fitChatInput(displayText(typed));
  return text_;
}

void ChatInput::paste(std::string_view clipboard) {
  edit(text_ + std::string(clipboard));
}

void ChatInput::insertSmiley(int code) {
  if (code < 10 || code > 27) return;
  keyDown();
  const std::string smiley = ":)#" + std::to_string(code);
  if (text_.size() + smiley.size() <= kMaxChatInputBytes) text_ += smiley;
}

std::optional<std::string> ChatInput::sendit(const ChatIdentity& me) {
  if (!canSend(me)) return std::nullopt;
  std::optional<std::string> message;
  const std::string_view text = text_;
  if (!text.empty() && text.front() != '/') {
    message = net::to_server::chat(net::ChatLine{me.own, withToken(text, me.colour)});
  } else if (text.starts_with("/me")) {
    // "/me" and the character after it, whatever its length in bytes.
    message = net::to_server::action(
        net::ChatLine{me.own, withToken(text.substr(utf8Prefix(text, 4)), me.colour)});
  }
  text_.clear();
  return message;
}

PhraseButtons::PhraseButtons() {
  std::copy(kDefaultPhrases.begin(), kDefaultPhrases.end(), phrases_.begin());
}

const std::string& PhraseButtons::phrase(int button) const {
  return phrases_.at(static_cast<std::size_t>(button - 1));
}

void PhraseButtons::setPhrase(int button, std::string phrase) {
  phrases_.at(static_cast<std::size_t>(button - 1)) = std::move(phrase);
}

std::optional<std::string> PhraseButtons::click(int button, const ChatIdentity& me) {
  if (!open_ || !canSend(me) || button < 1 || button > static_cast<int>(phrases_.size()))
    return std::nullopt;
  const std::string_view phrase = phrases_[static_cast<std::size_t>(button - 1)];
  const std::string text =
      phrase.starts_with("/me ") ? std::string(phrase.substr(4)) : "says: " + std::string(phrase);
  open_ = false;
  count_ = 0;
  return net::to_server::action(net::ChatLine{me.own, withToken(fitChatInput(text), me.colour)});
}

void PhraseButtons::tick() {
  if (open_) return;
  if (++count_ > 100) {
    open_ = true;
    count_ = 0;
  }
}

}  // namespace zp::client
