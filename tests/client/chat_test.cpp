#include "client/chat_colours.h"
#include "client/chat_input.h"
#include "client/chat_model.h"
#include "client/chat_text.h"

#include <gtest/gtest.h>

#include <QChar>
#include <QString>
#include <cstdint>
#include <random>
#include <set>

#include "net/catalogue.h"
#include "net/framing.h"

namespace zp::client {
namespace {

// A CMD_chat's fields as the window receives them: read by the catalogue, then shown.
bool receive(ChatModel& chat, std::string_view fields) {
  const auto m = net::to_players::parseChat(fields);
  return m && chat.chatrecieved(m->n, m->text, m->colour);
}

using Kind = ChatRun::Kind;

ChatRun text(std::string s, int style) {
  return {Kind::text, style, std::move(s), -1, -1};
}
ChatRun smiley(int picture, int style) {
  return {Kind::smiley, style, {}, -1, picture};
}
ChatRun link(std::string s, int number) {
  return {Kind::link, kLinkStyle, std::move(s), number, -1};
}

// The runs' text as the view would show it, a smiley as "[n]".
std::string shown(const ChatParagraph& p) {
  std::string out;
  for (const auto& run : p.runs)
    out += run.kind == Kind::smiley ? "[" + std::to_string(run.picture) + "]" : run.text;
  return out;
}

struct Sent {
  std::string command;
  net::ChatLine line;
};
// What a sent message decides: its command word and its fields as the server reads them.
Sent decode(const std::optional<std::string>& message) {
  EXPECT_TRUE(message.has_value());
  if (!message) return {};
  std::string_view m = *message;
  EXPECT_EQ(m.back(), net::kTerminator);
  m.remove_suffix(1);
  const auto plus = m.find('+');
  const auto line = net::to_server::parseChat(m.substr(plus + 1));
  EXPECT_TRUE(line.has_value());
  return {std::string(m.substr(0, plus)), line.value_or(net::ChatLine{})};
}

// ---- colour tokens ----

TEST(ColourToken, RoundTripsEveryNamedColourAndHexValues) {
  std::vector<Colour> values = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000,  0x800080,
                                0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00,  0x00FFFF,
                                0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF, 0x1FFFFFFF};
  for (Colour i = 0; i < 25; ++i) values.push_back(0x80000000 + i);
  std::size_t longest = 0;
  for (const Colour c : values) {
    const std::string token = colourToToken(c);
    EXPECT_TRUE(token.starts_with("cl")) << token;
    EXPECT_EQ(colourFromToken(token), c) << token;
    longest = std::max(longest, token.size());
  }
  EXPECT_EQ(longest, kLongestColourToken);
  EXPECT_EQ(colourToToken(0x800000), "clNavy");
  EXPECT_EQ(colourToToken(0x80000018), "clInfoBk");
  for (const Colour c : {0x00FF8000u, 0x0000000Au, 0x80000019u, 0xFFFFFFFFu}) {
    const std::string token = colourToToken(c);
    EXPECT_EQ(token.size(), 9u) << token;
    EXPECT_EQ(colourFromToken(token), c) << token;
  }
  EXPECT_EQ(colourToToken(0x00FF8000), "$00FF8000");
  EXPECT_EQ(colourToToken(0x00ABCDEF), "$00ABCDEF");
}

TEST(ColourToken, ReadsNamesInAnyCaseHexAndDecimal) {
  const std::pair<std::string_view, Colour> cases[] = {
      {"CLNAVY", 0x800000},
      {"clinfobk", 0x80000018},
      {"Cl3dDkShadow", 0x80000015},
      {"$00ff8000", 0x00FF8000},
      {"$F", 0xF},
      {"$FFFFFFFF", 0xFFFFFFFF},
      {"12345", 12345},
      {"0", 0},
      {"-1", 0xFFFFFFFF},
      {"-2147483648", 0x80000000},
      {"4294967295", 0xFFFFFFFF},
  };
  for (const auto& [token, value] : cases) EXPECT_EQ(colourFromToken(token), value) << token;
}

TEST(ColourToken, RefusesEverythingElse) {
  for (const std::string_view token :
       {"", "$", "$123456789", "$12G4", " clRed", "clRed ", "cl", "clPink", "4294967296",
        "-2147483649", "12a", "0x12", "+5", "--1", "-", "$-1", "99999999999999999999", "1 2"})
    EXPECT_FALSE(colourFromToken(token).has_value()) << '"' << token << '"';
}

TEST(ColourToken, PaintsBgrValuesAndSystemColours) {
  EXPECT_EQ(rgbOf(0x00FF8000), (Rgb{0x00, 0x80, 0xFF}));
  EXPECT_EQ(rgbOf(clNavy), (Rgb{0x00, 0x00, 0x80}));
  EXPECT_EQ(rgbOf(*colourFromToken("clWindowText")), (Rgb{0, 0, 0}));
  EXPECT_EQ(rgbOf(*colourFromToken("clInfoBk")), (Rgb{0xFF, 0xFF, 0xE1}));
}

// ---- lines into paragraphs ----

TEST(ChatLine, SystemLineIsOneBlueBoldParagraphWithNothingBeforeIt) {
  ChatModel chat;
  ASSERT_TRUE(chat.addSystemLine("You are Connected."));
  ASSERT_EQ(chat.paragraphs().size(), 1u);
  const auto& p = chat.paragraphs().back();
  EXPECT_EQ(p.style, kSystemStyle);
  EXPECT_EQ(p.runs, std::vector<ChatRun>{text("You are Connected. ", kSystemStyle)});
  EXPECT_EQ(chat.styles()[kSystemStyle].colour, clBlue);
  EXPECT_TRUE(chat.styles()[kSystemStyle].bold);
}

TEST(ChatLine, ReceivedLineWithSmileyKeepsHeadWordsAndPicture) {
  ChatModel chat;
  ASSERT_TRUE(receive(chat, "3+Ann chats: hi :)#12 there|clNavy"));
  const auto& p = chat.paragraphs().back();
  EXPECT_EQ(p.style, 8);
  // The head gets its own blank before the text's blank; neighbouring words merge.
  EXPECT_EQ(p.runs,
            (std::vector<ChatRun>{text("Ann chats:  hi  ", 8), smiley(2, 8), text(" there ", 8)}));
  EXPECT_EQ(chat.styles()[8].colour, clNavy);
  EXPECT_TRUE(chat.styles()[8].bold);
}

TEST(ChatLine, ReceivedFieldsGiveStyleColourAndText) {
  struct Case {
    std::string_view fields;
    int style;
    Colour colour;
    std::string_view shown;
  };
  const Case cases[] = {
      {"2+Bob says: Good One!|clRed", 7, clRed, "Bob says:  Good One! "},
      {"1+Al chats: x|$00FF8000", 6, 0x00FF8000, "Al chats:  x "},
      {"4+Cy chats: a|b |c|clLime", 9, 0x00FF00, "Cy chats:  a|b |c "},
      {"9+Di chats: no token", 14, clRed, "Di chats:  no token "},
      {"5+Ed chats: bad|clPink", 10, clRed, "Ed chats:  bad "},
      {"6+Fay waves|clGreen", 11, clGreen, "Fay waves "},
  };
  for (const auto& c : cases) {
    ChatModel chat;
    ASSERT_TRUE(receive(chat, c.fields)) << c.fields;
    EXPECT_EQ(chat.paragraphs().back().style, c.style) << c.fields;
    EXPECT_EQ(chat.styles()[static_cast<std::size_t>(c.style)].colour, c.colour) << c.fields;
    EXPECT_EQ(shown(chat.paragraphs().back()), c.shown) << c.fields;
  }
}

TEST(ChatLine, BadSmileyCodesShowPictureZero) {
  // Every piece before a smiley adds its words, an empty one a lone blank.
  const std::pair<std::string_view, std::string_view> cases[] = {
      {":)#7x y", "A:  [0] y "},
      {":)#99", "A:  [0]"},
      {":)#10:)#27", "A:  [0] [17]"},
      {":)#28", "A:  [0]"},
      {"a:)#1", "A: a [0]"},
      {":)#", "A:  [0]"},
      {":)#\xC3\xA9\xC3\xA9z", "A:  [0]z "},  // two characters, not two bytes
  };
  for (const auto& [body, expected] : cases) {
    ChatModel chat;
    ASSERT_TRUE(chat.addlinetochat(1, "A:" + std::string(body), clBlack)) << body;
    EXPECT_EQ(shown(chat.paragraphs().back()), expected) << body;
  }
}

TEST(ChatLine, WebWordsBecomeNumberedLinks) {
  ChatModel chat;
  chat.addlinetochat(1, "Al chats: see WWW.Example.com and http:x or httpd://y", clBlack);
  const auto& runs = chat.paragraphs().back().runs;
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1], link("WWW.Example.com ", 0));
  EXPECT_EQ(runs[2], text("and http:x or httpd://y ", 6));
  EXPECT_EQ(chat.linkText(0), "WWW.Example.com ");
  EXPECT_EQ(chat.linkAddress(0), "http://WWW.Example.com");
  EXPECT_FALSE(chat.linkText(1).has_value());
  EXPECT_FALSE(chat.linkAddress(-1).has_value());
  EXPECT_FALSE(chat.linkAddress(101).has_value());
}

