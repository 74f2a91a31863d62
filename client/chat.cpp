#include "client/chat.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "net/catalogue.h"
#include "net/fields.h"

namespace zp::client {
namespace {

struct NamedColour {
  std::string_view name;
  Colour value;
};

constexpr Colour kSystemBase = 0x80000000;

constexpr std::array<NamedColour, 17> kNamedColours = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clNone", 0x1FFFFFFF},
}};

// In system colour index order.
constexpr std::array<std::string_view, 25> kSystemColourNames = {
    "clScrollBar",    "clBackground",  "clActiveCaption", "clInactiveCaption",
    "clMenu",         "clWindow",      "clWindowFrame",   "clMenuText",
    "clWindowText",   "clCaptionText", "clActiveBorder",  "clInactiveBorder",
    "clAppWorkSpace", "clHighlight",   "clHighlightText", "clBtnFace",
    "clBtnShadow",    "clGrayText",    "clBtnText",       "clInactiveCaptionText",
    "clBtnHighlight", "cl3DDkShadow",  "cl3DLight",       "clInfoText",
    "clInfoBk",
};

// The classic desktop scheme, as 0xRRGGBB, in the same order.
constexpr std::array<std::uint32_t, 25> kSystemColourRgb = {
    0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8, 0x808080, 0x808080,
    0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000, 0xFFFFE1,
};

constexpr std::string_view kWaiting = "<Waiting>";
constexpr std::string_view kTobo = "Tobo";
constexpr std::string_view kToboSays = "0+Tobo the bot says: ";

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lowerAscii(x) == lowerAscii(y);
         });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Colour> parseDecimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 32) - 1;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<Colour>(negative ? -value : value);
}

// ---- UTF-8 ----

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07u;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if (!isContinuation(d)) return false;
      code = (code << 6) | (d & 0x3Fu);
    }
    if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return false;
    if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return false;
    i += length;
  }
  return true;
}

// Text from the network or the clipboard as the chat shows it: UTF-8 (a line that is not
// valid UTF-8 is read as Latin-1) with control characters as blanks, so a line can never
// break itself into several.
std::string displayText(std::string_view text) {
  std::string out;
  if (isValidUtf8(text)) {
    out.assign(text);
  } else {
    out.reserve(text.size() * 2);
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x80) {
        out += ch;
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

// The byte length of the first `count` characters of valid UTF-8 `text` (less when it
// is shorter).
std::size_t utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < count && i < text.size(); ++k) {
    ++i;
    while (i < text.size() && isContinuation(static_cast<unsigned char>(text[i]))) ++i;
  }
  return i;
}

std::string withToken(std::string_view text, Colour colour) {
  std::string out(text);
  out += '|';
  out += colourToToken(colour);
  return out;
}

bool canSend(const ChatIdentity& me) {
  return me.loggedIn && me.own >= 1 && me.own <= kMaxPlayer;
}

// A host must follow "http://" or "https://": "http:///etc/passwd" is no web address.
bool hasHost(std::string_view afterScheme) {
  std::string_view authority = afterScheme.substr(0, afterScheme.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') return authority.size() > 2;
  return !authority.substr(0, authority.find(':')).empty();
}

std::size_t runWeight(const ChatRun& run) {
  return kRunWeight + run.text.size();
}

}  // namespace

// ---- colours ----

std::string colourToToken(Colour colour) {
  for (const auto& named : kNamedColours)
    if (named.value == colour) return std::string(named.name);
  if (colour >= kSystemBase && colour - kSystemBase < kSystemColourNames.size())
    return std::string(kSystemColourNames[colour - kSystemBase]);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string token = "$";
  for (int shift = 28; shift >= 0; shift -= 4) token += kHex[(colour >> shift) & 0xF];
  return token;
}

std::optional<Colour> colourFromToken(std::string_view token) {
  for (const auto& named : kNamedColours)
    if (equalsIgnoringCase(token, named.name)) return named.value;
  for (std::size_t i = 0; i < kSystemColourNames.size(); ++i)
    if (equalsIgnoringCase(token, kSystemColourNames[i]))
      return kSystemBase + static_cast<Colour>(i);
  if (!token.empty() && token.front() == '$') {
    token.remove_prefix(1);
    // More than eight digits would not fit; no writer has ever padded further.
    if (token.empty() || token.size() > 8) return std::nullopt;
    Colour value = 0;
    for (const char c : token) {
      const int digit = hexDigit(c);
      if (digit < 0) return std::nullopt;
      value = (value << 4) | static_cast<Colour>(digit);
    }
    return value;
  }
  return parseDecimal(token);
}

Rgb rgbOf(Colour colour) {
  std::uint32_t rgb = 0;
  if (colour >= kSystemBase) {
    const Colour index = colour - kSystemBase;
    if (index < kSystemColourRgb.size()) rgb = kSystemColourRgb[index];
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb)};
  }
  return {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour >> 16)};
}

// ---- links ----

