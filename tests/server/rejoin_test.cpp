// A seat held for a player whose connection dropped, and the player who comes back to it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/server/table_harness.h"

namespace zp::server::testing {

using Inbox = std::vector<std::string>;

namespace {

const std::string kLost = "CMD_chat+0+Ann lost the connection; the seat is kept for 90 seconds.";
const std::string kBack = "CMD_chat+0+Ann is back.";

// The last token the table handed a record.
std::string tokenOf(Table& t, int record) {
  const auto tokens = t.received(record, net::cmd::rejointoken);
  if (tokens.empty()) return {};
  const auto m = net::to_players::parseRejoinToken(
      std::string_view(tokens.back()).substr(net::cmd::rejointoken.size() + 1));
  return m ? m->token : std::string();
}

bool contains(const Inbox& inbox, const std::string& message) {
  return std::find(inbox.begin(), inbox.end(), message) != inbox.end();
}

// Ann (1, the host) and Bo (2) at a game; Ann's turn, Ann with 42 points.
struct Game {
  Table t;
  std::string token;
  Game() {
    t.join("Ann");
    t.join("Bo");
    t.start();
    t.server.playerForTest(1).score = 42;
    token = tokenOf(t, 1);
    t.clearInboxes();
  }
  // A new connection that answers with CMD_rejoin; the record it was offered.
  int comeBack(const std::string& name, const std::string& withToken) {
    const int offered = t.connect();
    t.deliver(offered,
              net::to_server::rejoin({offered, std::string(zp::kGameVersion), withToken, name}));
    return offered;
  }
};

TEST(Holding, ADroppedPlayersSeatWaitsAndTheComputerPlaysItsTurns) {
  Game g;
  Table& t = g.t;
  ASSERT_EQ(g.token.size(), net::kRejoinTokenChars);
  ASSERT_EQ(t.server.game().current, 1);
  // Long enough for a whole round of 60 s turns.
  t.server.setGrace(300);
  t.drop(1);
  EXPECT_TRUE(t.server.held(1));
  EXPECT_EQ(t.inbox(2),
            (Inbox{"CMD_away+1+300+",
                   "CMD_chat+0+Ann lost the connection; the seat is kept for 300 seconds."}));
  EXPECT_TRUE(t.received(2, net::cmd::playerdisconnected).empty());
  // Name, score, team and the host's role stay with the seat.
  EXPECT_EQ(t.server.player(1).name, "Ann");
  EXPECT_EQ(t.server.player(1).score, 42);
  EXPECT_EQ(t.server.player(1).team, 1);
  EXPECT_EQ(t.server.host(), 1);
  EXPECT_TRUE(t.shell.isRunning(ServerTimer::computertimer)) << "the computer takes the turn";
  EXPECT_TRUE(t.shell.isRunning(ServerTimer::holdtimer));
  // A newcomer gets another record; the table shows the seat as still taken.
  EXPECT_EQ(t.server.chooseRecord(), 3);
  EXPECT_EQ(t.server.tableInfo().seats[0], "Ann");
  // The seat keeps its place in the turn order: its turn comes round again.
  bool againAnn = false;
  for (int s = 0; s < 299 && !againAnn; ++s) {
    const int before = t.server.game().current;
    t.second();
    againAnn = before != 1 && t.server.game().current == 1;
  }
  EXPECT_TRUE(againAnn);
  EXPECT_TRUE(t.server.held(1));
}

TEST(Holding, ThePlayerWithTheTokenComesBackToTheSameSeat) {
  Game g;
  Table& t = g.t;
  t.drop(1);
  t.seconds(30);
  t.clearInboxes();
  const int offered = g.comeBack("Ann", g.token);
  EXPECT_EQ(offered, 3);
  EXPECT_EQ(t.shell.moves, (std::vector<std::pair<int, int>>{{3, 1}}));
  EXPECT_FALSE(t.server.held(1));
  EXPECT_TRUE(t.server.player(1).connected);
  EXPECT_EQ(t.server.player(1).score, 42);
  EXPECT_EQ(t.server.host(), 1);
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::holdtimer));
  // The offered record is free again, nobody having heard of it.
  EXPECT_FALSE(t.server.player(3).connected);
  EXPECT_EQ(t.server.chooseRecord(), 3);
  EXPECT_EQ(t.received(2, net::cmd::newplayerinfo), Inbox{"CMD_newplayerinfo+1+Ann"});
  EXPECT_TRUE(contains(t.inbox(2), kBack));
  EXPECT_TRUE(contains(t.inbox(2), "CMD_away+1+0+"));
  // The returning player: a fresh token, the roster and the game as a late joiner gets it.
  const std::string fresh = tokenOf(t, 1);
  EXPECT_EQ(fresh.size(), net::kRejoinTokenChars);
  EXPECT_NE(fresh, g.token);
  EXPECT_TRUE(contains(t.inbox(1), "CMD_existingplayers+2+Bo"));
  EXPECT_TRUE(contains(t.inbox(1), "CMD_host+1+"));
  EXPECT_EQ(t.received(1, net::cmd::theboard).size(), 1u);
  ASSERT_EQ(t.received(1, net::cmd::gamestats).size(), 1u);
  EXPECT_EQ(t.received(1, net::cmd::gamestats)[0].substr(0, 20),
            "CMD_gamestats+" + std::to_string(t.server.game().current) + "+100+");
  EXPECT_EQ(t.received(1, net::cmd::shufflesl).size(), 1u);
  // And it plays on from that seat.
  t.deliver(1, net::to_server::chat({1, "hi"}));
  EXPECT_TRUE(contains(t.inbox(2), "CMD_chat+1+Ann chats: hi"));
}

