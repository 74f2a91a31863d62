// Turns, time-outs, shuffles, the fall direction and the end of a game.
#include <gtest/gtest.h>

#include "tests/server/table_harness.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

// Whose turns the host saw announced, in order.
std::vector<int> turnOrder(Table& t) {
  std::vector<int> order;
  for (const auto& m : t.received(1, "CMD_nextplayer")) order.push_back(m[15] - '0');
  return order;
}

TEST(GameStart, AnnouncesOptionsThenTheBoardTwiceThenTheFirstTurn) {
  Table t;
  t.join("Ann");
  t.clearInboxes();
  t.start(300, 45, false, 3);
  const Inbox& inbox = t.inbox(1);
  ASSERT_EQ(inbox.size(), 4u);
  EXPECT_EQ(inbox[0], "CMD_startgame+Ann+300+45+f+3+");
  EXPECT_EQ(inbox[1].substr(0, 13), "CMD_theboard+");
  EXPECT_EQ(inbox[2], inbox[1]);
  EXPECT_EQ(inbox[3], "CMD_nextplayer+1+3+");
  for (const int code : t.server.board().codes()) EXPECT_TRUE(code >= 1 && code <= 26);
  EXPECT_TRUE(t.shell.isRunning(ServerTimer::Timer1));
}

TEST(Turns, AHostAloneAlternatesWithSeatTwo) {
  Table t;
  t.join("Ann");
  t.start(100, 30);
  t.seconds(4 * 38);
  EXPECT_EQ(turnOrder(t), (std::vector<int>{1, 2, 1, 2, 1}));
}

TEST(Turns, ATeamGameWithHumansInOneTwoThreeBringsInSeatFour) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.join("Cy");
  t.start(100, 30, true);
  t.seconds(4 * 38);
  EXPECT_EQ(turnOrder(t), (std::vector<int>{1, 2, 3, 4, 1}));
}

TEST(Turns, TimeOutAfterSecondsPlusFourThenTheNextTurnFourLater) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(100, 60);
  t.clearInboxes();
  t.seconds(63);
  EXPECT_TRUE(t.received(1, "CMD_timeup").empty());
  t.second();
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_timeup+"});
  t.seconds(3);
  EXPECT_TRUE(t.received(1, "CMD_nextplayer").empty());
  t.second();
  EXPECT_EQ(t.received(1, "CMD_nextplayer"), Inbox{"CMD_nextplayer+2+2+"});
  EXPECT_EQ(t.received(1, "CMD_theboard").size(), 1u);
}

TEST(Turns, AValidWordFallsAfterFiveTicksAndTheNextTurnFollowsFourLater) {
  Table t({"CAT"});
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.playWord(1, "cat", {{4, 0}, {4, 1}, {4, 2}});
  t.clearInboxes();
  t.seconds(4);
  EXPECT_TRUE(t.inbox(1).empty());
  t.second();
  ASSERT_EQ(t.inbox(1).size(), 1u);
  const int direction = t.server.game().fallDirection;
  EXPECT_EQ(t.inbox(1)[0], "CMD_moving+" + std::to_string(direction) + "+");
  t.seconds(4);
  EXPECT_EQ(t.received(1, "CMD_nextplayer"), Inbox{"CMD_nextplayer+2+2+"});
  for (const int code : t.server.board().codes()) EXPECT_TRUE(code >= 1 && code <= 26);
}

TEST(Turns, AnUnhurriedTurnNeverTimesOutAndItsFallWaitsTwentySeconds) {
  Table t({"CAT"});
  t.join("Ann");
  t.join("Bo");
  t.start(100, kUnhurriedSeconds);
  t.clearInboxes();
  t.seconds(2 * kUnhurriedSeconds);
  EXPECT_TRUE(t.received(1, "CMD_timeup").empty());
  EXPECT_TRUE(t.received(1, "CMD_nextplayer").empty());
  t.playWord(1, "cat", {{4, 0}, {4, 1}, {4, 2}});
  t.clearInboxes();
  t.seconds(kUnhurriedFallSeconds - 1);
  EXPECT_TRUE(t.received(1, "CMD_moving").empty());
  t.second();
  EXPECT_EQ(t.received(1, "CMD_moving").size(), 1u);
  // The next turn is Bo's; Bo's choice still hastens the fall.
  t.seconds(4);
  t.playWord(2, "cat", {{4, 0}, {4, 1}, {4, 2}});
  t.clearInboxes();
  t.deliver(2, net::to_server::direction({2, kDown}));
  t.seconds(2);
  EXPECT_EQ(t.received(1, "CMD_moving"), Inbox{"CMD_moving+1+"});
}

