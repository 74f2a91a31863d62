#include "net/framing.h"

#include <gtest/gtest.h>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/fields.h"

namespace zp::net {
namespace {

std::vector<std::string> feedAll(MessageReader& reader, std::initializer_list<std::string> reads) {
  std::vector<std::string> out;
  for (const auto& bytes : reads) reader.feed(bytes, [&](std::string&& m) { out.push_back(m); });
  return out;
}

TEST(MessageReader, SplitsAtEachTerminatorInOrder) {
  MessageReader reader;
  EXPECT_EQ(feedAll(reader, {"CMD_a+1\xFF"
                             "CMD_b+2\xFF"}),
            (std::vector<std::string>{"CMD_a+1", "CMD_b+2"}));
  // Two terminators in a row queue an empty entry after the message.
  EXPECT_EQ(feedAll(reader, {"CMD_timeup+\xFF\xFF"}),
            (std::vector<std::string>{"CMD_timeup+", ""}));
}

TEST(MessageReader, JoinsAMessageSplitAcrossReads) {
  MessageReader reader;
  EXPECT_EQ(feedAll(reader, {"CMD_ch", "at+1+he",
                             "llo\xFF"
                             "CMD_x"}),
            (std::vector<std::string>{"CMD_chat+1+hello"}));
  EXPECT_EQ(reader.pendingBytes(), 5u);
  EXPECT_EQ(feedAll(reader, {"+\xFF"}), (std::vector<std::string>{"CMD_x+"}));
  EXPECT_EQ(reader.pendingBytes(), 0u);
}

TEST(MessageReader, DropsAnOverlongMessageUpToItsTerminatorOnly) {
  MessageReader reader;
  const std::string chunk(1000, 'x');
  std::vector<std::string> out;
  for (int i = 0; i < 100; ++i) {
    reader.feed(chunk, [&](std::string&& m) { out.push_back(m); });
    EXPECT_LE(reader.pendingBytes(), kMaxMessageBytes);
  }
  reader.feed(std::string("tail\xFF"
                          "CMD_ok+\xFF"),
              [&](std::string&& m) { out.push_back(m); });
  EXPECT_EQ(out, (std::vector<std::string>{"CMD_ok+"}));
  // A message of exactly the limit still gets through.
  out.clear();
  reader.feed(std::string(kMaxMessageBytes, 'y') + '\xFF',
              [&](std::string&& m) { out.push_back(m); });
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].size(), kMaxMessageBytes);
}

TEST(ReceiveQueue, SourcesTakeTurnsAndKeepTheirOwnOrder) {
  ReceiveQueue queue;
  queue.feed(1,
             "a1\xFF"
             "a2\xFF"
             "a3\xFF");
  queue.feed(2, "b1\xFF");
  std::vector<std::string> order;
  while (auto m = queue.take()) order.push_back(m->text);
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "b1", "a2", "a3"}));
  EXPECT_TRUE(queue.empty());
  EXPECT_FALSE(queue.take().has_value());
  // One taken from its source by name counts no more either.
  queue.feed(3,
             "c1\xFF"
             "c2\xFF");
  EXPECT_EQ(queue.takeFrom(3), "c1");
  EXPECT_EQ(queue.size(), 1u);
}

TEST(ReceiveQueue, BoundsEachSourceAndForgetsAClosedOne) {
  ReceiveQueue queue(InboxLimits{3});
  for (int i = 0; i < 10; ++i) queue.feed(4, "flood\xFF");
  queue.feed(4, "half");
  EXPECT_EQ(queue.waiting(4), 3u);
  EXPECT_TRUE(queue.feed(5, "polite\xFF"));
  queue.dropSource(4);
  EXPECT_EQ(queue.size(), 1u);
  EXPECT_EQ(queue.pendingBytes(4), 0u) << "the unfinished message goes too";
  auto m = queue.take();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->source, 5);
  EXPECT_FALSE(queue.feed(-1, "nobody\xFF"));
}

TEST(Inbox, AWindowsInboxKeepsEveryMessageUpToItsByteBound) {
  Inbox inbox(InboxLimits{SIZE_MAX, 1000});
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(inbox.feed("CMD_theboard+\xFF"));
  EXPECT_EQ(inbox.size(), 10u);
  EXPECT_EQ(inbox.take(), "CMD_theboard+");
  // Empty messages cost room too: a flood of terminators cannot grow it for free.
  bool ok = true;
  for (int i = 0; i < 1000 && ok; ++i) ok = inbox.feed("\xFF");
  EXPECT_FALSE(ok);
  EXPECT_TRUE(inbox.overflowed());
  EXPECT_FALSE(inbox.feed("CMD_timeup+\xFF")) << "an overflowed inbox takes nothing more";
  inbox.reset();
  EXPECT_TRUE(inbox.empty());
  EXPECT_EQ(inbox.waitingBytes(), 0u);
  EXPECT_TRUE(inbox.feed("CMD_timeup+\xFF"));
  // One message past the bound overflows it as it comes, not at the next one.
  Inbox small(InboxLimits{SIZE_MAX, 64});
  EXPECT_FALSE(small.feed(std::string(100, 'x') + "\xFF"));
  EXPECT_TRUE(small.overflowed());
}

