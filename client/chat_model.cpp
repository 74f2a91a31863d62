#include "client/chat_model.h"

#include <cstdio>
#include <utility>

#include "client/chat_text.h"
#include "net/fields.h"

namespace zp::client {
namespace {

constexpr std::string_view kToboSays = "Tobo the bot says: ";

std::size_t runWeight(const ChatRun& run) {
  return kRunWeight + run.text.size();
}

}  // namespace

// ---- the chat view's model ----

ChatModel::ChatModel(ChatLimits limits) : limits_(limits) {
  styles_[kLinkStyle].colour = clGreen;
  styles_[kLinkStyle].underline = true;
}

bool ChatModel::addlinetochat(int speaker, std::string_view line, Colour colour) {
  if (speaker < 0 || speaker > kMaxPlayer) {
    // A hostile host must not be able to pop up boxes: the line is only left out.
    std::fprintf(stderr, "chat: line dropped, its number field is not a player number 0..%d\n",
                 kMaxPlayer);
    return false;
  }
  const int style = speaker == 0 ? kSystemStyle : speaker + kPlayerStyleOffset;
  const std::string text = displayText(line);
  std::string_view rest = text;
  // An embedding or override turns the rest of the line around, links included: what such a
  // line shows is not what it would open.
  const bool linksAllowed = !hasDirectionControl(text);

  ChatParagraph paragraph;
  paragraph.serial = ++serial_;
  paragraph.style = style;
  auto& runs = paragraph.runs;
  // Neighbouring words of one style make one run: a line of blanks stays one run.
  const auto addText = [&](std::string_view piece, int runStyle) {
    if (!runs.empty() && runs.back().kind == ChatRun::Kind::text && runs.back().style == runStyle)
      runs.back().text += piece;
    else
      runs.push_back({ChatRun::Kind::text, runStyle, std::string(piece), -1, -1});
  };
  const auto addWords = [&](std::string_view piece) {
    std::string words(piece);
    words += ' ';
    std::string_view left = words;
    while (!left.empty()) {
      const std::string_view word = left.substr(0, left.find(' ') + 1);
      left.remove_prefix(word.size());
      const std::string lower = lowerAscii(word);
      if (linksAllowed && !hasInvisibleOrDirectionMark(word) &&
          (lower.find("http://") != std::string::npos || lower.find("www.") != std::string::npos)) {
        const std::int64_t number = nextLink_++;
        links_.emplace(number, std::string(word));
        runs.push_back({ChatRun::Kind::link, kLinkStyle, std::string(word), number, -1});
      } else {
        addText(word, style);
      }
    }
  };

  // Without a ":" there is no head, and not even its blank comes before the text.
  if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
    addText(rest.substr(0, colon + 1), style);
    addText(" ", style);
    rest.remove_prefix(colon + 1);
  }
  setStyle(style, colour);
  int smileys = 0;
  for (std::size_t at = rest.find(":)#"); at != std::string_view::npos; at = rest.find(":)#")) {
    if (smileys++ == kMaxSmileysPerLine) break;
    addWords(rest.substr(0, at));
    rest.remove_prefix(at + 3);
    const std::string_view code = rest.substr(0, utf8Prefix(rest, 2));
    rest.remove_prefix(code.size());
    const auto value = code.size() == 2 ? net::parseInt(code) : std::nullopt;
    const int picture = value && *value >= 10 && *value <= 27 ? *value - 10 : 0;
    runs.push_back({ChatRun::Kind::smiley, style, {}, -1, picture});
  }
  if (!rest.empty()) addWords(rest);

  // The history keeps thousands of lines: each holds what it shows and no more than that.
  for (auto& run : runs) {
    run.text.shrink_to_fit();
    weight_ += runWeight(run);
  }
  runs.shrink_to_fit();
  paragraphs_.push_back(std::move(paragraph));
  if (observer_) observer_->paragraphAdded(paragraphs_.back());
  trim();
  return true;
}

bool ChatModel::addSystemLine(std::string_view text) {
  return addlinetochat(0, text, kSystemColour);
}

bool ChatModel::chatrecieved(int speaker, std::string_view text, std::string_view colourToken) {
  return addlinetochat(speaker, text, colourFromToken(colourToken).value_or(clRed));
}

bool ChatModel::tobotalk(std::span<const std::string, 4> seats, const RandomRange& random) {
  if (seats[1] != kComputerName || seats[2] != kWaiting || seats[3] != kWaiting) return false;
  const int r = random(0, static_cast<int>(kToboPhrases.size()));
  if (r < 1 || r > static_cast<int>(kToboPhrases.size())) return false;
  std::string line(kToboSays);
  line += kToboPhrases[static_cast<std::size_t>(r - 1)];
  return addlinetochat(0, line, kSystemColour);
}