TEST(Holding, WithoutTheRightTokenAComerIsANewcomer) {
  struct Case {
    const char* what;
    std::string name;
    bool plainLogin;  // CMD_logininfo, no token at all
    bool rightToken;
  };
  const Case cases[] = {
      {"the name, no token", "Ann", true, false},
      {"the name, a wrong token", "Ann", false, false},
      {"the token, another name", "Bob", false, true},
      {"the name in other case", "ann", false, true},
  };
  for (const Case& c : cases) {
    Game g;
    Table& t = g.t;
    t.drop(1);
    int record = 0;
    if (c.plainLogin) {
      record = t.join(c.name);
    } else {
      const std::string token = c.rightToken ? g.token : std::string(net::kRejoinTokenChars, 'f');
      record = g.comeBack(c.name, token);
    }
    EXPECT_EQ(record, 3) << c.what;
    EXPECT_TRUE(t.shell.moves.empty()) << c.what;
    EXPECT_TRUE(t.server.held(1)) << c.what;
    EXPECT_EQ(t.server.player(3).name, c.name) << c.what;
    EXPECT_TRUE(contains(t.inbox(2), "CMD_newplayerinfo+3+" + c.name)) << c.what;
    EXPECT_FALSE(contains(t.inbox(2), kBack)) << c.what;
    EXPECT_EQ(tokenOf(t, 3).size(), net::kRejoinTokenChars) << c.what;
  }
}

TEST(Holding, TheTokenGoesToItsOwnerAlone) {
  Game g;
  Table& t = g.t;
  t.drop(1);
  g.comeBack("Ann", g.token);
  std::vector<std::string> tokens;
  for (const auto& sent : t.shell.log)
    if (sent.text.find(g.token) != std::string::npos) tokens.push_back(sent.text);
  EXPECT_TRUE(tokens.empty()) << "handed out before the inboxes were cleared, never again";
  for (const auto& line : t.shell.newsLines) {
    EXPECT_EQ(line.find(g.token), std::string::npos) << line;
    EXPECT_EQ(line.find(tokenOf(t, 1)), std::string::npos) << line;
  }
  for (const auto& sent : t.shell.log)
    if (sent.text.rfind("CMD_rejointoken+", 0) == 0) {
      EXPECT_EQ(sent.record, 1);
    }
}

