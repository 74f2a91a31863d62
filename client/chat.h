#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/framing.h"
#include "rules/constants.h"

// The chat panel without its widgets: colour tokens, chat lines turned into styled runs,
// links, the input line, the phrase buttons and the bot's chatter. A widget draws a
// ChatModel and forwards clicks and keys to it; nothing here knows about rendering.
//
//   ChatModel chat;
//   chat.chatrecieved("3+Ann chats: hi :)#12|clNavy");   // a paragraph in style 8, navy
//   for (const ChatRun& run : chat.paragraphs().back().runs) ...
namespace zp::client {

// ---- colours ----

// A colour as the chat and the settings file carry it: 0x00BBGGRR, or a system colour
// 0x80000000 + index.
using Colour = std::uint32_t;

inline constexpr Colour clBlack = 0x000000;
inline constexpr Colour clRed = 0x0000FF;
inline constexpr Colour clGreen = 0x008000;
inline constexpr Colour clNavy = 0x800000;
inline constexpr Colour clBlue = 0xFF0000;
// System lines, the bot included.
inline constexpr Colour kSystemColour = clBlue;

// The name when the colour has one, else "$" and eight upper-case hex digits.
std::string colourToToken(Colour colour);
// A name in any letter case, "$" and 1 to 8 hex digits, or a decimal number that fits
// 32 bits (signed or unsigned); nothing for anything else.
std::optional<Colour> colourFromToken(std::string_view token);
// The longest token colourToToken writes ("clInactiveCaptionText").
inline constexpr std::size_t kLongestColourToken = 21;

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};
// What to paint: system colours as the classic desktop scheme, anything else by its
// low three bytes.
Rgb rgbOf(Colour colour);

// ---- the chat view's model ----

inline constexpr int kStyleCount = 16;
inline constexpr int kSystemStyle = 0;
inline constexpr int kLinkStyle = 4;
// Players 1..9 use styles 6..14; a higher number would run past the table.
inline constexpr int kPlayerStyleOffset = 5;

struct ChatStyle {
  Colour colour = clBlack;
  bool bold = false;
  bool underline = false;
  int size = 10;  // points; the font is Arial
};

struct ChatRun {
  enum class Kind { text, link, smiley };
  Kind kind = Kind::text;
  int style = 0;     // index into ChatModel::styles(), looked up when painting
  std::string text;  // UTF-8, plain text (empty for a smiley)
  int link = -1;     // link number, for links
  int picture = -1;  // 0..17, for smileys
  bool operator==(const ChatRun&) const = default;
};

struct ChatParagraph {
  std::uint64_t serial = 0;  // 1 for the first paragraph ever added, counting on
  int style = 0;
  std::vector<ChatRun> runs;
};

// Told of every change, in order, so a view can follow without redrawing everything.
class ChatObserver {
 public:
  virtual ~ChatObserver() = default;
  virtual void paragraphAdded(const ChatParagraph& paragraph) = 0;
  // The `count` oldest paragraphs were dropped to keep the chat within its limits.
  virtual void oldestDropped(std::size_t count) = 0;
  virtual void cleared() = 0;
  virtual void styleChanged(int style) = 0;
};

// The chat only grows, and a hostile peer may send long lines full of smileys: the
// oldest paragraphs go once either limit is passed (the newest always stays).
struct ChatLimits {
  std::size_t maxParagraphs = 2000;
  std::size_t maxWeight = std::size_t{4} << 20;  // text bytes plus kRunWeight per run
};
inline constexpr std::size_t kRunWeight = 64;

// A link word becomes an address to open only when it is a web address: "http://" or
// "https://" at its start with a host after it, or "www." at its start ("http://" is
// put in front). The trailing blank of a link's text is dropped first. Anything else
// (another scheme, a path, text in front, blanks or control characters) gives nothing.
std::optional<std::string> linkTarget(std::string_view linkText);

// Inclusive range; tests pass a seeded or scripted source.
using RandomRange = std::function<int(int lo, int hi)>;

class ChatModel {
 public:
  explicit ChatModel(ChatLimits limits = {});

  // "n+text": n 0 for a system line, else the player's number 1..9. The line's style
  // takes the colour and becomes bold. False when the line was dropped (a number field
  // that is not a number or out of range), with one line on stderr.
  bool addlinetochat(std::string_view line, Colour colour);
  // A system line the client writes itself: "0+" + text in the system colour.
  bool addSystemLine(std::string_view text);
  // The fields of CMD_chat and CMD_action: the line, "|", the colour token.
  bool chatrecieved(std::string_view fields);
  // After each CMD_chat: seats holds the four name labels. True when the bot spoke.
  bool tobotalk(std::span<const std::string, 4> seats, const RandomRange& random);

  // Clear Main Chat. The link numbers keep counting.
  void clear();
  // Text Size: styles 0..14; sizes outside 6..72 are ignored.
  void setTextSize(int size);
  bool scrollChatOff() const { return scrollChatOff_; }
  void toggleScrollChatOff() { scrollChatOff_ = !scrollChatOff_; }

  const std::deque<ChatParagraph>& paragraphs() const { return paragraphs_; }
  const std::array<ChatStyle, kStyleCount>& styles() const { return styles_; }
  // A link's stored text, trailing blank included; nothing for an unknown number.
  std::optional<std::string> linkText(int number) const;
  // mainchatJump: what to open for link `number`; nothing means "Cannot open Webpage".
  std::optional<std::string> linkAddress(int number) const;

  // Not owned; nullptr to stop.
  void setObserver(ChatObserver* observer) { observer_ = observer; }

 private:
  int nextLink();
  void setStyle(int style, Colour colour);
  void trim();

  ChatLimits limits_;
  std::array<ChatStyle, kStyleCount> styles_;
  std::deque<ChatParagraph> paragraphs_;
  std::size_t weight_ = 0;
  std::uint64_t serial_ = 0;
  int linkCounter_ = -1;
  std::array<std::optional<std::string>, 101> links_;
  bool scrollChatOff_ = false;
  ChatObserver* observer_ = nullptr;
};

// ---- sending ----

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

// ---- the bot and the chatter sounds ----

// Phrase r (1..36) of the bot is kToboPhrases[r - 1].
extern const std::array<std::string_view, 36> kToboPhrases;

// The chatter sounds menu in order: "<Cancel>", then the caption of WAVE1 .. WAVE20.
extern const std::array<std::string_view, 21> kChatterSoundMenu;
// "wave7" (letter case ignored) gives "Sneezing"; nothing for an unknown name.
std::optional<std::string_view> chatterCaption(std::string_view soundName);
// The chat line shown instead of a chatter sound: "n+" + name + ": <Chatter Sound> " +
// caption; nothing when the name is empty or the sound unknown. It goes to addlinetochat
// in the system colour.
std::optional<std::string> chatterSoundLine(int n, std::string_view seatName,
                                            std::string_view soundName);

}  // namespace zp::client
