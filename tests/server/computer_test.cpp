// The computer player: when it plays, what it can trace and what it submits.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "server/board_letters.h"
#include "tests/server/table_harness.h"
#include "words/tdictn.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

// The host alone; entry 0 of the candidates is never tried, entry 1 is `word`. Without
// shuffles, a board it finds nothing on stays.
class Computer : public ::testing::Test {
 protected:
  explicit Computer(std::string word = "cart", int shuffles = 0)
      : t({"CART", "ABAB", "RETINAS"}, {"zzzz", std::move(word)}) {
    t.join("Ann");
    t.start(/*playTo=*/1000, /*seconds=*/30, /*team=*/false, shuffles);
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

TEST_F(Computer, TakesTheFirstNeighbourInItsFixedOrder) {
  // Three a's around the c, each with a way on to "rt". The order is below, above, left,
  // left-below, left-above, right, right-below, right-above: the a above (second) wins over
  // the one to the left (third) and the one right-below (seventh).
  t.lay("c", {{3, 3}});
  t.lay("art", {{3, 2}, {3, 1}, {2, 1}});  // above, then on
  t.lay("art", {{2, 3}, {2, 4}, {2, 5}});  // left, then on
  t.lay("art", {{4, 4}, {4, 5}, {4, 6}});  // right-below, then on
  t.seconds(5);
  const Inbox made = t.received(1, "CMD_madeword");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(made[0].ends_with("+3+3+3+2+3+1+2+1")) << made[0];
}

TEST_F(Computer, NeverStepsIntoRowZeroAfterTheFirstLetter) {
  // The only a lies directly above the c, in row 0.
  t.lay("cart", {{3, 1}, {3, 0}, {2, 0}, {1, 0}});
  t.seconds(5);
  EXPECT_TRUE(t.checker.asked.empty());
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

class ComputerWithShuffles : public Computer {
 protected:
  ComputerWithShuffles() : Computer("cart", /*shuffles=*/2) {}
};

TEST_F(ComputerWithShuffles, ShufflesWhenItFindsNothingAndPlaysOnTheNewBoardNextTick) {
  t.seconds(5);
  // Half a turn more: 34 - 5 + 15.
  EXPECT_EQ(t.received(1, "CMD_useshuffle"), Inbox{"CMD_useshuffle+2+1+44+"});
  EXPECT_EQ(t.received(1, "CMD_theboard").size(), 1u);
  EXPECT_EQ(t.server.player(2).shufflesLeft, 1);
  EXPECT_TRUE(t.checker.asked.empty());
  blank(t);
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.second();
  EXPECT_EQ(t.received(1, "CMD_madeword"), Inbox{"CMD_madeword+2+CART+6+6+0+6+1+2+1+3+1+4+2+5"});
}

TEST_F(ComputerWithShuffles, KeepsTheBoardWhenTheSeatHasNoneLeft) {
  t.server.playerForTest(2).shufflesLeft = 0;
  t.seconds(5);
  EXPECT_TRUE(t.received(1, "CMD_useshuffle").empty());
  EXPECT_TRUE(t.received(1, "CMD_theboard").empty());
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

TEST(ComputerCandidates, TriesEveryWordTheLastIncludedFromWhereverItStarts) {
  // Only the last candidate can be laid on the board; each seed starts the search elsewhere
  // in the list.
  const std::vector<std::string> candidates = {"zzzz", "quiz", "jump", "hymn", "wolf", "cart"};
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    Table t({"CART"}, candidates, seed);
    t.join("Ann");
    t.start(/*playTo=*/1000, /*seconds=*/30, /*team=*/false, /*shuffles=*/0);
    t.seconds(34 + 4);
    ASSERT_EQ(t.server.game().current, 2);
    blank(t);
    t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
    t.clearInboxes();
    t.seconds(5);
    EXPECT_EQ(t.received(1, "CMD_madeword"), Inbox{"CMD_madeword+2+CART+6+6+0+6+1+2+1+3+1+4+2+5"})
        << "seed " << seed;
  }
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

// The computer's search as plainly as it can be written: every cell in column order, the
// fixed neighbour order, the first neighbour only.
std::optional<std::vector<Cell>> plainSearch(const Board& board, const std::string& word) {
  auto letter = [&](int a, int b) { return convertoletter(board.at(a, b)); };
  for (int a = 0; a < 7; ++a) {
    for (int b = 0; b < 7; ++b) {
      if (letter(a, b) != word[0]) continue;
      std::vector<Cell> path{{a, b}};
      for (std::size_t s = 1; s < word.size(); ++s) {
        const Cell at = path.back();
        const Cell around[8] = {{at.a, at.b + 1},     {at.a, at.b - 1},     {at.a - 1, at.b},
                                {at.a - 1, at.b + 1}, {at.a - 1, at.b - 1}, {at.a + 1, at.b},
                                {at.a + 1, at.b + 1}, {at.a + 1, at.b - 1}};
        Cell next;
        for (const Cell c : around) {
          // Column 0 and row 0 are only looked into from a cell that lies in them already.
          if (c.a > 6 || c.b > 6 || (c.a < 1 && c.a != at.a) || (c.b < 1 && c.b != at.b)) continue;
          if (letter(c.a, c.b) == word[s]) {
            next = c;
            break;
          }
        }
        if (next.none() || next.a == 0 || std::find(path.begin(), path.end(), next) != path.end())
          break;
        path.push_back(next);
      }
      if (path.size() == word.size()) return path;
    }
  }
  return std::nullopt;
}

TEST(ComputerSearch, FindsWhatAPlainScanOfEveryCellFinds) {
  const std::vector<std::string>& candidates = words::carriedCandidateWords();
  ASSERT_GT(candidates.size(), 7000u);
  std::mt19937 random(2026);
  int traced = 0;
  for (int round = 0; round < 60; ++round) {
    Board board;
    for (int a = 0; a < 7; ++a) {
      for (int b = 0; b < 7; ++b) {
        // The real letter supply, a few letters only (many traces, many cells used twice),
        // and some emptied cells.
        int code = letterFromDraw(std::uniform_int_distribution<int>(1, 98)(random));
        if (round % 3 == 1) code = std::string_view("aerst")[random() % 5] - 'a' + 1;
        if (round % 3 == 2 && random() % 6 == 0) code = kEmptyCode;
        board.set(a, b, code);
      }
    }
    const BoardLetters letters(board);
    for (const std::string& word : candidates) {
      if (word.size() < 4 || word.size() > 7) continue;
      const auto expected = plainSearch(board, word);
      const auto found = letters.mayHold(word) ? letters.checkforthere(word) : std::nullopt;
      ASSERT_EQ(found, expected) << word << " in round " << round;
      traced += expected ? 1 : 0;
    }
  }
  EXPECT_GT(traced, 1000) << "the boards must give the search something to find";
}

}  // namespace
}  // namespace zp::server::testing
