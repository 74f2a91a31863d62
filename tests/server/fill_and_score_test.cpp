// The board, the word check and the scoring.
#include <gtest/gtest.h>

#include "tests/server/table_harness.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

// A host alone at a running game, holding the first turn.
class WordCheck : public ::testing::Test {
 protected:
  WordCheck() : t({"QUIZ", "STORM", "TREES", "RETINAS", "CAT", "HAH"}) {
    t.join("Ann");
    t.start(/*playTo=*/10000);
    t.clearInboxes();
  }
  void submit(std::initializer_list<Cell> cells) {
    std::vector<net::Cell> path;
    for (const Cell& c : cells) path.push_back({c.a, c.b});
    t.deliver(1, net::to_server::playerdone({1, path}));
  }
  Table t;
};

TEST_F(WordCheck, QuizOnTripleWordTripleLetterAndCentreScores132) {
  t.lay("quiz", {{3, 0}, {3, 1}, {2, 2}, {3, 3}});
  submit({{3, 0}, {3, 1}, {2, 2}, {3, 3}});
  EXPECT_EQ(t.received(1, "CMD_madeword"),
            Inbox{"CMD_madeword+1+QUIZ+132+132+132+0+3+0+3+1+2+2+3+3"});
  EXPECT_EQ(t.server.player(1).score, 132);
  for (const Cell c : {Cell{3, 0}, Cell{3, 1}, Cell{2, 2}, Cell{3, 3}})
    EXPECT_EQ(t.server.board().at(c.a, c.b), kEmptyCode);
}

TEST_F(WordCheck, APathOffTheBoardIsIgnoredWhateverTheReaderLetThrough) {
  // Off-board cells that a flat index would take for other cells: (3, 7) for (4, 0) and
  // (3, -1) for (2, 6). "cat" lies there, so reading them would score it.
  t.lay("cat", {{3, 5}, {3, 6}, {4, 0}});
  t.lay("cat", {{2, 6}, {3, 0}, {3, 1}});
  const Board before = t.server.board();
  const std::vector<std::vector<net::Cell>> paths = {
      {{3, 5}, {3, 6}, {3, 7}},
      {{3, -1}, {3, 0}, {3, 1}},
      {{6, 3}, {7, 3}, {6, 4}},
      {{0, 3}, {-1, 3}, {0, 4}},
      {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {1, 6}},  // eight tiles
  };
  for (const auto& path : paths) t.server.playerdoneForTest({1, path});
  EXPECT_TRUE(t.checker.asked.empty());
  EXPECT_TRUE(t.inbox(1).empty());
  EXPECT_EQ(t.server.player(1).score, 0);
  EXPECT_EQ(t.server.game().current, 1);
  EXPECT_EQ(t.server.board().codes(), before.codes());
  // The turn goes on: the same word on the board counts.
  t.lay("t", {{4, 6}});
  t.server.playerdoneForTest({1, {{3, 5}, {3, 6}, {4, 6}}});
  EXPECT_EQ(t.checker.asked, std::vector<std::string>{"CAT"});
  EXPECT_EQ(t.received(1, "CMD_madeword").size(), 1u);
}

TEST_F(WordCheck, AnHIsWorthThree) {
  t.lay("hah", {{5, 2}, {5, 3}, {5, 4}});  // plain squares
  submit({{5, 2}, {5, 3}, {5, 4}});
  EXPECT_EQ(t.server.player(1).score, 3 + 1 + 3);
}

TEST_F(WordCheck, StormWithTripleWordDoubleWordAndDoubleLetterScores60) {
  // S on a triple-word square, R on a double-word square, M on a double-letter corner.
  t.lay("storm", {{3, 0}, {2, 0}, {1, 0}, {1, 1}, {0, 0}});
  submit({{3, 0}, {2, 0}, {1, 0}, {1, 1}, {0, 0}});
  ASSERT_EQ(t.received(1, "CMD_madeword").size(), 1u);
  EXPECT_EQ(t.received(1, "CMD_madeword")[0].substr(0, 26), "CMD_madeword+1+STORM+60+60");
}

TEST_F(WordCheck, TwoDoubleWordTilesQuadruple) {
  t.lay("trees", {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}});
  submit({{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}});
  EXPECT_EQ(t.server.player(1).score, 20);
}

TEST_F(WordCheck, APlainSevenLetterWordScores27AndEarnsTheBonus) {
  const std::initializer_list<Cell> path{{0, 1}, {0, 2}, {1, 2}, {1, 3}, {1, 4}, {0, 4}, {0, 5}};
  t.lay("retinas", path);
  submit(path);
  EXPECT_EQ(t.server.player(1).score, 27);
  EXPECT_EQ(t.received(1, "CMD_bonus"), Inbox{"CMD_bonus+1+20+"});
  // The bonus follows the word.
  const auto& inbox = t.inbox(1);
  ASSERT_GE(inbox.size(), 2u);
  EXPECT_EQ(inbox[inbox.size() - 2].substr(0, 13), "CMD_madeword+");
}

