// Whole games in memory: the real table and several player windows, joined without
// sockets, with time passing only when the test says so.
#include <gtest/gtest.h>

#include "tests/client/memory_table.h"

namespace zp::client::testing {
namespace {

using board::Cell;

// Every window's board matches the table's whenever nothing is in flight.
void expectBoardsAgree(MemoryTable& t, std::initializer_list<MemoryWindow*> windows) {
  for (MemoryWindow* w : windows)
    EXPECT_EQ(w->lettersAsServer(), t.server.board().codes()) << "window of record " << w->record;
}

// The player whose turn it is picks column `a` from top to bottom (seven tiles).
void pickColumn(MemoryTable& t, MemoryWindow& w, int a) {
  for (int b = 0; b < 7; ++b) {
    w.click({a, b});
    t.pump();
  }
}

TEST(WholeGame, TwoWindowsAndALateJoinerPlayToAWinner) {
  MemoryTable t;
  MemoryWindow& ann = t.open({"Ann", "10.0.0.5", "true"});
  MemoryWindow& bo = t.open({"Bo", "127.0.0.1", "false"});
  ASSERT_EQ(ann.record, 1);
  ASSERT_EQ(bo.record, 2);
  EXPECT_EQ(ann.session.board().seat(2).name, "Bo");
  EXPECT_EQ(bo.session.board().seat(1).name, "Ann");

  ann.session.board().button_startClick();
  ann.session.gamestartStart();  // the dialog's values at creation: 500 points, 60 s, 1 shuffle
  t.pump();
  expectBoardsAgree(t, {&ann, &bo});
  EXPECT_EQ(ann.session.board().view().status, "Your Turn");
  EXPECT_EQ(bo.session.board().view().status, "Ann's Turn");

  // Ann's picks appear on Bo's board as she makes them.
  ann.click({0, 0});
  ann.click({1, 1});
  t.pump();
  EXPECT_EQ(bo.session.board().model().mark({1, 1}), board::kLatestMark);
  EXPECT_EQ(bo.session.board().model().slot(2).letter, ann.session.board().model().letter({1, 1}));
  ann.session.board().image_letter1Click(2);
  ann.session.board().button_clearClick();
  t.pump();
  EXPECT_EQ(bo.session.board().model().mark({0, 0}), board::kNoMark);

  // A seven-letter word, and the fall Ann chooses.
  pickColumn(t, ann, 3);
  ann.session.board().button_doneClick();
  t.pump();
  EXPECT_TRUE(bo.session.board().view().bonusShown);
  EXPECT_EQ(bo.session.board().seat(1).score, std::to_string(t.server.player(1).score));
  expectBoardsAgree(t, {&ann, &bo});  // the holes of the word, on every board
  ann.session.board().image_direction1Click(board::kUp);
  t.pump();
  while (t.server.game().phase == server::kWordMade) t.second();
  EXPECT_EQ(bo.session.board().view().fallDirection, board::kUp);
  expectBoardsAgree(t, {&ann, &bo});
  while (t.server.game().current == 0) t.second();

  // Bo shuffles: a whole new board and fifty seconds on the clock for everybody.
  ASSERT_EQ(t.server.game().current, 2);
  ASSERT_TRUE(bo.session.board().view().shuffleShown);
  for (int i = 0; i < 10; ++i) t.second();
  bo.session.board().button_shuffleClick();
  t.pump();
  expectBoardsAgree(t, {&ann, &bo});
  EXPECT_EQ(ann.session.board().seat(2).gauge, 0);
  EXPECT_EQ(ann.session.board().view().clock, bo.session.board().view().clock);
  EXPECT_GT(ann.session.board().view().clock, 60);

  // A late joiner is brought up to date.
  MemoryWindow& cy = t.open({"Cy", "127.0.0.1", "false"});
  EXPECT_EQ(cy.record, 3);
  expectBoardsAgree(t, {&ann, &bo, &cy});
  EXPECT_EQ(cy.session.board().seat(1).score, ann.session.board().seat(1).score);
  EXPECT_EQ(cy.session.board().seat(2).gauge, 0);
  EXPECT_EQ(cy.session.board().view().status, "Bo's turn.");

  // Everybody plays a column a turn until somebody wins.
  MemoryWindow* bySeat[4] = {&ann, &bo, &cy, nullptr};
  for (int guard = 0; guard < 5000 && t.server.game().running; ++guard) {
    const int current = t.server.game().current;
    if (current >= 1 && current <= 3 && bySeat[current - 1]->session.board().view().doneShown) {
      MemoryWindow& w = *bySeat[current - 1];
      pickColumn(t, w, guard % 7);
      w.session.board().button_doneClick();
      t.pump();
      expectBoardsAgree(t, {&ann, &bo, &cy});
    }
    t.second();
    t.pump();
    if (t.server.game().phase == server::kPause) expectBoardsAgree(t, {&ann, &bo, &cy});
  }
  ASSERT_FALSE(t.server.game().running);

  // Who won, as every window shows it, and the tallies of winner and loser.
  int winner = 1;
  for (int seat = 2; seat <= 3; ++seat)
    if (t.server.player(seat).score > t.server.player(winner).score) winner = seat;
  MemoryWindow& won = *bySeat[winner - 1];
  MemoryWindow& lost = *bySeat[winner == 1 ? 1 : 0];
  EXPECT_EQ(won.session.board().view().winnerText, "You have won the game!");
  EXPECT_EQ(lost.session.board().view().winnerText,
            t.server.player(winner).name + " has won the game!");
  EXPECT_EQ(won.tally.Cell(1, 0), "1");
  EXPECT_EQ(won.tally.Cell(2, 0), "1");
  EXPECT_EQ(lost.tally.Cell(1, 0), "1");
  EXPECT_EQ(lost.tally.Cell(2, 0), "0");
  EXPECT_NE(won.tally.Cell(3, 0), "0") << "the winner's words were counted";
  EXPECT_TRUE(ann.session.board().view().startShown) << "the host may start again";
  EXPECT_FALSE(bo.session.board().view().startShown);
  for (MemoryWindow* w : {&ann, &bo, &cy}) EXPECT_TRUE(w->boxes.empty());
}

bool saidTo(const MemoryWindow& w, std::string_view text) {
  for (const auto& p : w.session.chat().paragraphs())
    for (const auto& run : p.runs)
      if (run.text.find(text) != std::string::npos) return true;
  return false;
}

// A window whose connection drops in its own turn, letters picked, is back in its seat with
// the game as it stands; a window that leaves on purpose frees its seat at once.
TEST(WholeGame, ADroppedWindowComesBackToItsSeatAndALeaveFreesItAtOnce) {
  MemoryTable t;
  MemoryWindow& ann = t.open({"Ann", "10.0.0.5", "true"});
  MemoryWindow& bo = t.open({"Bo", "127.0.0.1", "false"});
  ann.session.gamestartStart();
  t.pump();
  pickColumn(t, ann, 2);
  ann.session.board().button_doneClick();
  t.pump();
  while (t.server.game().current != 2) t.second();
  bo.click({0, 0});
  bo.click({1, 1});
  t.pump();
  bo.session.input().keyDown();
  bo.session.input().edit("wait for me");

  t.drop(bo);
  EXPECT_TRUE(bo.session.reconnecting());
  EXPECT_TRUE(ann.session.board().seat(2).away);
  EXPECT_TRUE(saidTo(ann, "Bo lost the connection; the seat is kept for 90 seconds."));
  // The computer plays the held seat's turns meanwhile.
  for (int s = 0; s < 200 && t.server.game().current == 2; ++s) t.second();
  EXPECT_NE(t.server.game().current, 2);

  bo.session.reconnectNow();
  t.pump();
  EXPECT_FALSE(bo.session.reconnecting());
  EXPECT_EQ(bo.session.own(), 2);
  EXPECT_EQ(bo.record, 2);
  EXPECT_FALSE(ann.session.board().seat(2).away);
  EXPECT_EQ(bo.session.board().seat(2).name, "Bo");
  EXPECT_EQ(bo.session.board().seat(1).name, "Ann");
  EXPECT_EQ(bo.session.board().seat(1).score, std::to_string(t.server.player(1).score));
  EXPECT_TRUE(bo.session.board().gameOn());
  EXPECT_EQ(bo.session.board().view().turnPlayer, t.server.game().current);
  expectBoardsAgree(t, {&ann, &bo});
  EXPECT_EQ(bo.session.input().text(), "wait for me");
  EXPECT_TRUE(bo.session.isLoggedIn());
  bo.session.sendit();
  t.pump();
  EXPECT_TRUE(saidTo(ann, "wait for me")) << "what was typed while away is said once back";
  EXPECT_TRUE(saidTo(ann, "Bo is back."));
  EXPECT_TRUE(saidTo(bo, "You are back in your seat."));
  EXPECT_FALSE(saidTo(bo, "Bo is back.")) << "said to the others";
  int connectedLines = 0;
  for (const auto& p : bo.session.chat().paragraphs())
    for (const auto& run : p.runs) connectedLines += run.text.find("Ann is Connected.") == 0;
  EXPECT_EQ(connectedLines, 1) << "who was there already is not news";

  bo.session.leaveTable();
  t.pump();
  EXPECT_EQ(ann.session.board().seat(2).name, zp::kComputerName) << "freed, not held";
  EXPECT_FALSE(t.server.held(2));
  EXPECT_TRUE(bo.closed);
  EXPECT_FALSE(bo.session.reconnecting());
}

}  // namespace
}  // namespace zp::client::testing
