#include "server/word_search.h"

#include <array>
#include <cstdint>
#include <span>

namespace zp::server {
namespace {

using words::WordGraph;

constexpr int kNoNeighbour = -1;

// Each cell's neighbours by cell index, kNoNeighbour after the last.
struct Neighbours {
  std::array<std::array<std::int8_t, 9>, board::kCellCount> of{};
  Neighbours() {
    for (int a = 0; a < kBoardSize; ++a) {
      for (int b = 0; b < kBoardSize; ++b) {
        auto& list = of[board::cellIndex(a, b)];
        std::size_t n = 0;
        for (int da = -1; da <= 1; ++da)
          for (int db = -1; db <= 1; ++db)
            if ((da != 0 || db != 0) && board::onBoard(a + da, b + db))
              list[n++] = static_cast<std::int8_t>(board::cellIndex(a + da, b + db));
        list[n] = kNoNeighbour;
      }
    }
  }
};

const Neighbours& neighbours() {
  static const Neighbours table;
  return table;
}

class Search {
 public:
  Search(const Board& board, const WordGraph& words) : board_(board), words_(words) {
    for (std::size_t i = 0; i < letter_.size(); ++i) {
      const int code = board.codes()[i];
      letter_[i] = board::isLetter(code) ? code - board::kFirstLetter : -1;
    }
  }

  std::optional<ScoredTrace> run() {
    for (std::size_t cell = 0; cell < letter_.size(); ++cell) {
      if (letter_[cell] < 0) continue;
      const WordGraph::Node node = words_.child(WordGraph::kRoot, letter_[cell]);
      if (node != WordGraph::kNone) step(static_cast<int>(cell), node, 0);
    }
    return best_;
  }

 private:
  void step(int cell, WordGraph::Node node, std::size_t depth) {
    path_[depth] = {cell / kBoardSize, cell % kBoardSize};
    const std::size_t length = depth + 1;
    if (words_.endsWord(node)) {
      const std::span<const Cell> trace(path_.data(), length);
      const int points = wordPoints(board_, trace);
      if (!best_ || points > best_->points)
        best_ = ScoredTrace{{trace.begin(), trace.end()}, points};
    }
    if (length == path_.size()) return;
    used_ |= std::uint64_t{1} << cell;
    for (const std::int8_t next : neighbours_.of[static_cast<std::size_t>(cell)]) {
      if (next == kNoNeighbour) break;
      if ((used_ >> next & 1) != 0 || letter_[static_cast<std::size_t>(next)] < 0) continue;
      const WordGraph::Node child = words_.child(node, letter_[static_cast<std::size_t>(next)]);
      if (child != WordGraph::kNone) step(next, child, length);
    }
    used_ &= ~(std::uint64_t{1} << cell);
  }

  const Board& board_;
  const WordGraph& words_;
  const Neighbours& neighbours_ = neighbours();
  std::array<int, board::kCellCount> letter_{};  // 0 for a .. 25 for z; -1 for no letter
  std::array<Cell, zp::kLongestWord> path_{};
  std::uint64_t used_ = 0;
  std::optional<ScoredTrace> best_;
};

}  // namespace

std::optional<ScoredTrace> bestTrace(const Board& board, const words::WordGraph& words) {
  return Search(board, words).run();
}

}  // namespace zp::server