TEST(Turns, TheRefillTouchesOnlyTheEmptiedCells) {
  Table t({"CAT"});
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.playWord(1, "cat", {{4, 0}, {4, 1}, {4, 2}});
  t.deliver(1, net::to_server::direction({1, kDown}));
  t.seconds(2);  // the fall
  const Board fallen = t.server.board();
  t.seconds(4);  // the refill
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b)
      if (fallen.at(a, b) != kEmptyCode) {
        EXPECT_EQ(t.server.board().at(a, b), fallen.at(a, b));
      }
  EXPECT_EQ(fallen.at(4, 0), kEmptyCode);
  EXPECT_EQ(fallen.at(4, 2), kEmptyCode);
  EXPECT_NE(fallen.at(4, 3), kEmptyCode);
}

TEST(Turns, OnlyTheWordsMakerChoosesTheDirection) {
  Table t({"CAT"});
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.playWord(1, "cat", {{4, 0}, {4, 1}, {4, 2}});
  const int chosen = t.server.game().fallDirection;
  const int other = chosen % 4 + 1;
  t.deliver(2, net::to_server::direction({2, other}));
  EXPECT_EQ(t.server.game().fallDirection, chosen);
  EXPECT_EQ(t.server.game().countdown, 5);
  t.deliver(1, net::to_server::direction({1, other}));
  EXPECT_EQ(t.server.game().fallDirection, other);
  EXPECT_EQ(t.server.game().countdown, 2);
}

TEST(Turns, AShuffleExtendsTheTurnByHalfAndRenewsTheBoard) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(100, 45, false, 1);
  t.seconds(10);
  t.clearInboxes();
  t.deliver(2, net::to_server::shuffle({2}));  // not Bo's turn
  EXPECT_TRUE(t.inbox(1).empty());
  t.deliver(1, net::to_server::shuffle({1}));
  ASSERT_EQ(t.inbox(1).size(), 2u);
  EXPECT_EQ(t.inbox(1)[0], "CMD_useshuffle+1+0+61+");  // 49 - 10 + 22
  EXPECT_EQ(t.inbox(1)[1].substr(0, 13), "CMD_theboard+");
  t.deliver(1, net::to_server::shuffle({1}));  // none left
  EXPECT_EQ(t.inbox(1).size(), 2u);
}

TEST(Turns, SelectionsAreRelayedToTheOthersFromTheTurnHolderOnly) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.join("Spy");
  t.start();
  t.clearInboxes();
  t.deliver(1, net::to_server::selectletter({1, 1, 3, 3}));
  t.deliver(1, net::to_server::clearletter({1, 1}));
  t.deliver(1, net::to_server::selectclear({1}));
  t.deliver(2, net::to_server::selectletter({2, 1, 0, 0}));
  const Inbox relayed{"CMD_selectletter+1+1+3+3+", "CMD_clearletter+1+1+", "CMD_selectclear+1+"};
  EXPECT_EQ(t.inbox(2), relayed);
  EXPECT_EQ(t.inbox(3), relayed);
  EXPECT_TRUE(t.inbox(1).empty());
}

