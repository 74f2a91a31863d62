// A whole game to 500 points in memory: the real table and two player windows, every
// message framed, queued, read and handled on both sides.
#include <benchmark/benchmark.h>

#include "tests/client/memory_table.h"

namespace {

using namespace zp::client::testing;

void BM_WholeGameTwoWindowsTo500(benchmark::State& state) {
  std::int64_t words = 0;
  for (auto _ : state) {
    MemoryTable t;
    MemoryWindow& ann = t.open({"Ann", "10.0.0.5", "true"});
    MemoryWindow& bo = t.open({"Bo", "127.0.0.1", "false"});
    ann.session.gamestartStart();
    t.pump();
    MemoryWindow* bySeat[2] = {&ann, &bo};
    for (int turn = 0; t.server.game().running && turn < 100000; ++turn) {
      const int current = t.server.game().current;
      if (current >= 1 && current <= 2 && bySeat[current - 1]->session.board().view().doneShown) {
        MemoryWindow& w = *bySeat[current - 1];
        // A word of four tiles down a column each turn.
        for (int b = 0; b < 4; ++b) {
          w.click({turn % 7, b});
          t.pump();
        }
        w.session.board().button_doneClick();
        t.pump();
        ++words;
      }
      t.second();
    }
    if (t.server.game().running) state.SkipWithError("the game did not end");
  }
  state.counters["words/game"] =
      static_cast<double>(words) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WholeGameTwoWindowsTo500)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
