// The computer's worst-case search and whole simulated games.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <set>

#include "bench/server/bench_dictionary.h"
#include "net/catalogue.h"
#include "server/table_server.h"
#include "words/tdictn.h"

namespace {

using namespace zp::server;

class QuietShell : public ServerShell {
 public:
  void send(int, std::string_view message) override { bytes += message.size(); }
  void close(int) override {}
  void moveConnection(int, int) override {}
  void startTimer(ServerTimer timer) override { running.insert(timer); }
  void stopTimer(ServerTimer timer) override { running.erase(timer); }
  void tellHost(std::string_view) override {}
  bool isRunning(ServerTimer timer) const { return running.count(timer) > 0; }
  std::set<ServerTimer> running;
  std::size_t bytes = 0;
};

class CountingChecker : public zp::words::WordChecker {
 public:
  bool checkword(std::string_view) override {
    ++asked;
    return false;
  }
  int asked = 0;
};

using zp::bench::Dictionary;

void deliver(TableServer& table, int record, const std::string& bytes) {
  table.bytesReceived(record, bytes);
  while (table.hasWaitingMessages()) table.socktimerTimer();
}

// A board on which no candidate can be traced: every search runs through the whole list.
// Columns of s, e and t, the commonest letters, in pairs: many words start here, none
// gets past the second or third letter.
void worstBoard(Board& board) {
  const char columns[7] = {'s', 's', 'x', 'x', 'q', 'q', 'j'};
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) board.set(a, b, columns[a] - 'a' + 1);
}

void BM_ComputerFullSearchNothingTraces(benchmark::State& state) {
  QuietShell shell;
  CountingChecker checker;
  TableServer table(shell, checker, zp::words::carriedCandidateWords(), 1);
  table.connectionAccepted(table.chooseRecord());
  deliver(table, 1, zp::net::to_server::logininfo({1, "1.0.15", "Ann"}));
  deliver(table, 1, zp::net::to_server::startgame({"Ann", 500, 60, false, 0}));
  deliver(table, 1, zp::net::to_server::justwatch({1, 1}));
  worstBoard(table.boardForTest());
  for (int i = 0; i < 5; ++i) table.computertimerTimer();  // the delay runs out: one search
  for (auto _ : state) table.computertimerTimer();         // each later tick searches again
  if (checker.asked != 0) state.SkipWithError("a candidate was traced: not the worst case");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComputerFullSearchNothingTraces)->Unit(benchmark::kMicrosecond);

constexpr int kStallTicks = 20000;

void BM_WholeGameComputerInEverySeat(benchmark::State& state) {
  Dictionary dictionary;
  std::uint64_t seed = 1;
  std::int64_t ticks = 0, stalled = 0;
  for (auto _ : state) {
    QuietShell shell;
    TableServer table(shell, dictionary.spell, zp::words::carriedCandidateWords(), seed++);
    table.connectionAccepted(table.chooseRecord());
    deliver(table, 1, zp::net::to_server::logininfo({1, "1.0.15", "Ann"}));
    deliver(table, 1, zp::net::to_server::startgame({"Ann", 500, 60, false, 1}));
    deliver(table, 1, zp::net::to_server::justwatch({1, 1}));
    // A board the computer finds nothing on lasts for ever once both seats' shuffles are spent.
    int gameTicks = 0;
    for (; table.game().running && gameTicks < kStallTicks; ++gameTicks) {
      if (shell.isRunning(ServerTimer::Timer1)) table.Timer1Timer();
      if (shell.isRunning(ServerTimer::computertimer)) table.computertimerTimer();
    }
    ticks += gameTicks;
    stalled += table.game().running ? 1 : 0;
  }
  state.counters["games/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["ticks/game"] =
      static_cast<double>(ticks) / static_cast<double>(state.iterations());
  state.counters["stalled"] = static_cast<double>(stalled);
}
BENCHMARK(BM_WholeGameComputerInEverySeat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