TEST(ChatLine, ALinkOpensItsOwnTextHoweverManyLinksCameAfter) {
  ChatModel chat;
  chat.addlinetochat(1, "Al chats: www.safe.invalid", clBlack);
  const auto safe = chat.paragraphs().back().runs.back().link;
  std::set<std::int64_t> numbers{safe};
  for (int k = 0; k < 250; ++k) {
    chat.addlinetochat(1, "Al chats: http://www.e" + std::to_string(k) + ".invalid", clBlack);
    numbers.insert(chat.paragraphs().back().runs.back().link);
  }
  EXPECT_EQ(numbers.size(), 251u) << "no number is used twice";
  EXPECT_EQ(chat.linkAddress(safe), "http://www.safe.invalid");
  EXPECT_EQ(chat.linkText(safe), "www.safe.invalid ");

  // A link that went, with its line or with the whole chat, opens nothing.
  ChatModel small(ChatLimits{.maxParagraphs = 2});
  for (int k = 0; k < 3; ++k)
    small.addlinetochat(1, "Al chats: www.s" + std::to_string(k) + ".org", clBlack);
  EXPECT_FALSE(small.linkAddress(0).has_value());
  EXPECT_EQ(small.linkAddress(2), "http://www.s2.org");
  small.clear();
  EXPECT_FALSE(small.linkAddress(2).has_value());
  small.addlinetochat(1, "Al chats: http://after.clear/", clBlack);
  EXPECT_EQ(small.paragraphs().back().runs.back().link, 3);
}