void ChatModel::clear() {
  paragraphs_.clear();
  links_.clear();
  weight_ = 0;
  if (observer_) observer_->cleared();
}

void ChatModel::beginBatch() {
  if (inBatch_) return;
  inBatch_ = true;
  if (observer_) observer_->batchBegun();
}

void ChatModel::endBatch() {
  if (!inBatch_) return;
  inBatch_ = false;
  if (observer_) observer_->batchEnded();
}

void ChatModel::setTextSize(int size) {
  if (size < 6 || size > 72) return;
  for (int style = 0; style < kStyleCount - 1; ++style) {
    auto& s = styles_[static_cast<std::size_t>(style)];
    if (s.size == size) continue;
    s.size = size;
    if (observer_) observer_->styleChanged(style);
  }
}

std::optional<std::string> ChatModel::linkText(std::int64_t number) const {
  const auto it = links_.find(number);
  if (it == links_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> ChatModel::linkAddress(std::int64_t number) const {
  const auto text = linkText(number);
  return text ? linkTarget(*text) : std::nullopt;
}

void ChatModel::setStyle(int style, Colour colour) {
  auto& s = styles_[static_cast<std::size_t>(style)];
  if (s.colour == colour && s.bold) return;
  s.colour = colour;
  s.bold = true;
  if (observer_) observer_->styleChanged(style);
}

void ChatModel::trim() {
  std::size_t dropped = 0;
  while (paragraphs_.size() > 1 &&
         (paragraphs_.size() > limits_.maxParagraphs || weight_ > limits_.maxWeight)) {
    for (const auto& run : paragraphs_.front().runs) {
      weight_ -= runWeight(run);
      if (run.kind == ChatRun::Kind::link) links_.erase(run.link);
    }
    paragraphs_.pop_front();
    ++dropped;
  }
  if (dropped > 0 && observer_) observer_->oldestDropped(dropped);
}

// ---- the bot and the chatter sounds ----

const std::array<std::string_view, 36> kToboPhrases = {
    "My dad is cool.",
    "I'm a bit confused",
    "I need to find a job.",
    "I watched TV last night.",
    "I wish you could see this!",
    "I don't think that is a good idea",
    "That is very wise of you",
    "Tomorrow will be here quickly.",
    "Stop yelling at me.",
    "Don't slam the door please.",
    "I skipped breakfast today.",
    "Have you seen Bumblepuff today?",
    "Is it snack time yet?",
    "Do you have a candy bar?",
    "Oh the ice cream man is coming!",
    "Did you see that?",
    "Why did you do that?",
    "Who knows..",
    "Are you sure you are OK?",
    "I'm feeling lucky tonight.",
    "Will you come and play again sometime?",
    "I'm so happy you are here!",
    "What is in your lunchbox today?",
    "Hey, I found a penny!",
    "I went square dancing the other night.",
    "My big toe has a cramp.",
    "Do you want fries with that?",
    "I have two more holes to plug.",
    "But I have nothing to sell.",
    "Which one should I do?",
    "Oh yeah I want to show you my house.",
    "Can we go?",
    "How much money do you have?",
    "I don't have enough.",
    "Do you really think that is OK?",
    "The dog winkled on the bush.",
};

const std::array<std::string_view, 21> kChatterSoundMenu = {
    "<Cancel>",       "Doh",          "Cough",  "Hello",   "Thank You", "Where have you been?",
    "Snoring",        "Sneezing",     "Sorry",  "Welcome", "Yeehaa",    "Yippee",
    "Oh No",          "Applause",     "Honk",   "Oooh",    "Razzberry", "Cheer",
    "Woman Laughing", "Man Laughing", "Crying",
};

std::optional<std::string_view> chatterCaption(std::string_view soundName) {
  if (!startsWithIgnoringCase(soundName, "wave")) return std::nullopt;
  const std::string_view digits = soundName.substr(4);
  // The resource names carry no leading zeros or signs.
  if (digits.empty() || digits.front() < '1' || digits.front() > '9') return std::nullopt;
  const auto k = net::parseInt(digits);
  if (!k || *k > 20) return std::nullopt;
  return kChatterSoundMenu[static_cast<std::size_t>(*k)];
}

std::optional<std::string> chatterSoundLine(std::string_view seatName, std::string_view soundName) {
  const auto caption = chatterCaption(soundName);
  if (!caption || seatName.empty()) return std::nullopt;
  return std::string(seatName) + ": <Chatter Sound> " + std::string(*caption);
}

}  // namespace zp::client
