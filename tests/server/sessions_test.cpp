// Connections, login, relays, watching and departures, with an in-memory world.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/server/table_harness.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

TEST(Accepting, NineRecordsLowestFirstThenTheTenthIsRefused) {
  Table t;
  for (int n = 1; n <= 9; ++n) {
    EXPECT_EQ(t.connect(), n);
    ASSERT_FALSE(t.inbox(n).empty());
    EXPECT_EQ(t.inbox(n).front(), "CMD_sendlogininfo+" + std::to_string(n));
  }
  EXPECT_EQ(t.connect(), kFullRecord);
  EXPECT_EQ(t.inbox(kFullRecord), Inbox{"CMD_full+"});
  // It is held only for a question about the table: its first word, or the wait, ends it.
  t.deliver(kFullRecord, net::to_server::logininfo({9, "1.0.15", "Ten"}));
  EXPECT_EQ(t.shell.closed, std::vector<int>{kFullRecord});
  EXPECT_FALSE(t.server.player(kFullRecord).connected);
  EXPECT_EQ(t.server.player(9).name, "");
  for (int n = 1; n <= 9; ++n) EXPECT_TRUE(t.server.player(n).connected);
}

TEST(Accepting, AFreedRecordIsReusedBeforeANewOne) {
  Table t;
  for (int i = 0; i < 4; ++i) t.join("p" + std::to_string(i + 1));
  t.leave(3);
  EXPECT_EQ(t.connect(), 3);
  EXPECT_EQ(t.server.recordsInUse(), 4);
  EXPECT_EQ(t.connect(), 5);
}

TEST(Login, AnnouncesToAllThenIntroducesTheConnectedOthers) {
  Table t;
  t.join("Ann");
  t.connect();  // 2, never logs in: stays in the table without a name
  t.join("Cy");
  t.leave(2);
  t.clearInboxes();
  const int n = t.join("Dee");
  EXPECT_EQ(n, 2);
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_newplayerinfo+2+Dee"});
  EXPECT_EQ(t.inbox(3), Inbox{"CMD_newplayerinfo+2+Dee"});
  EXPECT_EQ(t.inbox(2),
            (Inbox{"CMD_sendlogininfo+2", "CMD_newplayerinfo+2+Dee", "CMD_existingplayers+1+Ann",
                   "CMD_existingplayers+3+Cy", "CMD_host+1+",
                   "CMD_rejointoken+2+00000000000000000000000000000003+"}));
  EXPECT_EQ(t.server.player(2).name, "Dee");
}

TEST(Login, ADifferentVersionIsToldToBothSidesAndThePlayerStays) {
  Table t;
  t.join("Ann");
  t.clearInboxes();
  t.join("Bo", "1.0.14");
  EXPECT_EQ(t.received(1, "CMD_havewrongversion"), Inbox{"CMD_havewrongversion+Bo"});
  EXPECT_EQ(t.received(2, "CMD_wrongversion"), Inbox{"CMD_wrongversion+"});
  // After the rest of the login; only the player's token follows.
  ASSERT_GE(t.inbox(2).size(), 2u);
  EXPECT_EQ(t.inbox(2)[t.inbox(2).size() - 2], "CMD_wrongversion+");
  EXPECT_EQ(t.inbox(2).back().substr(0, 18), "CMD_rejointoken+2+");
  EXPECT_TRUE(t.server.player(2).connected);
}

TEST(Login, TheExtraTerminatorMakesOneLoginAndTheNameIsCleanedOnce) {
  Table t;
  t.connect();
  t.deliver(1, net::to_server::logininfo({1, "1.0.15", "A+B\r\n"}));
  EXPECT_EQ(t.server.player(1).name, "AB");
  EXPECT_EQ(t.received(1, "CMD_newplayerinfo"), Inbox{"CMD_newplayerinfo+1+AB"});
  // Every later message carries the cleaned name.
  t.deliver(1, net::to_server::chat({1, "hi"}));
  EXPECT_EQ(t.received(1, "CMD_chat"), Inbox{"CMD_chat+1+AB chats: hi"});
}

TEST(Relays, ChatActionAndSoundGoToEveryoneWithTheSendersName) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.clearInboxes();
  t.deliver(2, net::to_server::chat({2, "1+1=2|clNavy"}));
  t.deliver(2, net::to_server::action({2, "waves|clRed"}));
  t.deliver(2, net::to_server::playasound({2, "wave5"}));
  const Inbox expected{"CMD_chat+2+Bo chats: 1+1=2|clNavy", "CMD_action+2+Bo waves|clRed",
                       "CMD_playasound+2+wave5+"};
  EXPECT_EQ(t.inbox(1), expected);
  EXPECT_EQ(t.inbox(2), expected);
}