TEST(Turns, ALateJoinerIsBroughtUpToDate) {
  Table t;
  t.join("Ann");
  t.start(250, 30, false, 2);
  t.seconds(3);
  t.clearInboxes();
  const int n = t.join("Late");
  const Inbox& inbox = t.inbox(n);
  ASSERT_EQ(inbox.size(), 8u);
  EXPECT_EQ(inbox[2], "CMD_existingplayers+1+Ann");
  EXPECT_EQ(inbox[3], "CMD_host+1+");
  EXPECT_EQ(inbox[4].substr(0, 13), "CMD_theboard+");
  EXPECT_EQ(inbox[5], "CMD_gamestats+1+250+30+31+f+0+0+0+0+0+0+");
  EXPECT_EQ(inbox[6], "CMD_shufflesl+2+2+2+2+");
  EXPECT_EQ(inbox[7].substr(0, 18), "CMD_rejointoken+2+");
  EXPECT_TRUE(t.received(1, "CMD_gamestats").empty());
}

TEST(GameEnd, TheWinIsTestedOnlyAtTheEndOfAFullRound) {
  Table t({"QUIZ"});
  t.join("Ann");
  t.start(/*playTo=*/100);
  t.lay("quiz", {{3, 0}, {3, 1}, {2, 2}, {3, 3}});
  t.deliver(
      1, net::to_server::playerdone({1, std::vector<net::Cell>{{3, 0}, {3, 1}, {2, 2}, {3, 3}}}));
  EXPECT_TRUE(t.server.game().running);  // seat 2 has not played this round
  t.seconds(9 + 64);                     // the fall, the pause, seat 2 times out
  EXPECT_EQ(t.received(1, "CMD_winner"), Inbox{"CMD_winner+Ann+"});
  EXPECT_FALSE(t.server.game().running);
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::Timer1));
}

TEST(GameEnd, AScoreEqualToThePlayToScoreWins) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(/*playTo=*/100);
  t.server.playerForTest(1).score = 100;
  t.server.playerForTest(2).score = 99;
  t.seconds(2 * 68);
  EXPECT_EQ(t.received(1, "CMD_winner"), Inbox{"CMD_winner+Ann+"});

  Table teams;
  teams.join("Ann");
  teams.join("Bo");
  teams.start(/*playTo=*/100, /*secondsPerTurn=*/60, /*team=*/true);
  teams.server.gameForTest().teamTotals = {99, 100};
  teams.seconds(2 * 68);
  EXPECT_EQ(teams.received(1, "CMD_winner"), Inbox{"CMD_winner+Team B+"});
}

TEST(GameEnd, ATieAtTheTopPlaysOn) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(/*playTo=*/100);
  t.server.playerForTest(1).score = 150;
  t.server.playerForTest(2).score = 150;
  t.seconds(2 * 68);
  EXPECT_TRUE(t.received(1, "CMD_winner").empty());
  EXPECT_TRUE(t.server.game().running);
  t.server.playerForTest(2).score = 151;
  t.seconds(2 * 68);
  EXPECT_EQ(t.received(1, "CMD_winner"), Inbox{"CMD_winner+Bo+"});
}

TEST(GameEnd, TheComputerWinsAsTobo) {
  Table t;
  t.join("Ann");
  t.start(/*playTo=*/50);
  t.server.playerForTest(2).score = 60;
  t.seconds(2 * 68);
  EXPECT_EQ(t.received(1, "CMD_winner"), Inbox{"CMD_winner+Tobo+"});
}

TEST(GameEnd, ATeamGameNamesTheTeamAndLeavesNoTurnOpen) {
  Table t({"QUIZ", "CAT"});
  t.join("Ann");
  t.start(/*playTo=*/100, 60, true);
  const std::vector<net::Cell> quiz{{3, 0}, {3, 1}, {2, 2}, {3, 3}};
  t.lay("quiz", {{3, 0}, {3, 1}, {2, 2}, {3, 3}});
  t.deliver(1, net::to_server::playerdone({1, quiz}));
  t.seconds(9 + 64);  // the fall, the pause, seat 2 times out: the round is complete
  EXPECT_EQ(t.received(1, "CMD_winner"), Inbox{"CMD_winner+Team A+"});
  EXPECT_EQ(t.server.game().current, 0);
  // A word sent after the end neither scores nor starts another round.
  t.playWord(1, "cat", {{4, 0}, {4, 1}, {4, 2}});
  EXPECT_EQ(t.server.player(1).score, 132);
  t.seconds(20);
  EXPECT_EQ(t.received(1, "CMD_nextplayer").size(), 2u);
}