// The tables of invisible and turning characters are Unicode's, code point by code point, as
// far as this Qt knows them: the format characters (Cf), and among them the embeddings,
// overrides and isolates. A code point this Qt does not know yet may be in them already.
TEST(ChatText, InvisibleAndTurningCharactersAreUnicodesFormatCharacters) {
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // halves of pairs, no characters
    const std::string text = QStringView(QChar::fromUcs4(c)).toUtf8().toStdString();
    const bool invisible = hasInvisibleOrDirectionMark(text);
    if (QChar::category(c) == QChar::Other_NotAssigned && invisible) continue;
    ASSERT_EQ(invisible, QChar::category(c) == QChar::Other_Format)
        << std::hex << "U+" << static_cast<std::uint32_t>(c);
    const QChar::Direction direction = QChar::direction(c);
    const bool turning =
        direction == QChar::DirLRE || direction == QChar::DirRLE || direction == QChar::DirLRO ||
        direction == QChar::DirRLO || direction == QChar::DirPDF || direction == QChar::DirLRI ||
        direction == QChar::DirRLI || direction == QChar::DirFSI || direction == QChar::DirPDI;
    ASSERT_EQ(hasDirectionControl(text), turning)
        << std::hex << "U+" << static_cast<std::uint32_t>(c);
  }
}