TEST(Relays, TheLongestChatOfTheLongestNameArrivesWholeALongerOneIsRefused) {
  Table t;
  for (int n = 1; n < kMaxPlayer; ++n) t.join("p" + std::to_string(n));
  // Forty four-byte characters: cut to the longest name the table keeps.
  std::string longName;
  for (int i = 0; i < 40; ++i) longName += "\xF0\x9F\x98\x80";
  ASSERT_EQ(t.join(longName), kMaxPlayer);
  ASSERT_EQ(t.server.player(kMaxPlayer).name.size(), static_cast<std::size_t>(kMaxNameBytes));
  t.clearInboxes();

  const std::string text = std::string(net::kMaxChatTextBytes - 7, 'x') + "|clNavy";
  ASSERT_EQ(text.size(), net::kMaxChatTextBytes);
  for (const auto& send : {net::to_server::chat, net::to_server::action}) {
    t.clearInboxes();
    t.deliver(kMaxPlayer, send({kMaxPlayer, text}));
    ASSERT_EQ(t.inbox(1).size(), 1u);
    const std::string& relayed = t.inbox(1).front();
    EXPECT_LE(relayed.size(), net::kMaxMessageBytes);
    // What the table sent reaches a reader whole.
    std::vector<std::string> read;
    net::MessageReader reader;
    reader.feed(relayed + '\xFF', [&](std::string&& m) { read.push_back(m); });
    EXPECT_EQ(read, Inbox{relayed});
    EXPECT_NE(relayed.find(text), std::string::npos);
  }

  t.clearInboxes();
  t.deliver(kMaxPlayer, net::to_server::chat({kMaxPlayer, text + "x"}));
  EXPECT_TRUE(t.inbox(1).empty()) << "a line no reader would take is not sent";
}

TEST(Relays, APlayerOverTheLimitIsCutAndToldOncePerBurst) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.clearInboxes();
  const std::string tooFast = "CMD_chat+0+" + std::string(kTooFast);
  // Chat, actions and chatter sounds share one allowance.
  for (int i = 0; i < 10; ++i) t.deliver(2, net::to_server::chat({2, "c" + std::to_string(i)}));
  for (int i = 0; i < 5; ++i) t.deliver(2, net::to_server::action({2, "waves"}));
  for (int i = 0; i < 5; ++i) t.deliver(2, net::to_server::playasound({2, "wave1"}));
  Inbox relayed;
  for (int i = 0; i < kRelayBurst; ++i)
    relayed.push_back("CMD_chat+2+Bo chats: c" + std::to_string(i));
  EXPECT_EQ(t.inbox(1), relayed);
  relayed.push_back(tooFast);
  EXPECT_EQ(t.inbox(2), relayed) << "one line to the sender, none to the others";

  // Each tick gives one back; the burst is not over, so nothing more is said.
  t.clearInboxes();
  t.server.relaytimerTimer();
  t.deliver(2, net::to_server::action({2, "waves"}));
  t.deliver(2, net::to_server::action({2, "waves again"}));
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_action+2+Bo waves"});
  EXPECT_EQ(t.inbox(2), Inbox{"CMD_action+2+Bo waves"});

  // A quiet second gives the whole burst back; a new burst over the limit is told again.
  t.clearInboxes();
  t.second();
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::relaytimer)) << "a full allowance needs no timer";
  for (int i = 0; i < kRelayBurst + 1; ++i) t.deliver(2, net::to_server::playasound({2, "wave1"}));
  EXPECT_EQ(t.received(1, "CMD_playasound").size(), static_cast<std::size_t>(kRelayBurst));
  EXPECT_EQ(t.received(2, "CMD_chat"), Inbox{tooFast});
  // Another player's allowance is their own.
  t.deliver(1, net::to_server::chat({1, "hi"}));
  EXPECT_EQ(t.received(2, "CMD_chat").back(), "CMD_chat+1+Ann chats: hi");
}

