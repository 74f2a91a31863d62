// Dictionary lookups on the carried word list, read from a scratch file as the server does.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "words/tdictn.h"

namespace {

using zp::words::carriedWordList;
using zp::words::kRecordSize;
using zp::words::TDictn;

std::filesystem::path scratchFile() {
  const auto dir =
      std::filesystem::temp_directory_path() / ("zp-bench-words-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir / "English";
}

std::vector<std::string> carriedWords() {
  const std::string_view list = carriedWordList();
  std::vector<std::string> words;
  for (std::size_t at = 0; at + kRecordSize <= list.size(); at += kRecordSize) {
    std::string_view word = list.substr(at + 1, kRecordSize - 1);
    words.emplace_back(word.substr(0, word.find(' ')));
  }
  return words;
}

// Misses that land next to real words, where a search goes deepest, plus both outer ends.
std::vector<std::string> missesNear(const std::vector<std::string>& words) {
  std::vector<std::string> out = {"A", "AA", "ZZZZZZZZZZZZZZ", "ZZZZZZZZZZZZZZZ"};
  for (const auto& w : words) {
    out.push_back(w + "Q");
    out.push_back(w.substr(0, w.size() - 1));
  }
  return out;
}

// Player-like traffic: half hits, half misses, in random order, as lower-case as a typist.
void BM_CheckwordMixed(benchmark::State& state) {
  const auto words = carriedWords();
  std::mt19937 rng(7772);
  std::vector<std::string> queries;
  for (int i = 0; i < 4096; ++i) {
    std::string w = words[rng() % words.size()];
    if (i % 2 == 1) w += (rng() % 2 ? "Q" : "XZ");
    std::transform(w.begin(), w.end(), w.begin(), [](char c) { return c | 0x20; });
    queries.push_back(std::move(w));
  }
  const auto file = scratchFile();
  TDictn dict(file, carriedWordList());
  if (!dict.isOpen()) state.SkipWithError("dictionary not open");
  std::size_t i = 0;
  long long found = 0;
  for (auto _ : state) {
    found += dict.checkword(queries[i++ % queries.size()]);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["hit_share"] =
      benchmark::Counter(static_cast<double>(found) / static_cast<double>(state.iterations()));
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_CheckwordMixed);

// Every record's word and a miss beside each: the most record reads any lookup takes.
void BM_FullSweepMaxReads(benchmark::State& state) {
  const auto words = carriedWords();
  const auto misses = missesNear(words);
  const auto file = scratchFile();
  TDictn dict(file, carriedWordList());
  int maxReads = 0;
  long long notFound = 0;
  long long wrongMisses = 0;
  for (auto _ : state) {
    for (const auto& w : words) {
      notFound += !dict.checkword(w);
      maxReads = std::max(maxReads, dict.lastLookupReads());
    }
    for (const auto& w : misses) {
      // A miss may be a real word ("CATS" + "Q" is not, "CATS" less "S" is): count, don't fail.
      wrongMisses += dict.checkword(w);
      maxReads = std::max(maxReads, dict.lastLookupReads());
    }
  }
  if (notFound != 0) state.SkipWithError("a record's own word was not found");
  state.SetItemsProcessed(state.iterations() *
                          static_cast<long long>(words.size() + misses.size()));
  state.counters["records"] = benchmark::Counter(static_cast<double>(words.size()));
  state.counters["max_reads"] = benchmark::Counter(maxReads);
  state.counters["misses_tried"] = benchmark::Counter(static_cast<double>(misses.size()));
  state.counters["misses_that_were_words"] = benchmark::Counter(static_cast<double>(wrongMisses));
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_FullSweepMaxReads)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
