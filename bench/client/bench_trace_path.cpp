// Type to trace, one key press at a time: the worst over many boards is what counts, since
// one slow key press costs a frame. Each benchmark runs its boards once and reports the
// worst and mean key press in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "client/trace_path.h"
#include "server/board.h"

namespace {

using zp::board::Cell;
using zp::board::cellIndex;
using zp::board::Letters;
using zp::client::findPaths;
using zp::client::KeyboardTracer;
using zp::client::TraceAction;
using Clock = std::chrono::steady_clock;

constexpr int kBoards = 10000;

// A board as the table fills it.
Letters drawnBoard(std::mt19937& random) {
  Letters letters{};
  std::uniform_int_distribution<int> draw(1, 98);
  for (int& code : letters) code = zp::server::letterFromDraw(draw(random));
  return letters;
}

// The letters along a random path of `length` cells, each touching the one before.
std::string tracedWord(const Letters& letters, int length, std::mt19937& random) {
  for (;;) {
    std::vector<Cell> path{{static_cast<int>(random() % 7), static_cast<int>(random() % 7)}};
    while (static_cast<int>(path.size()) < length) {
      std::vector<Cell> next;
      for (int da = -1; da <= 1; ++da)
        for (int db = -1; db <= 1; ++db) {
          const Cell c{path.back().a + da, path.back().b + db};
          if (zp::board::onBoard(c) && std::ranges::find(path, c) == path.end()) next.push_back(c);
        }
      if (next.empty()) break;
      path.push_back(next[random() % next.size()]);
    }
    if (static_cast<int>(path.size()) < length) continue;
    std::string word;
    for (const Cell c : path) word += static_cast<char>('a' + letters[cellIndex(c.a, c.b)] - 1);
    return word;
  }
}

void carryOut(const std::vector<TraceAction>& actions, std::vector<Cell>& picks) {
  for (const TraceAction& act : actions) {
    if (act.kind == TraceAction::kPick) picks.push_back(act.cell);
    if (act.kind == TraceAction::kTakeBack) picks.pop_back();
    if (act.kind == TraceAction::kClear || act.kind == TraceAction::kSubmit) picks.clear();
  }
}

// Each call is timed as the least of five runs: on a shared machine a single run also
// measures whoever else had the core, and the worst over many boards would be theirs.
constexpr int kRuns = 5;

struct Worst {
  double worst = 0, total = 0;
  long count = 0;
  template <typename F>
  void time(F&& call) {
    double least = 1e300;
    for (int run = 0; run < kRuns; ++run) {
      const auto start = Clock::now();
      call();
      least =
          std::min(least, std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    worst = std::max(worst, least);
    total += least;
    ++count;
  }
  void report(benchmark::State& state, const std::string& name) const {
    state.counters[name + "_worst_us"] = worst;
    state.counters[name + "_mean_us"] = count ? total / static_cast<double>(count) : 0;
  }
};

// The word typed letter by letter as the window would pass the keys, then three Tabs.
void typeWord(const Letters& letters, const std::string& word, Worst& keys, Worst& tabs) {
  KeyboardTracer tracer;
  std::vector<Cell> picks;
  std::vector<TraceAction> actions;
  for (const char c : word) {
    keys.time([&] {
      KeyboardTracer copy = tracer;
      actions = copy.letter(c, letters, picks);
      benchmark::DoNotOptimize(actions);
    });
    carryOut(tracer.letter(c, letters, picks), picks);
  }
  for (int i = 0; i < 3; ++i) {
    tabs.time([&] {
      KeyboardTracer copy = tracer;
      actions = copy.tab(letters, picks);
      benchmark::DoNotOptimize(actions);
    });
    carryOut(tracer.tab(letters, picks), picks);
  }
}

// Each start of the word searched afresh, with nothing picked: a re-route all the way.
void searchAfresh(const Letters& letters, const std::string& word, Worst& best, Worst& list) {
  for (std::size_t n = 1; n <= word.size(); ++n) {
    const std::string_view start = std::string_view(word).substr(0, n);
    best.time([&] { benchmark::DoNotOptimize(findPaths(letters, start, {}, 1)); });
    list.time([&] {
      benchmark::DoNotOptimize(findPaths(letters, start, {}, KeyboardTracer::kMostPaths));
    });
  }
}

// The four worst times a run of boards is measured by: a key, a Tab, a search afresh for the
// best path and for up to 32 paths.
struct Measures {
  Worst keys, tabs, best, list;
  void take(const Letters& letters, const std::string& word) {
    typeWord(letters, word, keys, tabs);
    searchAfresh(letters, word, best, list);
  }
  void report(benchmark::State& state) {
    keys.report(state, "key");
    tabs.report(state, "tab");
    best.report(state, "afresh1");
    list.report(state, "afresh32");
  }
};

// The first search ever builds the board's bound table.
void BM_FirstSearch(benchmark::State& state) {
  Letters letters{};
  letters.fill(1);
  for (auto _ : state) {
    const auto start = Clock::now();
    auto found = findPaths(letters, "a", {}, 1);
    state.counters["first_us"] =
        std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_FirstSearch)->Iterations(1);

// 10,000 boards drawn as the table draws them; on each a word of 1 to 7 letters along a
// random path, typed, tabbed and searched afresh.
void BM_DrawnBoards(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::mt19937 random(7772u + static_cast<unsigned>(length));
    Measures measures;
    for (int i = 0; i < kBoards; ++i) {
      const Letters letters = drawnBoard(random);
      const std::string word = tracedWord(letters, length, random);
      measures.take(letters, word);
    }
    measures.report(state);
  }
}
BENCHMARK(BM_DrawnBoards)->DenseRange(1, 7)->Iterations(1)->Unit(benchmark::kMillisecond);

// The worst board there is: one letter on every cell, so every walk spells the word.
void BM_OneLetterBoard(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Measures measures;
    for (const char letter : std::string_view("aeqz")) {
      Letters letters{};
      letters.fill(letter - 'a' + 1);
      const std::string word(static_cast<std::size_t>(length), letter);
      for (int repeat = 0; repeat < 25; ++repeat) {
        measures.take(letters, word);
      }
    }
    measures.report(state);
  }
}
BENCHMARK(BM_OneLetterBoard)->DenseRange(1, 7)->Iterations(1)->Unit(benchmark::kMillisecond);

// Two letters at random over the board: many paths, few of them alike.
void BM_TwoLetterBoards(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::mt19937 random(98u + static_cast<unsigned>(length));
    Measures measures;
    for (int i = 0; i < kBoards / 10; ++i) {
      Letters letters{};
      for (int& code : letters) code = random() % 2 == 0 ? 1 : 5;  // a, e
      const std::string word = tracedWord(letters, length, random);
      measures.take(letters, word);
    }
    measures.report(state);
  }
}
BENCHMARK(BM_TwoLetterBoards)->DenseRange(1, 7)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