TEST_F(WordCheck, TheSevenLetterBonusIsNotMultiplied) {
  const std::initializer_list<Cell> path{{1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {0, 4}, {0, 5}};
  t.lay("retinas", path);
  submit(path);
  EXPECT_EQ(t.server.player(1).score, 7 * 2 + 20);
}

TEST_F(WordCheck, AWatchingPlayersOwnWordFallsAfterTwoTicks) {
  t.deliver(1, net::to_server::justwatch({1, 1}));
  t.lay("cat", {{5, 2}, {5, 3}, {5, 4}});
  submit({{5, 2}, {5, 3}, {5, 4}});
  EXPECT_EQ(t.server.game().phase, kWordMade);
  EXPECT_EQ(t.server.game().countdown, 2);
}

TEST_F(WordCheck, TheHostHearsOfATileUsedTwiceOnceATurn) {
  t.lay("cat", {{4, 0}, {4, 1}, {4, 2}});
  for (int i = 0; i < 50; ++i) submit({{4, 0}, {4, 1}, {4, 0}});
  EXPECT_EQ(t.shell.hostNotices.size(), 1u);
  t.seconds(64 + 4 + 64 + 4);  // Ann's turn comes round again
  ASSERT_EQ(t.server.game().current, 1);
  submit({{4, 0}, {4, 1}, {4, 0}});
  EXPECT_EQ(t.shell.hostNotices.size(), 2u);
}

TEST_F(WordCheck, APathAcrossAnEmptyCellCarriesAStarAndIsRejected) {
  t.lay("cat", {{4, 0}, {4, 1}, {5, 0}});
  t.server.boardForTest().set(4, 1, kEmptyCode);
  submit({{4, 0}, {4, 1}, {5, 0}});
  EXPECT_EQ(t.checker.asked.back(), "C*T");
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_notvalid+1+C*T+"});
  EXPECT_EQ(t.server.game().current, 1);  // the turn goes on
}

TEST_F(WordCheck, AWordNotInTheDictionaryIsToldToItsMakerOnly) {
  t.join("Bo");
  t.clearInboxes();
  t.lay("zq", {{6, 5}, {6, 4}});
  submit({{6, 5}, {6, 4}});
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_notvalid+1+ZQ+"});
  EXPECT_TRUE(t.inbox(2).empty());
}

TEST_F(WordCheck, ATileTwiceIsDroppedWithOneNoticeToTheHost) {
  t.lay("cat", {{4, 0}, {4, 1}, {4, 2}});
  submit({{4, 0}, {4, 1}, {4, 0}});
  EXPECT_TRUE(t.inbox(1).empty());
  EXPECT_EQ(t.shell.hostNotices, Inbox{"stopping here - twice"});
  EXPECT_TRUE(t.checker.asked.empty());
}

TEST_F(WordCheck, TilesThatDoNotTouchAreDroppedSilently) {
  t.lay("cat", {{4, 0}, {4, 1}, {4, 3}});
  submit({{4, 0}, {4, 1}, {4, 3}});
  EXPECT_TRUE(t.inbox(1).empty());
  EXPECT_TRUE(t.checker.asked.empty());
  EXPECT_EQ(t.server.game().current, 1);
}

TEST_F(WordCheck, IndexesMustCountUpFromOne) {
  t.lay("cat", {{4, 0}, {4, 1}, {4, 2}});
  t.deliver(1, "CMD_playerdone+1+1+4+0+2+4+1+1+4+2\xFF");  // index 1 again: spells CAT, scores two
  t.deliver(1, "CMD_playerdone+1+2+4+0+3+4+1\xFF");
  t.deliver(1, "CMD_playerdone+1+\xFF");
  EXPECT_TRUE(t.checker.asked.empty());
  EXPECT_TRUE(t.inbox(1).empty());
}

TEST_F(WordCheck, AfterAValidWordTheTurnIsOverForFurtherWords) {
  t.lay("cat", {{5, 2}, {5, 3}, {5, 4}});
  submit({{5, 2}, {5, 3}, {5, 4}});
  EXPECT_EQ(t.server.game().current, 0);
  t.lay("cat", {{4, 0}, {4, 1}, {4, 2}});
  submit({{4, 0}, {4, 1}, {4, 2}});
  EXPECT_EQ(t.received(1, "CMD_madeword").size(), 1u);
  EXPECT_EQ(t.server.player(1).score, 5);
}

TEST_F(WordCheck, TeamTotalsGrowInAnIndividualGameToo) {
  t.lay("cat", {{5, 2}, {5, 3}, {5, 4}});
  submit({{5, 2}, {5, 3}, {5, 4}});
  EXPECT_EQ(t.server.game().teamTotals[0], 5);
  EXPECT_EQ(t.received(1, "CMD_madeword")[0], "CMD_madeword+1+CAT+5+5+5+0+5+2+5+3+5+4");
}

TEST(Board, LettersOfCodes) {
  EXPECT_EQ(convertoletter(26), 'z');
  EXPECT_EQ(convertoletter(kEmptyCode), '*');
  EXPECT_EQ(convertoletter(0), 't');
}

TEST(Board, TheLetterSupplyCoversEveryDrawWithTheTablesChances) {
  std::array<int, 27> count{};
  for (int r = 1; r <= 98; ++r) ++count[static_cast<std::size_t>(letterFromDraw(r))];
  EXPECT_EQ(count[1], 9);   // a
  EXPECT_EQ(count[5], 12);  // e
  EXPECT_EQ(count[17], 1);  // q
  EXPECT_EQ(count[22], 2);  // v
  EXPECT_EQ(count[26], 1);  // z
  EXPECT_EQ(count[0], 0);
  EXPECT_EQ(letterFromDraw(98), 26);
}

}  // namespace
}  // namespace zp::server::testing