std::optional<std::string> linkTarget(std::string_view linkText) {
  if (!linkText.empty() && linkText.back() == ' ') linkText.remove_suffix(1);
  for (const char c : linkText)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return std::nullopt;
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (!startsWithIgnoringCase(linkText, scheme)) continue;
    const std::string_view rest = linkText.substr(scheme.size());
    if (!hasHost(rest)) return std::nullopt;
    return std::string(scheme) + std::string(rest);
  }
  if (startsWithIgnoringCase(linkText, "www.") && linkText.size() > 4 && hasHost(linkText))
    return "http://" + std::string(linkText);
  return std::nullopt;
}

// ---- the chat view's model ----

ChatModel::ChatModel(ChatLimits limits) : limits_(limits) {
  styles_[kLinkStyle].colour = clGreen;
  styles_[kLinkStyle].underline = true;
}

bool ChatModel::addlinetochat(std::string_view line, Colour colour) {
  const std::size_t plus = line.find('+');
  const auto n =
      plus == std::string_view::npos ? std::nullopt : net::parseInt(line.substr(0, plus));
  if (!n || *n < 0 || *n > kMaxPlayer) {
    // A hostile host must not be able to pop up boxes: the line is only left out.
    std::cerr << "chat: line dropped, its number field is not a player number 0.." << kMaxPlayer
              << '\n';
    return false;
  }
  const int style = *n == 0 ? kSystemStyle : *n + kPlayerStyleOffset;
  const std::string text = displayText(line.substr(plus + 1));
  std::string_view rest = text;

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
      if (lower.find("http://") != std::string::npos || lower.find("www.") != std::string::npos) {
        const int number = nextLink();
        links_[static_cast<std::size_t>(number)] = std::string(word);
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
  for (std::size_t at = rest.find(":)#"); at != std::string_view::npos; at = rest.find(":)#")) {
    addWords(rest.substr(0, at));
    rest.remove_prefix(at + 3);
    const std::string_view code = rest.substr(0, utf8Prefix(rest, 2));
    rest.remove_prefix(code.size());
    const auto value = code.size() == 2 ? net::parseInt(code) : std::nullopt;
    const int picture = value && *value >= 10 && *value <= 27 ? *value - 10 : 0;
    runs.push_back({ChatRun::Kind::smiley, style, {}, -1, picture});
  }
  if (!rest.empty()) addWords(rest);

  for (const auto& run : runs) weight_ += runWeight(run);
  paragraphs_.push_back(std::move(paragraph));
  if (observer_) observer_->paragraphAdded(paragraphs_.back());
  trim();
  return true;
}

bool ChatModel::addSystemLine(std::string_view text) {
  return addlinetochat("0+" + std::string(text), kSystemColour);
}

bool ChatModel::chatrecieved(std::string_view fields) {
  const std::size_t bar = fields.rfind('|');
  if (bar == std::string_view::npos) return addlinetochat(fields, clRed);
  return addlinetochat(fields.substr(0, bar),
                       colourFromToken(fields.substr(bar + 1)).value_or(clRed));
}

bool ChatModel::tobotalk(std::span<const std::string, 4> seats, const RandomRange& random) {
  if (seats[1] != kTobo || seats[2] != kWaiting || seats[3] != kWaiting) return false;
  const int r = random(0, static_cast<int>(kToboPhrases.size()));
  if (r < 1 || r > static_cast<int>(kToboPhrases.size())) return false;
  std::string line(kToboSays);
  line += kToboPhrases[static_cast<std::size_t>(r - 1)];
  return addlinetochat(line, kSystemColour);
}

void ChatModel::clear() {
  paragraphs_.clear();
  weight_ = 0;
  if (observer_) observer_->cleared();
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

std::optional<std::string> ChatModel::linkText(int number) const {
  if (number < 0 || number >= static_cast<int>(links_.size())) return std::nullopt;
  return links_[static_cast<std::size_t>(number)];
}

std::optional<std::string> ChatModel::linkAddress(int number) const {
  const auto text = linkText(number);
  return text ? linkTarget(*text) : std::nullopt;
}

int ChatModel::nextLink() {
  linkCounter_ = linkCounter_ >= 100 ? 1 : linkCounter_ + 1;
  return linkCounter_;
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
    for (const auto& run : paragraphs_.front().runs) weight_ -= runWeight(run);
    paragraphs_.pop_front();
    ++dropped;
  }
  if (dropped > 0 && observer_) observer_->oldestDropped(dropped);
}

// ---- sending ----

std::string_view fitChatInput(std::string_view text) {
  if (text.size() <= kMaxChatInputBytes) return text;
  std::size_t cut = kMaxChatInputBytes;
  while (cut > 0 && isContinuation(static_cast<unsigned char>(text[cut]))) --cut;
  return text.substr(0, cut);
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

std::optional<std::string> chatterSoundLine(int n, std::string_view seatName,
                                            std::string_view soundName) {
  const auto caption = chatterCaption(soundName);
  if (!caption || seatName.empty()) return std::nullopt;
  return std::to_string(n) + "+" + std::string(seatName) + ": <Chatter Sound> " +
         std::string(*caption);
}

}  // namespace zp::client
