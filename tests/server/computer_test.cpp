// The computer player: when it plays, what it can trace and what it submits.
#include <gtest/gtest.h>

#include "tests/server/table_harness.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

// A board of nothing but x, so only the letters a test lays can be traced.
void blank(Table& t) {
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) t.server.boardForTest().set(a, b, 'x' - 'a' + 1);
}

// The host alone; entry 0 of the candidates is never tried, entry 1 is `word`.
class Computer : public ::testing::Test {
 protected:
  explicit Computer(std::string word = "cart")
      : t({"CART", "ABAB", "RETINAS"}, {"zzzz", std::move(word)}) {
    t.join("Ann");
    t.start(/*playTo=*/1000, /*seconds=*/30);
    t.seconds(34 + 4);  // the host's turn times out; seat 2's turn starts
    EXPECT_EQ(t.server.game().current, 2);
    blank(t);
    t.clearInboxes();
  }
  Table t;
};

TEST_F(Computer, PlaysAnEmptySeatFiveTicksAfterItsTurnStarts) {
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.seconds(4);
  EXPECT_TRUE(t.received(1, "CMD_madeword").empty());
  t.second();
  EXPECT_EQ(t.received(1, "CMD_madeword"), Inbox{"CMD_madeword+2+CART+6+6+0+6+1+2+1+3+1+4+2+5"});
  // Its words fall after two ticks, not five.
  EXPECT_EQ(t.server.game().countdown, 2);
}

TEST_F(Computer, AStartInColumnZeroIsSubmittedWithItsFirstTile) {
  t.lay("cart", {{0, 2}, {1, 2}, {1, 3}, {1, 4}});
  t.seconds(5);
  EXPECT_EQ(t.received(1, "CMD_madeword"), Inbox{"CMD_madeword+2+CART+6+6+0+6+0+2+1+2+1+3+1+4"});
}

TEST_F(Computer, NeverStepsIntoColumnZeroAfterTheFirstLetter) {
  t.lay("cart", {{1, 2}, {0, 2}, {0, 3}, {0, 4}});
  t.seconds(5);
  EXPECT_TRUE(t.checker.asked.empty());
  t.seconds(30);
  EXPECT_EQ(t.received(1, "CMD_timeup"), Inbox{"CMD_timeup+"});
}

TEST_F(Computer, AMatchDownColumnZeroFromTheStartCountsAsNone) {
  // From (0,2) the a below is found first; it lies in column 0, so the trace gives up
  // although the a at (1,2) would have led on.
  t.lay("cart", {{0, 2}, {1, 2}, {1, 3}, {1, 4}});
  t.lay("a", {{0, 3}});
  t.seconds(5);
  EXPECT_TRUE(t.checker.asked.empty());
}

TEST_F(Computer, StandsDownWhenAHumanTakesTheSeat) {
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.seconds(3);
  t.join("Bo");  // sits in seat 2
  t.seconds(2);
  EXPECT_TRUE(t.received(1, "CMD_madeword").empty());
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::computertimer));
}

class ComputerAbandons : public Computer {
 protected:
  ComputerAbandons() : Computer("abab") {}
};

TEST_F(ComputerAbandons, ATraceThatWouldUseACellTwice) {
  // From (4,4) the b below is found, then the a it came from: given up, although (3,5)
  // would have fitted.
  t.lay("ab", {{4, 4}, {4, 5}});
  t.lay("a", {{3, 5}});
  t.seconds(5);
  EXPECT_TRUE(t.checker.asked.empty());
}

class ComputerSevenLetters : public Computer {
 protected:
  ComputerSevenLetters() : Computer("retinas") {}
};

TEST_F(ComputerSevenLetters, SubmitsAllSevenTiles) {
  t.lay("retinas", {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}});
  t.seconds(5);
  ASSERT_EQ(t.received(1, "CMD_madeword").size(), 1u);
  EXPECT_EQ(t.checker.asked, Inbox{"RETINAS"});
  EXPECT_EQ(t.received(1, "CMD_bonus"), Inbox{"CMD_bonus+2+20+"});
}

TEST(ComputerForAWatcher, PlaysTheTurnsOfAPlayerWhoJustWatches) {
  Table t({"CART"}, {"zzzz", "cart"});
  t.join("Ann");
  t.join("Bo");
  t.start(/*playTo=*/1000, /*seconds=*/30);
  t.deliver(2, net::to_server::justwatch({2, 1}));
  t.seconds(34 + 4);
  ASSERT_EQ(t.server.game().current, 2);
  blank(t);
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.clearInboxes();
  t.seconds(5);
  EXPECT_EQ(t.received(2, "CMD_madeword"), Inbox{"CMD_madeword+2+CART+6+6+0+6+1+2+1+3+1+4+2+5"});
  EXPECT_EQ(t.server.player(2).score, 6);
}

TEST(ComputerForAWatcher, TriesAnotherWordAtOnceWhenAWatchersTilesDoNotTouch) {
  Table t({"CART"}, {"zzzz", "cart"});
  t.join("Ann");
  t.start(/*playTo=*/1000, /*seconds=*/30);
  t.deliver(1, net::to_server::justwatch({1, 1}));
  blank(t);
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.clearInboxes();
  t.deliver(1, net::to_server::playerdone({1, std::vector<net::Cell>{{1, 2}, {3, 3}}}));
  EXPECT_EQ(t.received(1, "CMD_madeword"), Inbox{"CMD_madeword+1+CART+6+6+6+0+1+2+1+3+1+4+2+5"});
}

}  // namespace
}  // namespace zp::server::testing
