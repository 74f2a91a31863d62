// Whole games with the real dictionary and candidates, the computer in every seat.
#include <gtest/gtest.h>

#include "net/dispatch.h"
#include "net/fields.h"
#include "tests/server/table_harness.h"
#include "tests/support/temp_dir.h"
#include "words/tdictn.h"

namespace zp::server::testing {
namespace {

// Follows one player's inbox and checks what must hold after every message.
class Referee {
 public:
  explicit Referee(Table& t) : t_(t) {}

  void check() {
    auto& log = t_.shell.log;
    for (; seen_ < log.size(); ++seen_) {
      if (log[seen_].record != 1) continue;
      const std::string& m = log[seen_].text;
      const net::SplitMessage split = net::splitMessage(m);
      net::FieldReader f(split.args);
      if (split.command == net::cmd::nextplayer) {
        const int seat = *f.nextInt(1, 4);
        if (!seats.empty()) {
          EXPECT_EQ(seat, seats.back() == 1 ? 2 : 1) << "seats in order";
        }
        seats.push_back(seat);
        for (const int code : t_.server.board().codes())
          ASSERT_TRUE(code >= 1 && code <= 26) << "every cell a letter at the start of a turn";
      } else if (split.command == net::cmd::madeword) {
        const int n = *f.nextInt(1, 4);
        const std::string word(*f.next());
        const int points = *f.nextInt(0, 1 << 30);
        const int total = *f.nextInt(0, 1 << 30);
        const int teamA = *f.nextInt(0, 1 << 30);
        const int teamB = *f.nextInt(0, 1 << 30);
        sums[n] += points;
        ++words;
        EXPECT_EQ(total, sums[n]) << "a score is the sum of its words";
        EXPECT_EQ(teamA, sums[1] + sums[3]);
        EXPECT_EQ(teamB, sums[2] + sums[4]);
        EXPECT_GE(word.size(), 4u);
        EXPECT_LE(word.size(), 7u);
        int tiles = 0;
        while (f.nextInt(0, 6)) ++tiles;
        EXPECT_EQ(tiles, 2 * static_cast<int>(word.size()));
      } else if (split.command == net::cmd::winner) {
        winner = std::string(*f.next());
      }
    }
  }

  std::vector<int> seats;
  int sums[5] = {};
  int words = 0;
  std::string winner;

 private:
  Table& t_;
  std::size_t seen_ = 0;
};

class WholeGame : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(WholeGame, TheComputerPlaysEverySeatUntilAWinnerIsDeclared) {
  const zp::testing::TempDir dir;
  words::TDictn dictionary(dir / "English", words::carriedWordList());
  ASSERT_TRUE(dictionary.isOpen());
  Table t(dictionary, words::carriedCandidateWords(), GetParam());
  t.join("Ann");
  t.start(/*playTo=*/200, /*seconds=*/30, /*team=*/false, /*shuffles=*/1);
  t.deliver(1, net::to_server::justwatch({1, 1}));

  Referee referee(t);
  int ticks = 0;
  while (t.server.game().running && ticks < 20000) {
    if (t.shell.isRunning(ServerTimer::Timer1)) t.server.Timer1Timer();
    referee.check();
    if (t.shell.isRunning(ServerTimer::computertimer)) t.server.computertimerTimer();
    referee.check();
    ++ticks;
  }
  EXPECT_FALSE(t.server.game().running);
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::computertimer));
  EXPECT_FALSE(t.shell.isRunning(ServerTimer::Timer1));
  EXPECT_TRUE(referee.winner == "Ann" || referee.winner == "Tobo") << referee.winner;
  EXPECT_GT(referee.words, 3);
  const int best = std::max(referee.sums[1], referee.sums[2]);
  EXPECT_GE(best, 200);
  EXPECT_EQ(referee.seats.back(), 2) << "the game ends after a full round";
}

INSTANTIATE_TEST_SUITE_P(Seeds, WholeGame, ::testing::Values(1, 2, 3, 42, 2026));

}  // namespace
}  // namespace zp::server::testing