TEST(Relays, PicksMovesAndTheGamesOwnMessagesAreNeverCut) {
  Table t({"CAT"});
  t.join("Ann");
  t.join("Bo");
  t.start();
  for (int i = 0; i < kRelayBurst; ++i) t.deliver(1, net::to_server::chat({1, "busy"}));
  t.clearInboxes();
  // Far more picks and clears than the chat allowance, with no tick between them.
  for (int i = 0; i < 100; ++i) {
    t.deliver(1, net::to_server::selectletter({1, 1 + i % 7, {i % 7, 3}}));
    t.deliver(1, net::to_server::clearletter({1, 1 + i % 7}));
    t.deliver(1, net::to_server::selectclear({1}));
  }
  EXPECT_EQ(t.received(2, "CMD_selectletter").size(), 100u);
  EXPECT_EQ(t.received(2, "CMD_clearletter").size(), 100u);
  EXPECT_EQ(t.received(2, "CMD_selectclear").size(), 100u);
  // A word, its fall and the next turn go out as always.
  t.playWord(1, "cat", {{5, 2}, {5, 3}, {5, 4}});
  EXPECT_EQ(t.received(2, "CMD_madeword").size(), 1u);
  t.deliver(1, net::to_server::direction({1, kLeft}));
  t.seconds(2 + 4);
  EXPECT_EQ(t.received(2, "CMD_moving"), Inbox{"CMD_moving+2+"});
  EXPECT_EQ(t.received(2, "CMD_nextplayer").size(), 1u);
  EXPECT_TRUE(t.received(1, "CMD_chat").empty()) << "nobody was told to slow down";
}

TEST(Watching, ModeOneNeedsARunningGameModeTwoIsAlwaysRelayed) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.clearInboxes();
  t.deliver(2, net::to_server::justwatch({2, 1}));
  EXPECT_TRUE(t.inbox(1).empty());
  EXPECT_FALSE(t.server.player(2).watching);
  t.deliver(2, net::to_server::justwatch({2, 2}));
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_justwatching+2+2"});
  t.start();
  t.clearInboxes();
  t.deliver(2, net::to_server::justwatch({2, 1}));
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_justwatching+2+1"});
  EXPECT_TRUE(t.server.player(2).watching);
}

TEST(Watching, TheHostMaySwitchAnySeatOthersOnlyTheirOwnWatchersNone) {
  Table t;
  for (const char* name : {"Ann", "Bo", "Cy", "Dee", "Spy"}) t.join(name);
  t.start();
  t.deliver(1, net::to_server::justwatch({3, 1}));
  EXPECT_TRUE(t.server.player(3).watching);
  t.deliver(2, net::to_server::justwatch({4, 1}));
  EXPECT_FALSE(t.server.player(4).watching);
  t.clearInboxes();
  t.deliver(5, net::to_server::justwatch({5, 1}));
  EXPECT_TRUE(t.inbox(1).empty());
}

TEST(Watching, TheTurnHoldersSwitchHandsTheTurnToTheComputer) {
  Table t;
  t.join("Ann");
  t.start();
  ASSERT_EQ(t.server.game().current, 1);
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::computertimer));
  t.deliver(1, net::to_server::justwatch({1, 1}));
  EXPECT_TRUE(t.shell.isRunning(ServerTimer::computertimer));
  EXPECT_EQ(t.server.game().computerCountdown, 5);
}

TEST(Removal, OnlyTheHostRemovesAndOthersHearItOnce) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.join("Cy");
  t.clearInboxes();
  t.deliver(2, net::to_server::kickhim({2, 3}));
  EXPECT_TRUE(t.server.player(3).connected);
  EXPECT_TRUE(t.shell.closed.empty());
  t.deliver(1, net::to_server::kickhim({1, 3}));
  EXPECT_EQ(t.shell.closed, std::vector<int>{3});
  EXPECT_FALSE(t.server.player(3).connected);
  // The socket reports its close afterwards too.
  t.leave(3);
  EXPECT_EQ(t.received(1, "CMD_playerdisconnected"), Inbox{"CMD_playerdisconnected+3+Cy"});
  EXPECT_EQ(t.received(2, "CMD_playerdisconnected"), Inbox{"CMD_playerdisconnected+3+Cy"});
  // The removed window hears only that it is let go, so it does not try to come back.
  EXPECT_EQ(t.inbox(3), Inbox{"CMD_goodbye+3+"});
}

