// bench_records: LZRW1/KH and LZHUF speed (MB/s of uncompressed data) and ratio on 2.6 MB
// of generated English text, and the peak heap of one compression call.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "classic_lzhuf.h"
#include "records/lzrw1.h"

// Heap accounting for the peak-memory figure. Each replacement takes its memory from malloc
// and gives it back with free, behind a size header. They are kept out of line: inlined into
// a caller, the compiler would see free() applied to what operator new returned and take the
// pair for a mismatch; out of line, every release it sees is operator delete, matching the
// operator new that made it.
namespace {
std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
  auto* p = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (!p) throw std::bad_alloc();
  *p = size;
  const std::size_t live = g_live += size;
  std::size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
  return operator new(size);
}
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (!p) return;
  auto* base = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  g_live -= *base;
  std::free(base);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
  operator delete(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

using zp::records::TCompressMode;
using zp::records::Tlzrw1;

// 2.6 MB of English-like prose: common words in a seeded order, sentences and paragraphs.
const std::string& Corpus() {
  static const std::string text = [] {
    static const char* const kWords[] = {
        "the",     "of",      "and",    "to",       "a",       "in",     "that",    "is",
        "was",     "he",      "for",    "it",       "with",    "as",     "his",     "on",
        "be",      "at",      "by",     "had",      "not",     "are",    "but",     "from",
        "or",      "have",    "an",     "they",     "which",   "one",    "you",     "were",
        "her",     "all",     "she",    "there",    "would",   "their",  "we",      "him",
        "been",    "has",     "when",   "who",      "will",    "more",   "no",      "if",
        "out",     "so",      "said",   "what",     "up",      "its",    "about",   "into",
        "than",    "them",    "can",    "only",     "other",   "new",    "some",    "could",
        "time",    "these",   "two",    "may",      "then",    "do",     "first",   "any",
        "my",      "now",     "such",   "like",     "our",     "over",   "man",     "me",
        "even",    "most",    "made",   "after",    "also",    "did",    "many",    "before",
        "must",    "through", "back",   "years",    "where",   "much",   "your",    "way",
        "well",    "down",    "should", "because",  "each",    "just",   "those",   "people",
        "board",   "letter",  "tiles",  "players",  "turn",    "word",   "score",   "points",
        "bonus",   "square",  "round",  "shuffle",  "winner",  "team",   "game",    "table",
        "morning", "river",   "garden", "remember", "quietly", "window", "letters", "together"};
    std::mt19937 rng(2600);
    std::string out;
    const std::size_t target = 2600 * 1024;
    out.reserve(target + 64);
    int words = 0;
    int sentences = 0;
    while (out.size() < target) {
      std::string w = kWords[rng() % std::size(kWords)];
      if (words == 0) w[0] = static_cast<char>(w[0] - 'a' + 'A');
      out += w;
      ++words;
      if (words > 5 && rng() % 9 == 0) {
        out += rng() % 6 == 0 ? ", " : ". ";
        if (out[out.size() - 2] == '.') {
          words = 0;
          if (++sentences % 6 == 0) out += "\n\n";
        }
      } else {
        out += ' ';
      }
    }
    out.resize(target);
    return out;
  }();
  return text;
}

// Streams over memory the bench owns, so the figures are the component's own and not
// those of std::stringstream copying and growing its buffers.
class MemoryIn : public std::streambuf {
 public:
  explicit MemoryIn(const std::string& data) {
    char* begin = const_cast<char*>(data.data());
    setg(begin, begin, begin + data.size());
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    char* base = dir == std::ios_base::beg ? eback() : dir == std::ios_base::cur ? gptr() : egptr();
    char* target = base + off;
    if (target < eback() || target > egptr()) return pos_type(off_type(-1));
    setg(eback(), target, egptr());
    return pos_type(target - eback());
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
};

class MemoryOut : public std::streambuf {
 public:
  explicit MemoryOut(std::string& sink) : sink_(sink) {}

 protected:
  std::streamsize xsputn(const char* data, std::streamsize n) override {
    sink_.append(data, static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) sink_.push_back(static_cast<char>(c));
    return traits_type::not_eof(c);
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (off != 0 || dir != std::ios_base::cur) return pos_type(off_type(-1));
    return pos_type(static_cast<off_type>(sink_.size()));
  }

 private:
  std::string& sink_;
};

// Runs the component in stream mode from `data` into `sink` (cleared first, its capacity kept).
void Run(const std::string& data, std::string& sink, bool compress, TCompressMode mode) {
  sink.clear();
  MemoryIn inBuffer(data);
  MemoryOut outBuffer(sink);
  std::istream in(&inBuffer);
  std::ostream out(&outBuffer);
  Tlzrw1 doit;
  doit.UseStream = true;
  doit.CompressMode = mode;
  doit.InputStream = &in;
  doit.OutputStream = &out;
  if (compress) {
    doit.Compress();
  } else {
    doit.Decompress();
  }
}

std::string Compress(const std::string& data, TCompressMode mode) {
  std::string packed;
  Run(data, packed, true, mode);
  return packed;
}

void Report(benchmark::State& state, const std::string& packed) {
  const auto n = static_cast<double>(Corpus().size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(Corpus().size()));
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * n / 1e6,
                                              benchmark::Counter::kIsRate);
  state.counters["ratio_%"] = 100.0 * static_cast<double>(packed.size()) / n;
}

void BM_Compress(benchmark::State& state, TCompressMode mode) {
  const std::string& data = Corpus();
  std::string packed;
  for (auto _ : state) {
    Run(data, packed, true, mode);
    benchmark::DoNotOptimize(packed.data());
  }
  Report(state, packed);
  if (mode == TCompressMode::Good) {
    const std::vector<std::uint8_t> input(data.begin(), data.end());
    const auto classic = classic_lzhuf::Encode(input);
    state.counters["classic_identical"] =
        packed.substr(8) == std::string(classic.begin(), classic.end());
  }
}

void BM_Decompress(benchmark::State& state, TCompressMode mode) {
  const std::string packed = Compress(Corpus(), mode);
  std::string restored;
  for (auto _ : state) {
    Run(packed, restored, false, mode);
    benchmark::DoNotOptimize(restored.data());
  }
  if (restored != Corpus()) state.SkipWithError("round trip differs");
  Report(state, packed);
}

// The LZRW1/KH engine alone, block by block, without the container's copying.
void BM_EngineCompress(benchmark::State& state) {
  const std::string& data = Corpus();
  zp::records::TLZR lzr;
  std::vector<std::uint8_t> in(zp::records::kBufferSize), out(zp::records::kBufferSize);
  std::size_t packed = 0;
  for (auto _ : state) {
    packed = 0;
    for (std::size_t at = 0; at < data.size(); at += zp::records::kBlockSize) {
      const std::size_t n = std::min(zp::records::kBlockSize, data.size() - at);
      std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, in.begin());
      packed += lzr.Compress(in.data(), n, out.data()) + 2;
    }
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, std::string(packed + 8, ' '));
}