TEST(Inbox, HasRoomUnderHalfItsBoundAndKeepsEveryMessageWhenAskedTo) {
  Inbox inbox(InboxLimits{SIZE_MAX, 1000});
  while (inbox.hasRoom()) ASSERT_TRUE(inbox.feed("CMD_theboard+\xFF"));
  EXPECT_GE(inbox.waitingBytes(), 500u);
  EXPECT_FALSE(inbox.overflowed()) << "no room is not yet too much";
  while (!inbox.hasRoom()) ASSERT_TRUE(inbox.take());
  EXPECT_LT(inbox.waitingBytes(), 500u);

  // A message too long to hold: dropped where messages may be lost, fatal where none may.
  const std::string tooLong = std::string(kMaxMessageBytes + 1, 'x') + kTerminator;
  for (const bool keepEvery : {false, true}) {
    SCOPED_TRACE(keepEvery);
    Inbox window(InboxLimits{SIZE_MAX, 1024 * 1024, keepEvery});
    EXPECT_EQ(window.feed(tooLong + "CMD_timeup+\xFF"), !keepEvery);
    EXPECT_EQ(window.overflowed(), keepEvery);
    EXPECT_EQ(window.hasRoom(), !keepEvery);
  }
}

TEST(EscapedForLog, ShowsPrintableAsciiAndEscapesEveryOtherByte) {
  const struct {
    std::string bytes;
    std::size_t limit;
    std::string shown;
  } cases[] = {
      {"CMD_chat+1+hi there~", SIZE_MAX, "CMD_chat+1+hi there~"},
      {"\x1B[31mred\x1B[0m", SIZE_MAX, "\\x1B[31mred\\x1B[0m"},
      {"fake\r\nzandupelix: line", SIZE_MAX, "fake\\x0D\\x0Azandupelix: line"},
      {std::string("a\0b", 3) + "\x7F\x80\xFF", SIZE_MAX, "a\\x00b\\x7F\\x80\\xFF"},
      {"Zo\xC3\xAB", SIZE_MAX, "Zo\\xC3\\xAB"},
      {"a\\x41", SIZE_MAX, "a\\x5Cx41"},  // a backslash never passes for an escape
      {"", SIZE_MAX, ""},
      {"abcdef", 3, "abc..."},
      {"ab\ncd", 3, "ab\\x0A..."},
      {"abc", 3, "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(escapedForLog(c.bytes, c.limit), c.shown) << c.shown;
  // Whatever comes in, only printable ASCII goes out.
  std::string every;
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  const std::string out = escapedForLog(every);
  EXPECT_EQ(out.size(), 95u - 1u + 4u * (256u - 95u + 1u));
  for (const char c : out) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << int(c);
}

TEST(FieldReader, CutsAtPlusAndLeavesTheLastFieldWhole) {
  FieldReader fields("3+-1+a+b+c");
  EXPECT_EQ(fields.nextInt(1, 9), 3);
  EXPECT_EQ(fields.nextInt(-1, 6), -1);
  EXPECT_EQ(fields.rest(), "a+b+c");
  EXPECT_EQ(fields.next(), "a");
  EXPECT_EQ(fields.next(), "b");
  EXPECT_EQ(fields.next(), "c");
  EXPECT_TRUE(fields.atEnd());
  EXPECT_FALSE(fields.next().has_value());
}

TEST(FieldReader, RejectsWhatIsNotANumberInRange) {
  // "4294967297" is 2^32 + 1: read as a wrapped 32-bit number it would be player 1.
  for (const char* bad :
       {"", "x", "1x", " 1", "+1", "--1", "-", "12345678901", "4294967297", "1000000001", "10"}) {
    FieldReader fields(bad);
    EXPECT_FALSE(fields.nextInt(0, 9).has_value()) << bad;
  }
  EXPECT_EQ(parseInt("007"), 7);
  EXPECT_EQ(parseInt("-999999999"), -999999999);
}

TEST(CommandTable, HandsTheReadMessageToTheHandlerOfItsCommandWordOnly) {
  std::vector<std::string> calls;
  CommandTable<int> table;
  table.on(cmd::chat, to_server::parseChat, [&](int from, const ChatLine& line) {
    calls.push_back(std::to_string(from) + ":" + std::to_string(line.n) + ":" + line.text);
  });
  EXPECT_EQ(table.dispatch("CMD_chat+1+a+b", 7), Dispatched::kHandled);
  EXPECT_EQ(table.dispatch("CMD_chat+x+a", 7), Dispatched::kUnreadable);
  EXPECT_EQ(table.dispatch("CMD_chat", 7), Dispatched::kNothing);      // no "+": no command word
  EXPECT_EQ(table.dispatch("", 7), Dispatched::kNothing);              // an empty entry
  EXPECT_EQ(table.dispatch("CMD_Chat+1+x", 7), Dispatched::kUnknown);  // case matters
  EXPECT_EQ(table.dispatch("CMD_chatter+1", 7), Dispatched::kUnknown);
  EXPECT_EQ(calls, (std::vector<std::string>{"7:1:a+b"}));
}

}  // namespace
}  // namespace zp::net