TEST(Departure, ReportedTwiceIsAnnouncedOnceAndClearsTheRecord) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.deliver(1, net::to_server::justwatch({2, 1}));
  t.clearInboxes();
  t.leave(2);
  t.leave(2);
  EXPECT_EQ(t.inbox(1), Inbox{"CMD_playerdisconnected+2+Bo"});
  EXPECT_EQ(t.server.player(2).name, "");
  EXPECT_FALSE(t.server.player(2).watching);
}

TEST(Departure, WhatALeaverLeftWaitingIsNotTakenForTheNextOccupant) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.clearInboxes();
  t.server.bytesReceived(2, net::to_server::chat({2, "old"}));
  t.server.bytesReceived(2, "CMD_chat+2+half");
  // The connection ends with all that still waiting, and the seat is not held.
  t.server.setGrace(0);
  t.drop(2);
  t.connect();  // record 2 again
  t.deliver(2, "|clNavy\xFF");
  t.pump();
  EXPECT_TRUE(t.received(1, "CMD_chat").empty());
}

TEST(Host, TheFirstToLogInHostsAndTheRolePassesToWhoWasHereLongest) {
  struct Case {
    const char* what;
    std::vector<std::string> arrivals;  // in order; a name of "-" connects without logging in
    std::vector<int> leaving;           // records, in order
    int host;                           // who hosts afterwards; 0: nobody
  };
  const Case cases[] = {
      // An ask or a connection that never logs in takes record 1 but never the role.
      {"a silent first connection", {"-", "Ann", "Bo"}, {}, 2},
      {"seated longest, not the lowest record", {"Ann", "Bo", "Cy"}, {1}, 2},
      {"a later arrival in a freed lower record", {"Ann", "Bo", "Cy", "Dee"}, {2, 1}, 3},
      {"seats before spectators", {"Ann", "Bo", "Cy", "Dee", "Spy5", "Spy6"}, {2, 3, 4, 1}, 5},
      {"spectator present longest", {"Ann", "Bo", "Cy", "Dee", "S5", "S6"}, {1, 2, 3, 4, 5}, 6},
      {"nobody left", {"Ann", "Bo"}, {1, 2}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Table t;
    for (const std::string& name : c.arrivals) name == "-" ? (void)t.connect() : (void)t.join(name);
    t.clearInboxes();
    for (const int record : c.leaving) t.leave(record);
    EXPECT_EQ(t.server.host(), c.host);
    if (c.host == 0 || c.leaving.empty()) continue;
    // Everybody still here hears who hosts now, once.
    for (int k = 1; k <= kMaxPlayer; ++k) {
      if (!t.server.player(k).connected || t.server.player(k).name.empty()) continue;
      EXPECT_EQ(t.received(k, "CMD_host").back(), "CMD_host+" + std::to_string(c.host) + "+") << k;
    }
  }
}

TEST(Host, OnlyTheHostStartsRemovesMutesAndChoosesTheComputer) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.join("Cy");
  t.leave(1);
  ASSERT_EQ(t.server.host(), 2);
  EXPECT_EQ(t.join("Dee"), 1) << "the newcomer takes the free record, not the role";
  t.clearInboxes();
  // Record 1 no longer has the host's powers.
  t.deliver(1, net::to_server::startgame({"Dee", 100, 60, false, 2}));
  t.deliver(1, net::to_server::kickhim({1, 3}));
  t.deliver(1, net::to_server::mute({1, 3, 5}));
  t.deliver(1, net::to_server::computer({1, ComputerStrength::Expert}));
  EXPECT_FALSE(t.server.game().running);
  EXPECT_TRUE(t.server.player(3).connected);
  EXPECT_EQ(t.server.computerStrength(), ComputerStrength::Classic);
  EXPECT_TRUE(t.received(3, "CMD_muted").empty());
  // The host has them.
  t.deliver(2, net::to_server::computer({2, ComputerStrength::Strong}));
  EXPECT_EQ(t.server.computerStrength(), ComputerStrength::Strong);
  EXPECT_EQ(t.server.tableInfo().computer, ComputerStrength::Strong);
  t.deliver(2, net::to_server::startgame({"Bo", 100, 60, false, 2}));
  EXPECT_EQ(t.received(3, "CMD_startgame"), Inbox{"CMD_startgame+Bo+100+60+f+2+"});
  t.deliver(2, net::to_server::kickhim({2, 3}));
  EXPECT_FALSE(t.server.player(3).connected);
}