TEST(Turns, RepeatedDirectionsCannotHoldTheTableUp) {
  Table t({"CAT"});
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.playWord(1, "cat", {{5, 2}, {5, 3}, {5, 4}});
  t.clearInboxes();
  t.deliver(1, net::to_server::direction({1, kLeft}));
  t.second();
  t.deliver(1, net::to_server::direction({1, kUp}));  // may change the way, not the time
  t.second();
  EXPECT_EQ(t.received(1, "CMD_moving"), Inbox{"CMD_moving+3+"});
  t.deliver(1, net::to_server::direction({1, kRight}));  // the tiles have fallen: too late
  EXPECT_EQ(t.server.game().countdown, 4);
  t.seconds(4);
  EXPECT_EQ(t.received(1, "CMD_nextplayer"), Inbox{"CMD_nextplayer+2+2+"});
}

TEST(Turns, ADirectionAfterATimeOutChangesNothing) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(100, 30);
  t.seconds(34);
  ASSERT_EQ(t.received(1, "CMD_timeup").size(), 1u);
  t.deliver(1, net::to_server::direction({1, kLeft}));
  EXPECT_EQ(t.server.game().countdown, 4);
  EXPECT_EQ(t.server.game().fallDirection, kDown);
}

TEST(Turns, AHumanInSeatFourBringsSeatThreeIntoATeamGame) {
  Table t;
  for (const char* name : {"Ann", "Bo", "Cy", "Dee"}) t.join(name);
  t.leave(2);
  t.leave(3);
  t.start(100, 30, true);
  t.seconds(4 * 38);
  EXPECT_EQ(turnOrder(t), (std::vector<int>{1, 2, 3, 4, 1}));
}

TEST(Turns, ATurnHoldersDepartureHandsTheTurnToTheComputer) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(100, 30);
  t.seconds(38);
  ASSERT_EQ(t.server.game().current, 2);
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::computertimer));
  t.leave(2);
  EXPECT_TRUE(t.shell.isRunning(ServerTimer::computertimer));
  EXPECT_EQ(t.server.game().computerCountdown, 5);
}

TEST(Turns, AGameStartEndsEveryonesWatching) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.deliver(2, net::to_server::justwatch({2, 1}));
  ASSERT_TRUE(t.server.player(2).watching);
  t.start();
  EXPECT_FALSE(t.server.player(2).watching);
}

TEST(GameEnd, AGameWhoseHostLeftEndsWhenTheRoundOfThoseLeftIsFull) {
  // Every seat the computer's: the host leaves, Bo only watches.
  Table t({"CART"}, {"zzzz", "cart"});
  t.join("Ann");
  t.join("Bo");
  t.start(/*playTo=*/1, /*seconds=*/30, false, /*shuffles=*/0);
  t.deliver(2, net::to_server::justwatch({2, 1}));
  t.leave(1);
  t.seconds(34 + 4);  // the host's turn runs out
  ASSERT_EQ(t.server.game().current, 2);
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) t.lay("x", {{a, b}});
  t.lay("cart", {{1, 2}, {1, 3}, {1, 4}, {2, 5}});
  t.seconds(5);
  EXPECT_EQ(t.received(2, "CMD_winner"), Inbox{"CMD_winner+Bo+"});
  EXPECT_FALSE(t.server.game().running);
}

TEST(GameEnd, EqualTeamTotalsPlayOn) {
  Table t;
  t.join("Ann");
  t.start(/*playTo=*/100, 30, true);
  t.server.gameForTest().teamTotals = {150, 150};
  t.seconds(2 * 38);
  EXPECT_TRUE(t.received(1, "CMD_winner").empty());
  t.server.gameForTest().teamTotals = {150, 151};
  t.seconds(2 * 38);
  EXPECT_EQ(t.received(1, "CMD_winner"), Inbox{"CMD_winner+Team B+"});
}

}  // namespace
}  // namespace zp::server::testing