TEST(ChatLine, AnAddressWithInvisibleOrTurningCharactersIsNoLink) {
  const std::vector<std::string> lines = {
      "Al chats: www.elgoog\u202E.com",              // right-to-left override inside
      "Al chats: \u202Ewww.example.com",             // at its start
      "Al chats: look \u202E here www.example.com",  // earlier in the line turns it too
      "Al chats: look \u2067 here www.example.com",  // an isolate
      "Al chats: http://ex\u200Bample.com",          // zero width space
      "Al chats: www.exam\u00ADple.com",             // soft hyphen
      "Al chats: www.\uFEFFexample.com",             // byte order mark
      "Al chats: www.example.com\u200F",             // right-to-left mark
  };
  for (const auto& line : lines) {
    ChatModel chat;
    chat.addlinetochat(1, line, clBlack);
    for (const auto& run : chat.paragraphs().back().runs) EXPECT_NE(run.kind, Kind::link) << line;
  }
  for (const std::string_view address :
       {"www.a\u202Eb.com", "http://a\u2066b.com", "www.a\u200Db.com", "http://\u061Cx.org"})
    EXPECT_FALSE(linkTarget(address).has_value()) << address;
  // Letters of other scripts are no trick: they show as they open.
  EXPECT_EQ(linkTarget("www.m\u00FCnchen.de"), "http://www.m\u00FCnchen.de");
  ChatModel chat;
  chat.addlinetochat(1, "Al chats: \u05E9\u05DC\u05D5\u05DD www.example.com", clBlack);
  EXPECT_EQ(chat.paragraphs().back().runs.back().kind, Kind::link);
}

TEST(ChatLine, ALineOfSixteenHundredSmileysShowsTheFirstTwoHundredAsPictures) {
  std::string line = "Al chats: ";
  for (int k = 0; k < 1630; ++k) line += ":)#10";
  ChatModel chat;
  ASSERT_TRUE(chat.addlinetochat(1, line, clBlack));
  const std::vector<ChatRun>& runs = chat.paragraphs().back().runs;
  const auto smileys = std::count_if(runs.begin(), runs.end(),
                                     [](const ChatRun& run) { return run.kind == Kind::smiley; });
  EXPECT_EQ(smileys, kMaxSmileysPerLine);
  EXPECT_EQ(runs[runs.size() - 2].kind, Kind::smiley) << "the pictures come first";
  std::string codes;
  for (int k = kMaxSmileysPerLine; k < 1630; ++k) codes += ":)#10";
  EXPECT_EQ(runs.back().text, codes + " ") << "the rest stay as typed";
}

struct Recorder : ChatObserver {
  std::vector<std::string> events;
  void paragraphAdded(const ChatParagraph& p) override {
    events.push_back("add " + std::to_string(p.serial));
  }
  void oldestDropped(std::size_t count) override {
    events.push_back("drop " + std::to_string(count));
  }
  void cleared() override { events.push_back("clear"); }
  void styleChanged(int style) override { events.push_back("style " + std::to_string(style)); }
};

TEST(ChatLine, LaterColourRecoloursThePlayersStyle) {
  ChatModel chat;
  Recorder seen;
  chat.setObserver(&seen);
  receive(chat, "3+Ann chats: one|clNavy");
  receive(chat, "3+Ann chats: two|clNavy");
  receive(chat, "3+Ann chats: three|clRed");
  EXPECT_EQ(chat.paragraphs().front().style, 8);
  EXPECT_EQ(chat.styles()[8].colour, clRed);
  EXPECT_EQ(seen.events,
            (std::vector<std::string>{"style 8", "add 1", "add 2", "style 8", "add 3"}));
}

TEST(ChatLine, MalformedNumberFieldsDropTheLine) {
  ChatModel chat;
  for (const std::string_view line : {"x+hi", "no plus", "10+hi", "-1+hi", "+hi", " 1+hi", "1 +hi"})
    EXPECT_FALSE(receive(chat, line)) << line;
  for (const int speaker : {-1, 10}) EXPECT_FALSE(chat.addlinetochat(speaker, "hi", clBlack));
  EXPECT_FALSE(receive(chat, "16+Zed chats: hi|clRed"));
  EXPECT_TRUE(chat.paragraphs().empty());
  EXPECT_EQ(chat.styles()[15].colour, clBlack);
}