TEST(Host, AMutedPlayerIsRelayedNothingUntilTheMuteEndsEvenAfterComingBack) {
  Table t;
  t.join("Ann");
  t.join("Bob");
  t.join("Cy");
  t.clearInboxes();
  t.deliver(1, net::to_server::mute({1, 2, 15}));
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(t.received(k, "CMD_muted"), Inbox{"CMD_muted+2+900+"});
  t.deliver(1, net::to_server::mute({1, 1, 15}));  // the host cannot mute itself
  EXPECT_EQ(t.received(1, "CMD_muted").size(), 1u);

  t.deliver(2, net::to_server::chat({2, "spam|clBlack"}));
  t.deliver(2, net::to_server::action({2, "waves|clBlack"}));
  t.deliver(2, net::to_server::playasound({2, "wave3"}));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_TRUE(t.received(k, "CMD_chat").empty()) << k;
    EXPECT_TRUE(t.received(k, "CMD_action").empty()) << k;
    EXPECT_TRUE(t.received(k, "CMD_playasound").empty()) << k;
  }
  // Leaving and coming back, in another case, lifts nothing; every window hears of it.
  t.leave(2);
  t.shell.now += 60;
  t.clearInboxes();
  ASSERT_EQ(t.join("BOB"), 2);
  EXPECT_EQ(t.received(1, "CMD_muted"), Inbox{"CMD_muted+2+840+"});
  t.deliver(2, net::to_server::chat({2, "again|clBlack"}));
  EXPECT_TRUE(t.received(1, "CMD_chat").empty());
  // A muted player still plays: only its words to others are held back.
  t.start();
  EXPECT_TRUE(t.server.game().running);
  // Once the time is up, or the host lifts it, the player is heard again.
  t.shell.now += 840;
  t.deliver(2, net::to_server::chat({2, "back|clBlack"}));
  EXPECT_EQ(t.received(1, "CMD_chat"), Inbox{"CMD_chat+2+BOB chats: back|clBlack"});
  t.deliver(1, net::to_server::mute({1, 3, 5}));
  t.deliver(1, net::to_server::mute({1, 3, 0}));
  EXPECT_EQ(t.received(2, "CMD_muted").back(), "CMD_muted+3+0+");
  t.deliver(3, net::to_server::chat({3, "thanks|clBlack"}));
  EXPECT_EQ(t.received(1, "CMD_chat").back(), "CMD_chat+3+Cy chats: thanks|clBlack");
}

TEST(Relays, AConnectionThatNeverLoggedInIsRelayedNothing) {
  Table t;
  t.join("Ann");
  const int stranger = t.connect();
  t.clearInboxes();
  t.deliver(stranger, net::to_server::chat({stranger, "hello|clBlack"}));
  t.deliver(stranger, net::to_server::action({stranger, "waves|clBlack"}));
  t.deliver(stranger, net::to_server::playasound({stranger, "wave1"}));
  EXPECT_EQ(t.inbox(1), Inbox{});
}

TEST(Departure, WhoTakesALeaversSeatDuringAGameStartsAfresh) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start(/*playTo=*/100, /*seconds=*/60, false, /*shuffles=*/3);
  t.server.playerForTest(1).score = 40;
  t.server.playerForTest(2).score = 70;
  t.server.playerForTest(2).shufflesLeft = 1;
  t.leave(2);
  ASSERT_EQ(t.join("Cy"), 2);
  EXPECT_EQ(t.server.player(2).score, 0);
  EXPECT_EQ(t.server.player(2).shufflesLeft, 3);
  EXPECT_EQ(t.server.player(1).score, 40);
  // What the newcomer is told agrees.
  EXPECT_EQ(t.received(2, "CMD_gamestats"), Inbox{"CMD_gamestats+1+100+60+64+f+40+0+0+0+0+0+"});
  EXPECT_EQ(t.received(2, "CMD_shufflesl"), Inbox{"CMD_shufflesl+3+3+3+3+"});
}

TEST(Departure, WhenTheLastOneLeavesTheGameEndsAndTheTableWaits) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.leave(1);
  EXPECT_TRUE(t.server.game().running) << "somebody is still here";
  t.leave(2);
  EXPECT_FALSE(t.server.game().running);
  EXPECT_EQ(t.server.game().current, 0);
  EXPECT_TRUE(t.shell.running.empty());
  t.clearInboxes();
  EXPECT_EQ(t.join("Cy"), 1);
  EXPECT_EQ(t.inbox(1), (Inbox{"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Cy", "CMD_host+1+",
                               "CMD_rejointoken+1+00000000000000000000000000000003+"}));
  t.seconds(100);
  EXPECT_EQ(t.inbox(1).size(), 4u) << "no turn goes on";
}