TEST(Holding, TheGraceEndsAndTheSeatIsFreedAsALeaveFreesIt) {
  Game g;
  Table& t = g.t;
  t.drop(1);
  t.seconds(89);
  EXPECT_TRUE(t.server.held(1));
  EXPECT_TRUE(t.received(2, net::cmd::playerdisconnected).empty());
  t.second();
  EXPECT_FALSE(t.server.held(1));
  EXPECT_EQ(t.received(2, net::cmd::playerdisconnected), Inbox{"CMD_playerdisconnected+1+Ann"});
  EXPECT_EQ(t.server.player(1).name, "");
  EXPECT_EQ(t.server.host(), 2) << "the role passes on";
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::holdtimer));
  EXPECT_EQ(t.server.chooseRecord(), 1);
  // The token is worth nothing now.
  t.clearInboxes();
  EXPECT_EQ(g.comeBack("Ann", g.token), 1);
  EXPECT_TRUE(t.shell.moves.empty());
  EXPECT_FALSE(contains(t.inbox(2), kBack));
}

TEST(Holding, WhatIsNotADropHoldsNothing) {
  struct Case {
    const char* what;
    int grace;
    void (*end)(Game&);
    int gone;
  };
  const Case cases[] = {
      {"goodbye", 90, [](Game& g) { g.t.deliver(2, net::to_server::goodbye({2})); }, 2},
      {"removed by the host", 90,
       [](Game& g) {
         g.t.deliver(1, net::to_server::kickhim({1, 2}));
       },
       2},
      {"no grace", 0, [](Game& g) { g.t.drop(2); }, 2},
      {"a goodbye in another's name is ignored, then the drop holds", 90,
       [](Game& g) {
         g.t.deliver(1, net::to_server::goodbye({2}));
         g.t.drop(1);
       },
       0},
      {"a spectator", 90,
       [](Game& g) {
         g.t.join("Cy");
         g.t.join("Di");
         g.t.join("Ed");
         g.t.drop(5);
       },
       5},
      {"a connection that never logged in", 90,
       [](Game& g) {
         g.t.connect();
         g.t.drop(3);
       },
       3},
  };
  for (const Case& c : cases) {
    Game g;
    g.t.server.setGrace(c.grace);
    c.end(g);
    for (int k = 1; k <= kMaxPlayer; ++k)
      EXPECT_EQ(g.t.server.held(k), c.gone == 0 && k == 1) << c.what << " " << k;
    if (c.gone != 0) {
      EXPECT_FALSE(g.t.server.player(c.gone).connected) << c.what;
      EXPECT_EQ(g.t.server.player(c.gone).name, "") << c.what;
      EXPECT_EQ(g.t.server.chooseRecord(), c.gone) << c.what;
    }
  }
}

TEST(Holding, TheHostMayFreeAHeldSeat) {
  Game g;
  Table& t = g.t;
  t.drop(2);
  ASSERT_TRUE(t.server.held(2));
  t.deliver(1, net::to_server::kickhim({1, 2}));
  EXPECT_FALSE(t.server.held(2));
  EXPECT_EQ(t.received(1, net::cmd::playerdisconnected), Inbox{"CMD_playerdisconnected+2+Bo"});
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::holdtimer));
}

TEST(Holding, AGameWhoseEveryPlayerDroppedWaitsForThemUntilTheGraceEnds) {
  Game g;
  Table& t = g.t;
  t.drop(1);
  t.drop(2);
  EXPECT_TRUE(t.server.game().running);
  t.seconds(90);
  EXPECT_FALSE(t.server.game().running);
  EXPECT_EQ(t.server.host(), 0);
  EXPECT_EQ(t.server.chooseRecord(), 1);
}

TEST(Holding, AHundredDropsAndReturnsLeaveNothingBehind) {
  Game g;
  Table& t = g.t;
  std::string token = g.token;
  for (int i = 0; i < 100; ++i) {
    t.drop(1);
    ASSERT_TRUE(t.server.held(1));
    t.clearInboxes();
    ASSERT_EQ(g.comeBack("Ann", token), 3) << i;
    ASSERT_TRUE(t.server.player(1).connected) << i;
    token = tokenOf(t, 1);
    t.second();
  }
  EXPECT_EQ(t.shell.moves.size(), 100u);
  EXPECT_EQ(t.server.recordsInUse(), 3);
  EXPECT_EQ(t.server.chooseRecord(), 3);
  EXPECT_EQ(t.server.player(1).score, 42);
  for (int k = 1; k <= kFullRecord; ++k) {
    EXPECT_EQ(t.server.waitingMessages(k), 0u) << k;
    EXPECT_EQ(t.server.pendingBytes(k), 0u) << k;
  }
}

}  // namespace
}  // namespace zp::server::testing
