#include "net/framing.h"

#include <gtest/gtest.h>

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
  queue.push(1, "a1");
  queue.push(1, "a2");
  queue.push(1, "a3");
  queue.push(2, "b1");
  std::vector<std::string> order;
  while (auto m = queue.take()) order.push_back(m->text);
  EXPECT_EQ(order, (std::vector<std::string>{"a1", "b1", "a2", "a3"}));
  EXPECT_TRUE(queue.empty());
  EXPECT_FALSE(queue.take().has_value());
}

TEST(ReceiveQueue, BoundsEachSourceAndForgetsAClosedOne) {
  ReceiveQueue queue(3);
  for (int i = 0; i < 10; ++i) queue.push(4, "flood");
  EXPECT_EQ(queue.waiting(4), 3u);
  EXPECT_TRUE(queue.push(5, "polite"));
  queue.dropSource(4);
  EXPECT_EQ(queue.size(), 1u);
  auto m = queue.take();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->source, 5);
  EXPECT_FALSE(queue.push(-1, "nobody"));
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
  for (const char* bad : {"", "x", "1x", " 1", "+1", "--1", "-", "12345678901", "10"}) {
    FieldReader fields(bad);
    EXPECT_FALSE(fields.nextInt(0, 9).has_value()) << bad;
  }
  EXPECT_EQ(parseInt("007"), 7);
  EXPECT_EQ(parseInt("-999999999"), -999999999);
}

TEST(CommandTable, CallsTheHandlerOfTheCommandWordOnly) {
  std::vector<std::string> calls;
  CommandTable<int> table{
      {"CMD_chat",
       [&](int from, std::string_view args) {
         calls.push_back(std::to_string(from) + ":" + std::string(args));
       }},
  };
  EXPECT_TRUE(table.dispatch("CMD_chat+1+a+b", 7));
  EXPECT_FALSE(table.dispatch("CMD_chat", 7));      // no "+": no command word
  EXPECT_FALSE(table.dispatch("", 7));              // an empty entry does nothing
  EXPECT_FALSE(table.dispatch("CMD_Chat+1+x", 7));  // case matters
  EXPECT_FALSE(table.dispatch("CMD_chatter+1", 7));
  EXPECT_EQ(calls, (std::vector<std::string>{"7:1+a+b"}));
}

}  // namespace
}  // namespace zp::net