TEST(ChatLine, NetworkTextIsPlainSingleLineUtf8) {
  ChatModel chat;
  chat.addlinetochat(1, "a\nb\r\tc\x7F", clBlack);
  EXPECT_EQ(shown(chat.paragraphs().back()), "a b  c  ");
  chat.addlinetochat(1, "caf\xE9", clBlack);  // Latin-1
  EXPECT_EQ(shown(chat.paragraphs().back()), "caf\xC3\xA9 ");
}

TEST(ShownText, NoLineBreaksItselfAndNoNameTurnsOrHides) {
  struct Case {
    const char* what;
    std::string text;
    std::string line;  // as displayText shows it
    std::string name;  // as shownName shows it
  };
  const std::vector<Case> cases = {
      {"C1 controls and separators",
       "a\xC2\x85"
       "b\xC2\x9B"
       "c\xE2\x80\xA8"
       "d\xE2\x80\xA9"
       "e",
       "a b c d e", "a b c d e"},
      {"Latin-1 with C1 bytes", "caf\xE9!\x85\x9B", "caf\xC3\xA9!  ", "caf\xC3\xA9!  "},
      {"an override and a mark",
       "Ann\xE2\x80\xAE"
       "dlroW\xE2\x80\x8F",
       "Ann\xE2\x80\xAE"
       "dlroW\xE2\x80\x8F",
       "AnndlroW"},
      {"invisible characters",
       "A\xE2\x80\x8B"
       "nn\xEF\xBB\xBF",
       "A\xE2\x80\x8B"
       "nn\xEF\xBB\xBF",
       "Ann"},
      {"letters of any script stay", "Zo\xC3\xAB \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
       "Zo\xC3\xAB \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
       "Zo\xC3\xAB \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(displayText(c.text), c.line);
    EXPECT_EQ(shownName(c.text), c.name);
  }
  EXPECT_EQ(shownName(std::string(50, 'x')), std::string(kMaxNameLength, 'x'));
  EXPECT_EQ(shownName(std::string(50, 'x'), 40), std::string(40, 'x'));
}

TEST(ChatLine, KeepsTheNewestParagraphsWithinItsLimits) {
  ChatModel chat({.maxParagraphs = 3, .maxWeight = 20000});
  Recorder seen;
  chat.setObserver(&seen);
  for (int k = 1; k <= 5; ++k) chat.addSystemLine("line " + std::to_string(k));
  ASSERT_EQ(chat.paragraphs().size(), 3u);
  EXPECT_EQ(chat.paragraphs().front().serial, 3u);
  EXPECT_EQ(shown(chat.paragraphs().front()), "line 3 ");
  EXPECT_EQ(std::count(seen.events.begin(), seen.events.end(), "drop 1"), 2);
  EXPECT_EQ(seen.events.back(), "drop 1");

  std::string flood = "A:";
  for (int k = 0; k < 1600; ++k) flood += ":)#10";
  chat.addlinetochat(1, flood, clBlack);  // heavier than the whole budget: it alone stays
  ASSERT_EQ(chat.paragraphs().size(), 1u);
  EXPECT_EQ(chat.paragraphs().back().serial, 6u);
  EXPECT_EQ(seen.events.back(), "drop 3");
  chat.clear();
  EXPECT_EQ(seen.events.back(), "clear");
}

// ---- links ----

TEST(ChatLinkTarget, OpensOnlyWebAddresses) {
  const std::pair<std::string_view, std::optional<std::string>> cases[] = {
      {"http://example.com/a?b=c ", "http://example.com/a?b=c"},
      {"HTTP://Example.com", "http://Example.com"},
      {"https://user@host:8080/x", "https://user@host:8080/x"},
      {"www.example.com ", "http://www.example.com"},
      {"WWW.example.com/p", "http://WWW.example.com/p"},
      {"http://[::1]/", "http://[::1]/"},
      {"foo:http://evil", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"javascript:alert('www.')", std::nullopt},
      {"/home/me/www.txt", std::nullopt},
      {"http:///etc/passwd", std::nullopt},
      {"http://", std::nullopt},
      {"www.", std::nullopt},
      {"http://a b", std::nullopt},
      {"http://a\tb", std::nullopt},
      {"www.a.com\x01", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [word, target] : cases) EXPECT_EQ(linkTarget(word), target) << word;
}

// ---- sending ----

TEST(ChatSend, InputLinesFollowTheSendRules) {
  struct Case {
    bool loggedIn;
    std::string_view input;
    std::string_view command;  // empty: nothing sent
    std::string_view text;
    std::string_view left;
  };
  const Case cases[] = {
      {true, "hello + bye", "CMD_chat", "hello + bye|clNavy", ""},
      {true, "/me waves", "CMD_action", "waves|clNavy", ""},
      {true, "/me", "CMD_action", "|clNavy", ""},
      {true, "/me\xC3\xA9x", "CMD_action", "x|clNavy", ""},
      {true, "/quit", "", "", ""},
      {true, "", "", "", ""},
      {false, "hello", "", "", "hello"},
  };
  for (const auto& c : cases) {
    ChatInput input;
    input.keyDown();
    input.edit(c.input);
    const auto message = input.sendit({c.loggedIn, 4, clNavy});
    if (c.command.empty()) {
      EXPECT_FALSE(message.has_value()) << c.input;
    } else {
      const Sent sent = decode(message);
      EXPECT_EQ(sent.command, c.command) << c.input;
      EXPECT_EQ(sent.line, (net::ChatLine{4, std::string(c.text)})) << c.input;
    }
    EXPECT_EQ(input.text(), c.left) << c.input;
  }
}

TEST(ChatSend, PlaceholderGivesWayToKeysAndSmileysButNotToPaste) {
  const ChatIdentity me{true, 2, clBlack};
  ChatInput input;
  EXPECT_TRUE(input.showsPlaceholder());
  input.keyDown();
  EXPECT_FALSE(input.sendit(me).has_value());  // Enter on the placeholder

  ChatInput smileys;
  smileys.insertSmiley(12);
  smileys.insertSmiley(9);
  EXPECT_EQ(smileys.text(), ":)#12");

  ChatInput pasted;
  pasted.paste("a\nb");
  EXPECT_EQ(pasted.text(), "<Enter Chat Here>a b");
}

TEST(ChatSend, InputLimitIsTheLongestLineThatStillArrives) {
  const std::string name(kChatNameAllowance, 'N');
  const std::string token = "clInactiveCaptionText";
  ASSERT_EQ(colourFromToken(token), 0x80000013u);
  const auto arrives = [](const std::string& message) {
    net::MessageReader reader;
    int got = 0;
    reader.feed(message, [&](std::string&&) { ++got; });
    return got == 1;
  };
  const auto relayedChat = [&](std::size_t bytes) {
    return net::to_players::chat(
        net::ChatLine{9, name + " chats: " + std::string(bytes, 'x') + "|" + token});
  };
  const auto relayedAction = [&](std::size_t bytes) {  // the input was "/me " + text
    return net::to_players::action(
        net::ChatLine{9, name + " " + std::string(bytes - 4, 'x') + "|" + token});
  };
  EXPECT_TRUE(arrives(relayedChat(kMaxChatInputBytes)));
  EXPECT_FALSE(arrives(relayedChat(kMaxChatInputBytes + 1)));
  EXPECT_TRUE(arrives(relayedAction(kMaxChatInputBytes)));

  // "é" is two bytes: a cut through it drops the whole character.
  const std::string nearlyFull(kMaxChatInputBytes - 1, 'a');
  EXPECT_EQ(fitChatInput(nearlyFull + "\xC3\xA9"), nearlyFull);
  EXPECT_EQ(fitChatInput(nearlyFull + "b\xC3\xA9").size(), kMaxChatInputBytes);
  ChatInput input;
  input.keyDown();
  input.edit(nearlyFull);
  input.paste("\xC3\xA9\xC3\xA9");
  EXPECT_EQ(input.text(), nearlyFull);
  input.insertSmiley(10);  // would not fit whole
  EXPECT_EQ(input.text(), nearlyFull);
}

TEST(ChatPhrase, LockLetsOnePhraseThroughUntilTheHundredAndFirstTick) {
  const ChatIdentity me{true, 3, clRed};
  PhraseButtons buttons;
  const Sent first = decode(buttons.click(2, me));
  EXPECT_EQ(first.command, "CMD_action");
  EXPECT_EQ(first.line, (net::ChatLine{3, "says: Good One!|clRed"}));
  EXPECT_FALSE(buttons.click(2, me).has_value());
  for (int tick = 1; tick <= 100; ++tick) buttons.tick();
  EXPECT_FALSE(buttons.click(1, me).has_value());
  buttons.tick();
  ASSERT_TRUE(buttons.open());

  buttons.setPhrase(9, "/me bows");
  EXPECT_EQ(decode(buttons.click(9, me)).line, (net::ChatLine{3, "bows|clRed"}));

  PhraseButtons idle;
  EXPECT_FALSE(idle.click(1, {false, 3, clRed}).has_value());
  EXPECT_FALSE(idle.click(10, me).has_value());
  EXPECT_TRUE(idle.open());
}

// ---- the bot and the chatter sounds ----

TEST(ChatBot, TalksInItsSoloGameOnly) {
  const std::array<std::string, 4> solo = {"Ann", "Tobo", "<Waiting>", "<Waiting>"};
  ChatModel chat;
  std::vector<int> script = {0, 1, 36};
  const RandomRange scripted = [&](int lo, int hi) {
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 36);
    const int r = script.front();
    script.erase(script.begin());
    return r;
  };
  EXPECT_FALSE(chat.tobotalk(solo, scripted));
  EXPECT_TRUE(chat.tobotalk(solo, scripted));
  EXPECT_EQ(shown(chat.paragraphs().back()), "Tobo the bot says:  My dad is cool. ");
  EXPECT_TRUE(chat.tobotalk(solo, scripted));
  EXPECT_EQ(shown(chat.paragraphs().back()), "Tobo the bot says:  The dog winkled on the bush. ");
  EXPECT_EQ(chat.paragraphs().back().style, kSystemStyle);
  EXPECT_EQ(chat.styles()[kSystemStyle].colour, kSystemColour);

  std::mt19937 engine(7);
  const RandomRange seeded = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(engine);
  };
  ChatModel many({.maxParagraphs = 10000, .maxWeight = std::size_t{1} << 30});
  int spoke = 0;
  for (int k = 0; k < 3700; ++k) spoke += many.tobotalk(solo, seeded) ? 1 : 0;
  EXPECT_NEAR(spoke, 3600, 60);  // 36 in 37
  std::set<std::string> said;
  for (const auto& p : many.paragraphs()) said.insert(shown(p));
  EXPECT_EQ(said.size(), kToboPhrases.size());

  for (const auto& seats : {std::array<std::string, 4>{"Ann", "Tobo", "Bob", "<Waiting>"},
                            std::array<std::string, 4>{"Ann", "Tobo", "<Waiting>", "Cy"},
                            std::array<std::string, 4>{"Ann", "Bob", "<Waiting>", "<Waiting>"}}) {
    ChatModel quiet;
    int draws = 0;
    for (int k = 0; k < 50; ++k)
      quiet.tobotalk(seats, [&](int, int) {
        ++draws;
        return 1;
      });
    EXPECT_EQ(draws, 0);
    EXPECT_TRUE(quiet.paragraphs().empty());
  }
}

TEST(ChatChatterSound, CaptionsFollowTheMenu) {
  EXPECT_EQ(kChatterSoundMenu.front(), "<Cancel>");
  EXPECT_EQ(chatterCaption("wave1"), "Doh");
  EXPECT_EQ(chatterCaption("WAVE20"), "Crying");
  for (const std::string_view bad : {"wave0", "wave21", "wave07", "wave", "wave-1", "sound7"})
    EXPECT_FALSE(chatterCaption(bad).has_value()) << bad;
  EXPECT_EQ(chatterSoundLine("Ann", "wave7"), "Ann: <Chatter Sound> Sneezing");
  EXPECT_FALSE(chatterSoundLine("", "wave7").has_value());
  EXPECT_FALSE(chatterSoundLine("Ann", "wave99").has_value());
}

}  // namespace
}  // namespace zp::client
