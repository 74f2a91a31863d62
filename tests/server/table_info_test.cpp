// A connection that asks what the table holds instead of logging in, and one that does
// neither, with an in-memory world.
#include <gtest/gtest.h>

#include "tests/server/table_harness.h"

namespace zp::server::testing {
namespace {

using Inbox = std::vector<std::string>;

// What a lobby reads from the table's answer on `record`.
std::optional<net::TableInfo> answerOn(Table& t, int record) {
  for (const std::string& m : t.inbox(record)) {
    const net::SplitMessage split = net::splitMessage(m);
    if (split.command == net::cmd::tableinfo) return net::to_players::parseTableInfo(split.args);
  }
  return std::nullopt;
}

// Asks as a lobby does: connect, and ask at once.
std::optional<net::TableInfo> ask(Table& t, int* record = nullptr) {
  const int n = t.connect();
  if (record) *record = n;
  t.deliver(n, net::to_server::tableinfo());
  return answerOn(t, n);
}

TEST(TableInfo, AnswersWithTheSeatsAndClosesWithoutAnybodyNoticing) {
  Table t;
  t.server.setTableName("Club night");
  t.join("Ann");
  t.connect();  // record 2: connected, not logged in yet, so not a seat
  t.join("Cy");
  t.join("Dee");
  for (int watcher = 5; watcher <= 6; ++watcher) t.join("Spy" + std::to_string(watcher));
  t.clearInboxes();
  t.shell.newsLines.clear();

  int asker = 0;
  const auto info = ask(t, &asker);
  EXPECT_EQ(asker, 7);
  ASSERT_TRUE(info);
  EXPECT_EQ(*info, (net::TableInfo{"Club night",
                                   "1.0.15",
                                   false,
                                   0,
                                   0,
                                   2,
                                   {"Ann", "", "Cy", "Dee"},
                                   ComputerStrength::Classic}));
  EXPECT_EQ(t.inbox(7).back(),
            "CMD_tableinfo+Club night+1.0.15+waiting+0+0+2+Ann++Cy+Dee+classic+");
  EXPECT_EQ(t.shell.closed, std::vector<int>{7});
  EXPECT_FALSE(t.server.player(7).connected) << "its record is free at once";
  for (int seated : {1, 3, 4, 5, 6}) EXPECT_EQ(t.inbox(seated), Inbox{}) << seated;
  EXPECT_EQ(t.shell.newsLines, std::vector<std::string>{}) << "no arrival, no departure";
  // Its departure is not reported again when the shell hears of the close.
  t.leave(7);
  EXPECT_EQ(t.inbox(1), Inbox{});
  EXPECT_EQ(t.connect(), 7) << "the next comer gets the record";
}

TEST(TableInfo, DuringAGameTellsTheRulesAndWhereTheComputerPlays) {
  struct Case {
    bool team;
    std::vector<std::string> joiners;
    std::array<std::string, 4> seats;
  };
  const Case cases[] = {
      {false, {"Ann"}, {"Ann", "Tobo", "", ""}},
      {false, {"Ann", "Bo", "Cy"}, {"Ann", "Bo", "Cy", ""}},
      // In a team game the computer partners seat 3's human against seats 2 and 4.
      {true, {"Ann", "Bo", "Cy"}, {"Ann", "Bo", "Cy", "Tobo"}},
  };
  for (const Case& c : cases) {
    Table t;
    for (const auto& name : c.joiners) t.join(name);
    t.start(250, 45, c.team, 1);
    const auto info = ask(t);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->playing);
    EXPECT_EQ(info->playTo, 250);
    EXPECT_EQ(info->seconds, 45);
    EXPECT_EQ(info->seats, c.seats) << c.joiners.size() << (c.team ? " team" : "");
    EXPECT_EQ(info->name, "Ann") << "without a name of its own, the host's";
  }
}

TEST(TableInfo, OnlyTheFirstWordOfAConnectionThatHasNotLoggedInAsks) {
  Table t;
  t.join("Ann");
  t.deliver(1, net::to_server::tableinfo());
  const int late = t.connect();
  t.deliver(late, net::to_server::chat({late, "hello"}));
  t.deliver(late, net::to_server::tableinfo());
  for (int record : {1, late}) {
    EXPECT_FALSE(answerOn(t, record)) << record;
    EXPECT_TRUE(t.server.player(record).connected) << record;
  }
  EXPECT_EQ(t.shell.closed, std::vector<int>{});
}

TEST(TableInfo, AFullTableStillAnswersOnItsRefusedConnection) {
  Table t;
  t.server.setTableName("Busy");
  for (int n = 1; n <= 9; ++n) t.join("P" + std::to_string(n));
  t.start();
  t.clearInboxes();
  const auto info = ask(t);
  ASSERT_TRUE(info);
  EXPECT_EQ(t.inbox(kFullRecord).front(), "CMD_full+");
  EXPECT_EQ(info->name, "Busy");
  EXPECT_EQ(info->spectators, 5);
  EXPECT_EQ(info->seats, (std::array<std::string, 4>{"P1", "P2", "P3", "P4"}));
  EXPECT_EQ(t.shell.closed, std::vector<int>{kFullRecord});
  for (int n = 1; n <= 9; ++n) EXPECT_TRUE(t.server.player(n).connected);
  // The next refused connection is served the same way.
  t.shell.inbox.erase(kFullRecord);
  EXPECT_TRUE(ask(t));
}

// Each row: a newcomer's part over the seconds after it connects.
TEST(Greeting, AConnectionThatNeitherLogsInNorAsksIsLetGo) {
  struct Case {
    const char* what;
    int loginAfter;  // seconds; -1: never
    bool kept;
  };
  const Case cases[] = {
      {"logs in at once", 0, true},
      {"logs in within the wait", kGreetingTicks - 1, true},
      {"says nothing", -1, false},
      {"logs in too late", kGreetingTicks, false},
  };
  for (const Case& c : cases) {
    Table t;
    t.join("Ann");
    const int n = t.connect();
    for (int second = 0; second <= kGreetingTicks + 1; ++second) {
      if (second == c.loginAfter && t.server.player(n).connected)
        t.deliver(n, net::to_server::logininfo({n, "1.0.15", "Bo"}));
      t.second();
    }
    EXPECT_EQ(t.server.player(n).connected, c.kept) << c.what;
    EXPECT_EQ(t.shell.closed.size(), c.kept ? 0u : 1u) << c.what;
    EXPECT_FALSE(t.shell.isRunning(ServerTimer::logintimer)) << c.what << ": nobody waits";
  }
}

TEST(Greeting, TheRefusedConnectionIsLetGoAfterItsShortWait) {
  Table t;
  for (int n = 1; n <= 9; ++n) t.join("P" + std::to_string(n));
  t.connect();
  t.seconds(kFullGreetingTicks - 1);
  EXPECT_EQ(t.shell.closed, std::vector<int>{});
  t.second();
  EXPECT_EQ(t.shell.closed, std::vector<int>{kFullRecord});
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::logintimer));
}

}  // namespace
}  // namespace zp::server::testing