TEST(Spoofing, AMessageInAnothersNameIsIgnored) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start();
  t.clearInboxes();
  t.deliver(2, net::to_server::chat({1, "I am Ann"}));
  t.deliver(2, net::to_server::logininfo({1, "1.0.15", "Mallory"}));
  t.deliver(2, net::to_server::startgame({"Bo", 100, 30, false, 0}));
  t.deliver(2, net::to_server::kickhim({1, 1}));
  t.deliver(2, net::to_server::justwatch({1, 1}));
  t.deliver(2, net::to_server::shuffle({1}));
  t.deliver(2, net::to_server::selectclear({1}));
  const board::Letters before = t.server.board().codes();
  t.deliver(2, net::to_server::playerdone({1, {{0, 0}, {0, 1}}}));
  EXPECT_TRUE(t.checker.asked.empty()) << "a word in the turn holder's name is not even checked";
  EXPECT_EQ(t.server.board().codes(), before);
  EXPECT_EQ(t.server.game().current, 1);
  EXPECT_TRUE(t.inbox(1).empty());
  EXPECT_TRUE(t.inbox(2).empty());
  EXPECT_EQ(t.server.player(1).name, "Ann");
  EXPECT_TRUE(t.shell.closed.empty());
  EXPECT_FALSE(t.server.player(1).watching);
}

TEST(BadInput, OutOfRangeOrNonNumericFieldsDropTheMessageOnly) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.start();
  const Board before = t.server.board();
  t.clearInboxes();
  for (const char* bad :
       {"CMD_justwatch+11+1\xFF", "CMD_justwatch+0+1\xFF", "CMD_chat+x+hi\xFF",
        "CMD_selectletter+1+8+0+0+\xFF", "CMD_selectletter+1+1+7+0+\xFF",
        "CMD_selectletter+1+1+0+-1+\xFF", "CMD_playerdone+1+1+9+9\xFF",
        "CMD_playerdone+1+0+3+3\xFF", "CMD_playerdone+1+1+3\xFF", "CMD_direction+1+5+\xFF",
        "CMD_kickhim+1+99+\xFF", "CMD_startgame+Ann+-5+x+t+1+\xFF", "CMD_clearletter+1+0+\xFF",
        "CMD_logininfo+\xFF", "CMD_\xFF", "+\xFF", "CMD_nosuch+1\xFF"}) {
    t.deliver(1, bad);
  }
  EXPECT_TRUE(t.inbox(1).empty());
  EXPECT_TRUE(t.inbox(2).empty());
  EXPECT_TRUE(
      std::equal(before.codes().begin(), before.codes().end(), t.server.board().codes().begin()));
  EXPECT_TRUE(t.checker.asked.empty());
  EXPECT_EQ(t.server.game().current, 1);
  EXPECT_EQ(t.server.game().countdown, 64);
  EXPECT_EQ(t.server.game().fallDirection, kDown);
  EXPECT_EQ(t.server.game().playTo, 100);
  // Still serving.
  t.deliver(2, net::to_server::chat({2, "still here"}));
  EXPECT_EQ(t.received(1, "CMD_chat"), Inbox{"CMD_chat+2+Bo chats: still here"});
}

TEST(BadInput, AFloodIsBoundedAndDoesNotStarveTheOthers) {
  Table t;
  t.join("Ann");
  t.join("Bo");
  t.clearInboxes();
  const std::string garbage(64 * 1024, 'g');
  for (int i = 0; i < 100; ++i) t.server.bytesReceived(2, garbage);
  EXPECT_LE(t.server.pendingBytes(2), net::kMaxMessageBytes);
  std::string flood;
  for (int i = 0; i < 1000; ++i) flood += net::to_server::chat({2, "spam"});
  t.server.bytesReceived(2, flood);
  EXPECT_LE(t.server.waitingMessages(2), 32u);
  t.server.bytesReceived(1, net::to_server::chat({1, "hello"}));
  // The host's line is handled within two ticks, not after the whole flood.
  t.server.socktimerTimer();
  t.server.socktimerTimer();
  const auto lines = t.received(2, "CMD_chat");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "CMD_chat+1+Ann chats: hello"), lines.end());
}

}  // namespace
}  // namespace zp::server::testing
