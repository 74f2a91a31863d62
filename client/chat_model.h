#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/chat_colours.h"
#include "rules/constants.h"

// The chat view's model: chat lines turned into styled runs, links and smileys, the styles
// the view looks up when painting, and the bot's chatter. A widget draws a ChatModel and
// forwards clicks to it; nothing here knows about rendering.
//
//   ChatModel chat;
//   chat.chatrecieved(3, "Ann chats: hi :)#12", "clNavy");   // a paragraph in style 8, navy
//   for (const ChatRun& run : chat.paragraphs().back().runs) ...
namespace zp::client {

inline constexpr int kStyleCount = 16;
// A line shows this many smileys as pictures and the rest as their codes: each picture costs
// the view's layout tens of microseconds, and a line of 1,630 would hold the window for
// several frames.
inline constexpr int kMaxSmileysPerLine = 200;
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
  int style = 0;           // index into ChatModel::styles(), looked up when painting
  std::string text;        // UTF-8, plain text (empty for a smiley)
  std::int64_t link = -1;  // the link's number, never reused, for links
  int picture = -1;        // 0..17, for smileys
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
  // The lines between these two come in one go: a view may lay them out once, at the end.
  virtual void batchBegun() {}
  virtual void batchEnded() {}
};

// The chat only grows, and a hostile peer may send long lines full of smileys: the
// oldest paragraphs go once either limit is passed (the newest always stays).
struct ChatLimits {
  std::size_t maxParagraphs = 2000;
  std::size_t maxWeight = std::size_t{4} << 20;  // text bytes plus kRunWeight per run
};
inline constexpr std::size_t kRunWeight = 64;

// Inclusive range; tests pass a seeded or scripted source.
using RandomRange = std::function<int(int lo, int hi)>;

class ChatModel {
 public:
  explicit ChatModel(ChatLimits limits = {});

  // A line of `speaker`: 0 for a system line, else the player's number 1..9. The line's
  // style takes the colour and becomes bold. False when the line was dropped (a speaker
  // out of range), with one line on stderr. The text is cleaned for showing here.
  bool addlinetochat(int speaker, std::string_view text, Colour colour);
  // A system line the client writes itself, in the system colour.
  bool addSystemLine(std::string_view text);
  // CMD_chat and CMD_action as received: a colour token that is missing or cannot be read
  // shows the line in red.
  bool chatrecieved(int speaker, std::string_view text, std::string_view colourToken);
  // After each CMD_chat: seats holds the four name labels. True when the bot spoke.
  bool tobotalk(std::span<const std::string, 4> seats, const RandomRange& random);

  // Clear Main Chat. The link numbers keep counting; the links shown go.
  void clear();
  // Text Size: styles 0..14; sizes outside 6..72 are ignored.
  void setTextSize(int size);
  bool scrollChatOff() const { return scrollChatOff_; }
  void toggleScrollChatOff() { scrollChatOff_ = !scrollChatOff_; }

  const std::deque<ChatParagraph>& paragraphs() const { return paragraphs_; }
  const std::array<ChatStyle, kStyleCount>& styles() const { return styles_; }
  // A link's text as shown, trailing blank included; nothing for a number no paragraph
  // kept holds.
  std::optional<std::string> linkText(std::int64_t number) const;
  // mainchatJump: what to open for link `number`; nothing means "Cannot open Webpage".
  std::optional<std::string> linkAddress(std::int64_t number) const;

  // Lines added until endBatch() come as one batch; a batch holds nothing else, so end it
  // before anything that lets the window draw (a message box). Ending no batch does nothing.
  void beginBatch();
  void endBatch();

  // Not owned; nullptr to stop.
  void setObserver(ChatObserver* observer) { observer_ = observer; }

 private:
  void setStyle(int style, Colour colour);
  void trim();

  ChatLimits limits_;
  std::array<ChatStyle, kStyleCount> styles_;
  std::deque<ChatParagraph> paragraphs_;
  std::size_t weight_ = 0;
  std::uint64_t serial_ = 0;
  // Numbers are never used twice, so a link can only ever open its own text.
  std::int64_t nextLink_ = 0;
  std::map<std::int64_t, std::string> links_;  // the links of the paragraphs kept
  bool scrollChatOff_ = false;
  bool inBatch_ = false;
  ChatObserver* observer_ = nullptr;
};

// Phrase r (1..36) of the bot is kToboPhrases[r - 1].
extern const std::array<std::string_view, 36> kToboPhrases;

// The chatter sounds menu in order: "<Cancel>", then the caption of WAVE1 .. WAVE20.
extern const std::array<std::string_view, 21> kChatterSoundMenu;
// "wave7" (letter case ignored) gives "Sneezing"; nothing for an unknown name.
std::optional<std::string_view> chatterCaption(std::string_view soundName);
// The chat line shown instead of a chatter sound: name + ": <Chatter Sound> " + caption;
// nothing when the name is empty or the sound unknown. It goes to addlinetochat as the
// player's line, in the system colour.
std::optional<std::string> chatterSoundLine(std::string_view seatName, std::string_view soundName);

}  // namespace zp::client
