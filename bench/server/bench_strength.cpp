// The computer's strengths: the points each scores per word on the same boards, the best any
// board holds, the worst search time of Strong and Expert, and what Expert's word list costs
// the table.
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/server/bench_dictionary.h"
#include "net/catalogue.h"
#include "net/dispatch.h"
#include "server/table_server.h"
#include "server/word_search.h"
#include "words/tdictn.h"

namespace {

using namespace zp::server;
using zp::ComputerStrength;

constexpr int kScoredBoards = 500;
constexpr int kTimedBoards = 10000;

// The real letter supply; board `n` is the same board for every strength.
Board randomBoard(std::uint64_t n) {
  std::mt19937_64 random(n);
  Board board;
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b)
      board.set(a, b, letterFromDraw(std::uniform_int_distribution<int>(1, 98)(random)));
  return board;
}

const zp::words::WordGraph& wholeList() {
  static const zp::words::WordGraph graph =
      TableServer::wordsForExpert(zp::words::carriedWordList());
  return graph;
}

// Heap in use, the large blocks malloc maps on their own included.
std::size_t heapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

long maxRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// What the table pays to start Expert: the time to build the list from the carried
// dictionary, the memory the list keeps, and how far the build raises the peak.
// Measured at the first build in the process, before any other benchmark has run, so run it
// first or alone.
struct FirstBuild {
  FirstBuild() {
    const long peakBefore = maxRssKb();
    const std::size_t heapBefore = heapInUse();
    graph = std::make_unique<zp::words::WordGraph>(
        TableServer::wordsForExpert(zp::words::carriedWordList()));
    heapHeld = heapInUse() - heapBefore;
    peakGrowth = maxRssKb() - peakBefore;
  }
  std::unique_ptr<zp::words::WordGraph> graph;
  std::size_t heapHeld = 0;
  long peakGrowth = 0;
};

void BM_ExpertWordListStart(benchmark::State& state) {
  static const FirstBuild firstBuild;
  const zp::words::WordGraph* first = firstBuild.graph.get();
  const std::size_t heapHeld = firstBuild.heapHeld;
  const long peakGrowth = firstBuild.peakGrowth;
  for (auto _ : state) {
    auto graph = TableServer::wordsForExpert(zp::words::carriedWordList());
    benchmark::DoNotOptimize(graph);
  }
  state.counters["words"] = static_cast<double>(first->wordCount());
  state.counters["nodes"] = static_cast<double>(first->nodeCount());
  state.counters["held_MB"] = static_cast<double>(heapHeld) / 1e6;
  state.counters["graph_MB"] = static_cast<double>(first->bytes()) / 1e6;
  state.counters["peak_rss_growth_MB"] = static_cast<double>(peakGrowth) / 1e3;
}
BENCHMARK(BM_ExpertWordListStart)->Unit(benchmark::kMillisecond);

class WordShell : public ServerShell {
 public:
  void send(int, std::string_view message) override {
    const zp::net::SplitMessage m = zp::net::splitMessage(message.substr(0, message.size() - 1));
    if (m.command == zp::net::cmd::madeword) made = zp::net::to_players::parseMadeWord(m.args);
  }
  void close(int) override {}
  void moveConnection(int, int) override {}
  void startTimer(ServerTimer) override {}
  void stopTimer(ServerTimer) override {}
  void tellHost(std::string_view) override {}
  std::optional<zp::net::MadeWord> made;
};

using zp::bench::Dictionary;

// The computer's word on each of the 500 boards, through the whole table: its own delay,
// its search, the dictionary's check and the table's scoring.
void BM_PointsPerComputerWord(benchmark::State& state) {
  const auto strength = static_cast<ComputerStrength>(state.range(0));
  Dictionary dictionary;
  const zp::words::WordGraph& whole = wholeList();
  double points = 0, words = 0, sevens = 0;
  for (auto _ : state) {
    points = words = sevens = 0;
    for (int n = 0; n < kScoredBoards; ++n) {
      WordShell shell;
      TableServer table(shell, dictionary.spell, zp::words::carriedCandidateWords(),
                        static_cast<std::uint64_t>(n) + 1);
      table.setComputerStrength(strength, &whole);
      table.connectionAccepted(table.chooseRecord());
      for (const std::string& m : {zp::net::to_server::logininfo({1, "1.0.15", "Ann"}),
                                   zp::net::to_server::startgame({"Ann", 5000, 60, false, 0}),
                                   zp::net::to_server::justwatch({1, 1})}) {
        table.bytesReceived(1, m);
        while (table.hasWaitingMessages()) table.socktimerTimer();
      }
      table.boardForTest() = randomBoard(static_cast<std::uint64_t>(n));
      for (int tick = 0; tick < 5; ++tick) table.computertimerTimer();
      if (!shell.made) continue;
      points += shell.made->points;
      words += 1;
      sevens += shell.made->word.size() == 7 ? 1 : 0;
    }
  }
  state.SetLabel(std::string(zp::computerStrengthName(strength)));
  state.counters["points/word"] = words > 0 ? points / words : 0;
  state.counters["words"] = words;
  state.counters["no_word"] = kScoredBoards - words;
  state.counters["sevens"] = sevens;
}
BENCHMARK(BM_PointsPerComputerWord)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