void BM_EngineDecompress(benchmark::State& state) {
  const std::string& data = Corpus();
  zp::records::TLZR lzr;
  std::vector<std::vector<std::uint8_t>> blocks;
  std::vector<std::uint8_t> in(zp::records::kBufferSize), out(zp::records::kBufferSize);
  std::size_t packed = 8;
  for (std::size_t at = 0; at < data.size(); at += zp::records::kBlockSize) {
    const std::size_t n = std::min(zp::records::kBlockSize, data.size() - at);
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, in.begin());
    const std::size_t length = lzr.Compress(in.data(), n, out.data());
    blocks.emplace_back(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length));
    packed += length + 2;
  }
  for (auto _ : state) {
    for (const auto& block : blocks) {
      benchmark::DoNotOptimize(
          zp::records::TLZR::Decompress(block.data(), block.size(), out.data()));
    }
  }
  Report(state, std::string(packed, ' '));
}

// Peak heap of one file-to-file compression, component included.
void BM_PeakMemory(benchmark::State& state, TCompressMode mode) {
  std::string dir = (std::filesystem::temp_directory_path() / "zp-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) {
    state.SkipWithError("no scratch folder");
    return;
  }
  { std::ofstream(dir + "/in", std::ios::binary) << Corpus(); }
  std::size_t peak = 0;
  for (auto _ : state) {
    const std::size_t base = g_live.load();
    g_peak = base;
    {
      Tlzrw1 doit;
      doit.CompressMode = mode;
      doit.InputFile = dir + "/in";
      doit.OutputFile = dir + "/out";
      doit.Compress();
    }
    peak = g_peak.load() - base;
  }
  std::filesystem::remove_all(dir);
  state.counters["peak_heap_bytes"] = static_cast<double>(peak);
  state.counters["lzh_table_bytes"] = static_cast<double>(zp::records::TLZH::TableBytes());
}

BENCHMARK_CAPTURE(BM_Compress, Lzrw1kh, TCompressMode::Fast)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decompress, Lzrw1kh, TCompressMode::Fast)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Compress, Lzhuf, TCompressMode::Good)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decompress, Lzhuf, TCompressMode::Good)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineDecompress)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, Lzrw1kh, TCompressMode::Fast)->Iterations(3);
BENCHMARK_CAPTURE(BM_PeakMemory, Lzhuf, TCompressMode::Good)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