// The best word each board holds, by a search that shares nothing with the computer's but the
// scoring: every trace of up to seven cells, cut short where no word of the dictionary starts.
struct PlainBest {
  std::unordered_set<std::string> words, prefixes;
  int shortest;
  explicit PlainBest(int fewest) : shortest(fewest) {
    const std::string_view list = zp::words::carriedWordList();
    for (std::size_t at = 0; at + zp::words::kRecordSize <= list.size();
         at += zp::words::kRecordSize) {
      std::string word(list.substr(at + 1, zp::words::kRecordSize - 1));
      word.erase(word.find_last_not_of(' ') + 1);
      if (static_cast<int>(word.size()) < fewest || word.size() > 7) continue;
      for (char& c : word) c = static_cast<char>(c - 'A' + 'a');
      for (std::size_t k = 1; k <= word.size(); ++k) prefixes.insert(word.substr(0, k));
      words.insert(word);
    }
  }
  int best(const Board& board) const {
    int found = 0;
    std::vector<Cell> path;
    std::string spelled;
    auto extend = [&](auto& self, Cell c) -> void {
      if (std::find(path.begin(), path.end(), c) != path.end()) return;
      path.push_back(c);
      spelled += convertoletter(board.at(c.a, c.b));
      if (prefixes.count(spelled) != 0) {
        if (words.count(spelled) != 0) found = std::max(found, wordPoints(board, path));
        if (path.size() < 7)
          for (int da = -1; da <= 1; ++da)
            for (int db = -1; db <= 1; ++db)
              if ((da != 0 || db != 0) && zp::board::onBoard(c.a + da, c.b + db))
                self(self, Cell{c.a + da, c.b + db});
      }
      path.pop_back();
      spelled.pop_back();
    };
    for (int a = 0; a < 7; ++a)
      for (int b = 0; b < 7; ++b) extend(extend, Cell{a, b});
    return found;
  }
};

void BM_BestWordEachBoardHolds(benchmark::State& state) {
  const PlainBest plain(static_cast<int>(state.range(0)));
  double points = 0, boards = 0, expertEqual = 0;
  for (auto _ : state) {
    points = boards = expertEqual = 0;
    for (int n = 0; n < kScoredBoards; ++n) {
      const Board board = randomBoard(static_cast<std::uint64_t>(n));
      const int best = plain.best(board);
      if (best == 0) continue;
      points += best;
      boards += 1;
      const auto expert = bestTrace(board, wholeList());
      expertEqual += expert && expert->points == best ? 1 : 0;
    }
  }
  state.SetLabel(state.range(0) == 4 ? "words of 4 to 7 letters, as the computer plays"
                                     : "words of 2 to 7 letters");
  state.counters["points/word"] = boards > 0 ? points / boards : 0;
  state.counters["boards"] = boards;
  state.counters["expert_equal"] = expertEqual;
}
BENCHMARK(BM_BestWordEachBoardHolds)->Arg(4)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

// The thread's own CPU time, so another program on a shared machine does not count.
double threadMicros() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Each board's search timed three times, its fastest kept (a cache or page miss of the
// moment is not the board's); the worst and the mean over the boards.
void searchTimes(benchmark::State& state, const zp::words::WordGraph& words,
                 Board (*boardOf)(std::uint64_t), int boards) {
  double worst = 0, total = 0;
  std::uint64_t worstBoard = 0;
  for (auto _ : state) {
    worst = total = 0;
    for (int n = 0; n < boards; ++n) {
      const Board board = boardOf(1'000'000 + static_cast<std::uint64_t>(n));
      double fastest = 1e9;
      for (int run = 0; run < 3; ++run) {
        const double start = threadMicros();
        auto found = bestTrace(board, words);
        benchmark::DoNotOptimize(found);
        fastest = std::min(fastest, threadMicros() - start);
      }
      total += fastest;
      if (fastest > worst) {
        worst = fastest;
        worstBoard = static_cast<std::uint64_t>(n);
      }
    }
  }
  state.counters["worst_us"] = worst;
  state.counters["mean_us"] = total / boards;
  state.counters["worst_board"] = static_cast<double>(worstBoard);
}

void BM_StrongSearchOverRandomBoards(benchmark::State& state) {
  searchTimes(state, zp::words::WordGraph::fromWords(zp::words::carriedCandidateWords(), 4, 7),
              randomBoard, kTimedBoards);
}
BENCHMARK(BM_StrongSearchOverRandomBoards)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ExpertSearchOverRandomBoards(benchmark::State& state) {
  searchTimes(state, wholeList(), randomBoard, kTimedBoards);
}
BENCHMARK(BM_ExpertSearchOverRandomBoards)->Iterations(1)->Unit(benchmark::kMillisecond);

// Far from what the letter supply deals: nothing but the eight letters most words are made
// of, where the most traces go on.
Board commonestLetters(std::uint64_t n) {
  std::mt19937_64 random(n);
  Board board;
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b)
      board.set(a, b, std::string_view("aeinorst")[random() % 8] - 'a' + 1);
  return board;
}

void BM_ExpertSearchOverBoardsOfTheCommonestLetters(benchmark::State& state) {
  searchTimes(state, wholeList(), commonestLetters, 1000);
}
BENCHMARK(BM_ExpertSearchOverBoardsOfTheCommonestLetters)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
