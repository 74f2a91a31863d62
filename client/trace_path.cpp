#include "client/trace_path.h"

#include <cstdint>
#include <utility>

namespace zp::client {

using board::cellIndex;
using board::isLetter;
using board::kBoardSize;
using board::kCellCount;
using board::onBoard;

namespace {

// Cells are numbered a * 7 + b, as the board's letters are stored.
constexpr int kSteps = kLongestWord;
constexpr int kBonusExtra = 20;  // what the bonus square adds to its tile
constexpr int kWordSquareMasks = 1 << 8;

int readingRank(int cell) {
  return (cell % kBoardSize) * kBoardSize + cell / kBoardSize;
}
Cell cellAt(int cell) {
  return {cell / kBoardSize, cell % kBoardSize};
}
int indexOf(Cell c) {
  return static_cast<int>(cellIndex(c.a, c.b));
}

// What the board's shape alone allows, worked out once.
class Geometry {
 public:
  Geometry() {
    int nextBit = 0;
    for (int cell = 0; cell < kCellCount; ++cell) {
      const Cell c = cellAt(cell);
      const board::Square s = board::squareAt(c);
      factor_[cell] = static_cast<std::uint8_t>(board::wordFactor(s));
      if (factor_[cell] > 1) wordSquareBit_[cell] = static_cast<std::uint8_t>(1 << nextBit++);
      if (s == board::Square::kBonus) bonusCell_ = cell;
      // Neighbours in reading order: the row above, the same row, the row below.
      for (int db = -1; db <= 1; ++db)
        for (int da = -1; da <= 1; ++da)
          if ((da != 0 || db != 0) && onBoard(c.a + da, c.b + db))
            around_[cell][aroundCount_[cell]++] =
                static_cast<std::uint8_t>(indexOf({c.a + da, c.b + db}));
    }
    // gather(cell, r, free): the walks of r more steps need not avoid themselves, but each
    // word square counts once, so the figure stays close to what a real path can reach.
    gather_.assign(static_cast<std::size_t>(kCellCount * kSteps * kWordSquareMasks), 0);
    for (int cell = 0; cell < kCellCount; ++cell)
      for (unsigned free = 0; free < kWordSquareMasks; ++free) slot(cell, 0, free) = 1;
    for (int r = 1; r < kSteps; ++r)
      for (int cell = 0; cell < kCellCount; ++cell)
        for (unsigned free = 0; free < kWordSquareMasks; ++free) {
          int most = 0;
          for (int d : around(cell)) {
            const bool counts = (free & wordSquareBit_[d]) != 0;
            const int f = (counts ? factor_[d] : 1) * slot(d, r - 1, free & ~wordSquareBit_[d]);
            most = std::max(most, f);
          }
          slot(cell, r, free) = static_cast<std::uint16_t>(most);
        }
  }

  std::span<const std::uint8_t> around(int cell) const {
    return std::span(around_[cell]).first(aroundCount_[cell]);
  }
  int factor(int cell) const { return factor_[cell]; }
  unsigned wordSquareBit(int cell) const { return wordSquareBit_[cell]; }
  int bonusCell() const { return bonusCell_; }
  // The largest product of word factors that r more steps from `cell` can gather from the
  // word squares still `free`.
  int gather(int cell, int r, unsigned free) const {
    return gather_[static_cast<std::size_t>((cell * kSteps + r) * kWordSquareMasks) + free];
  }

 private:
  std::uint16_t& slot(int cell, int r, unsigned free) {
    return gather_[static_cast<std::size_t>((cell * kSteps + r) * kWordSquareMasks) + free];
  }

  std::array<std::array<std::uint8_t, 8>, kCellCount> around_{};
  std::array<std::size_t, kCellCount> aroundCount_{};
  std::array<std::uint8_t, kCellCount> factor_{};
  std::array<std::uint8_t, kCellCount> wordSquareBit_{};
  int bonusCell_ = 0;
  std::vector<std::uint16_t> gather_;
};

const Geometry& geometry() {
  static const Geometry g;
  return g;
}

// Better within paths that keep the same start of the picks.
bool better(const TracePath& x, const TracePath& y) {
  return x.points > y.points || (x.points == y.points && beforeInReading(x.view(), y.view()));
}

// Branch and bound, one class of paths at a time: first those that keep the longest start
// of the picks, then the ones that leave them a cell earlier, and so on. Within a class the
// cells are tried best bound first, and a branch is cut as soon as its bound cannot beat
// the worst path kept (nor tie it from earlier in reading order), so the board of one
// repeated letter, with millions of paths, costs a few thousand steps.
class Search {
 public:
  Search(const Letters& letters, std::span<const int> word, std::size_t limit,
         std::vector<TracePath>& out)
      : g_(geometry()), n_(static_cast<int>(word.size())), limit_(limit), out_(out) {
    std::copy(word.begin(), word.end(), word_.begin());
    for (int cell = 0; cell < kCellCount; ++cell)
      tile_[cell] =
          board::tilePoints(board::squareAt(cellAt(cell)), board::letterworth(letters[cell]));
    restWorth_[n_] = 0;
    for (int i = n_ - 1; i >= 0; --i)
      restWorth_[i] = restWorth_[i + 1] + board::letterworth(word_[i]);
    // The letters after i along walks from each cell, self-crossings allowed: -1 where the
    // rest of the word cannot be spelled at all.
    for (int i = n_ - 1; i >= 0; --i)
      for (int cell = 0; cell < kCellCount; ++cell) {
        int points = -1, factor = -1;
        if (letters[cell] == word_[i]) {
          if (i == n_ - 1) {
            points = 0, factor = 1;
          } else {
            for (int d : g_.around(cell)) {
              if (morePoints_[i + 1][d] < 0) continue;
              points = std::max(points, tile_[d] + morePoints_[i + 1][d]);
              factor = std::max(factor, g_.factor(d) * moreFactor_[i + 1][d]);
            }
          }
        }
        morePoints_[i][cell] = points;
        moreFactor_[i][cell] = factor;
      }
  }

  void run(std::span<const int> anchor) {
    const int kept = static_cast<int>(anchor.size());
    for (int j = kept; j >= 0 && out_.size() < limit_; --j) {
      classStart_ = out_.size();
      sum_ = 0, factor_ = 1, used_ = 0, free_ = ~0u;
      for (int k = 0; k < j; ++k) push(k, anchor[k]);
      if (j == n_)
        offer();
      else
        descend(j, j < kept ? anchor[j] : -1);
    }
  }

 private:
  void push(int k, int cell) {
    path_[k] = cell;
    sum_ += tile_[cell];
    factor_ *= g_.factor(cell);
    used_ |= std::uint64_t{1} << cell;
    free_ &= ~g_.wordSquareBit(cell);
  }
  void pop(int k) {
    const int cell = path_[k];
    sum_ -= tile_[cell];
    factor_ /= g_.factor(cell);
    used_ &= ~(std::uint64_t{1} << cell);
    free_ |= g_.wordSquareBit(cell);
  }

  // The most points any path through path_[0..k-1] can make.
  int bound(int k) const {
    if (k == n_) return sum_ * factor_;
    const int last = path_[k - 1];
    const bool bonusFree = (used_ >> g_.bonusCell() & 1) == 0;
    // No tile makes more than three times its worth, except the one on the bonus square.
    const int plain = 3 * restWorth_[k] + (bonusFree ? kBonusExtra : 0);
    const int points = std::min(morePoints_[k - 1][last], plain);
    const int factor = std::min(moreFactor_[k - 1][last], g_.gather(last, n_ - k, free_ & 0xff));
    return (sum_ + points) * factor_ * factor;
  }

  // Nothing under path_[0..k-1], whose bound is `b`, can take a kept path's place.
  bool hopeless(int k, int b) const {
    if (out_.size() < limit_) return false;
    const TracePath& worst = out_.back();
    if (b != worst.points) return b < worst.points;
    for (int i = 0; i < k; ++i) {
      const int mine = readingRank(path_[i]);
      const int theirs = readingRank(indexOf(worst.cells[static_cast<std::size_t>(i)]));
      if (mine != theirs) return mine > theirs;
    }
    return false;
  }

  void descend(int k, int skip) {
    if (k == n_) return offer();
    std::array<std::pair<int, int>, kCellCount> next;  // bound, cell
    int count = 0;
    auto consider = [&](int cell) {
      if (cell == skip || (used_ >> cell & 1) != 0 || morePoints_[k][cell] < 0) return;
      push(k, cell);
      next[count++] = {bound(k + 1), cell};
      pop(k);
    };
    if (k == 0) {
      for (int rank = 0; rank < kCellCount; ++rank)
        consider((rank % kBoardSize) * kBoardSize + rank / kBoardSize);
    } else {
      for (int d : g_.around(path_[k - 1])) consider(d);
    }
    // Best bound first; among equal bounds reading order stays, as the cells came in it.
    for (int i = 1; i < count; ++i)
      for (int j = i; j > 0 && next[j - 1].first < next[j].first; --j)
        std::swap(next[j - 1], next[j]);
    for (int i = 0; i < count; ++i) {
      const auto [b, cell] = next[static_cast<std::size_t>(i)];
      push(k, cell);
      if (!hopeless(k + 1, b)) descend(k + 1, -1);
      pop(k);
    }
  }

  void offer() {
    TracePath p;
    for (int i = 0; i < n_; ++i) p.cells[static_cast<std::size_t>(i)] = cellAt(path_[i]);
    p.length = n_;
    p.points = sum_ * factor_;
    if (out_.size() == limit_) {
      if (!better(p, out_.back())) return;
      out_.pop_back();
    }
    auto at = out_.begin() + static_cast<std::ptrdiff_t>(classStart_);
    while (at != out_.end() && !better(p, *at)) ++at;
    out_.insert(at, p);
  }

  const Geometry& g_;
  const int n_;
  const std::size_t limit_;
  std::vector<TracePath>& out_;
  std::size_t classStart_ = 0;  // out_ from here on keeps as much of the picks as this class

  std::array<int, kSteps> word_{};
  std::array<int, kSteps + 1> restWorth_{};  // the worths of the letters from i on
  std::array<int, kCellCount> tile_{};       // each cell's tile on its square
  std::array<std::array<int, kCellCount>, kSteps> morePoints_{};
  std::array<std::array<int, kCellCount>, kSteps> moreFactor_{};

  std::array<int, kSteps> path_{};
  int sum_ = 0;
  int factor_ = 1;
  std::uint64_t used_ = 0;
  unsigned free_ = ~0u;  // the word squares not on the path
};

}  // namespace

bool beforeInReading(Cell p, Cell q) {
  return p.b != q.b ? p.b < q.b : p.a < q.a;
}

bool beforeInReading(std::span<const Cell> p, std::span<const Cell> q) {
  return std::ranges::lexicographical_compare(p, q,
                                              [](Cell x, Cell y) { return beforeInReading(x, y); });
}

std::vector<TracePath> findPaths(const Letters& letters, std::string_view word,
                                 std::span<const Cell> picks, std::size_t limit) {
  std::vector<TracePath> out;
  if (word.empty() || word.size() > static_cast<std::size_t>(kLongestWord) || limit == 0)
    return out;
  std::array<int, kSteps> codes{};
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] < 'a' || word[i] > 'z') return out;
    codes[i] = word[i] - 'a' + board::kFirstLetter;
  }
  // The start of the picks that a path can keep: on the board, spelling the word's start,
  // each touching the one before and none twice.
  std::array<int, kSteps> anchor{};
  std::size_t kept = 0;
  while (kept < word.size() && kept < picks.size()) {
    const Cell c = picks[kept];
    if (!onBoard(c) || letters[cellIndex(c.a, c.b)] != codes[kept]) break;
    if (kept > 0 && !board::touching(picks[kept - 1], c)) break;
    if (std::find(picks.begin(), picks.begin() + static_cast<std::ptrdiff_t>(kept), c) !=
        picks.begin() + static_cast<std::ptrdiff_t>(kept))
      break;
    anchor[kept++] = indexOf(c);
  }
  out.reserve(std::min(limit, std::size_t{64}));
  Search search(letters, std::span(codes).first(word.size()), limit, out);
  search.run(std::span(anchor).first(kept));
  return out;
}

// ---- the keyboard tracer

void KeyboardTracer::follow(const Letters& letters, std::span<const Cell> picks) {
  if (letters == letters_ && std::ranges::equal(picks, picks_)) return;
  adopt(letters, picks);
}

void KeyboardTracer::adopt(const Letters& letters, std::span<const Cell> picks) {
  letters_ = letters;
  picks_.assign(picks.begin(), picks.end());
  anchor_ = picks_;
  word_.clear();
  paths_.clear();
  index_ = 0;
  listed_ = false;
  TracePath shown;
  for (const Cell c : picks) {
    if (shown.length == kLongestWord || !onBoard(c)) break;
    const int code = letters[cellIndex(c.a, c.b)];
    if (!isLetter(code)) break;
    word_ += static_cast<char>('a' + code - board::kFirstLetter);
    shown.cells[static_cast<std::size_t>(shown.length++)] = c;
  }
  shown.points = board::wordPoints(letters, shown.view());
  if (!word_.empty()) paths_.push_back(shown);
}

void KeyboardTracer::forget() {
  word_.clear();
  paths_.clear();
  index_ = 0;
  listed_ = false;
  anchor_.clear();
  picks_.clear();
}

void KeyboardTracer::reset() {
  forget();
  letters_ = Letters{};
}

std::vector<TraceAction> KeyboardTracer::moveTo(std::span<const Cell> picks,
                                                std::span<const Cell> path) {
  std::size_t same = 0;
  while (same < picks.size() && same < path.size() && picks[same] == path[same]) ++same;
  std::vector<TraceAction> actions;
  for (std::size_t k = picks.size(); k > same; --k)
    actions.push_back({TraceAction::kTakeBack, picks[k - 1], static_cast<int>(k)});
  for (std::size_t k = same; k < path.size(); ++k)
    actions.push_back({TraceAction::kPick, path[k], static_cast<int>(k + 1)});
  picks_.assign(path.begin(), path.end());
  return actions;
}

std::vector<TraceAction> KeyboardTracer::letter(char key, const Letters& letters,
                                                std::span<const Cell> picks) {
  if (key >= 'A' && key <= 'Z') key = static_cast<char>(key - 'A' + 'a');
  if (key < 'a' || key > 'z') return {};
  follow(letters, picks);
  const TraceAction refuse{TraceAction::kRefuse, {}, 0};
  if (word_.size() >= static_cast<std::size_t>(kLongestWord)) return {refuse};
  std::vector<TracePath> found = findPaths(letters, word_ + key, picks, 1);
  if (found.empty()) return {refuse};
  word_ += key;
  paths_ = std::move(found);
  index_ = 0;
  listed_ = false;
  anchor_.assign(picks.begin(), picks.end());
  return moveTo(picks, paths_.front().view());
}

std::vector<TraceAction> KeyboardTracer::tab(const Letters& letters, std::span<const Cell> picks) {
  follow(letters, picks);
  if (word_.empty()) return {};
  if (!listed_) {
    const TracePath shown = paths_[index_];
    paths_ = findPaths(letters, word_, anchor_, kMostPaths);
    listed_ = true;
    const auto at = std::ranges::find(paths_, shown);
    index_ = at == paths_.end() ? 0 : static_cast<std::size_t>(at - paths_.begin());
  }
  if (paths_.size() < 2) return {};
  index_ = (index_ + 1) % paths_.size();
  return moveTo(picks, paths_[index_].view());
}

std::vector<TraceAction> KeyboardTracer::backspace(const Letters& letters,
                                                   std::span<const Cell> picks) {
  follow(letters, picks);
  if (picks.empty()) return {};
  adopt(letters, picks.first(picks.size() - 1));
  return {{TraceAction::kTakeBack, picks.back(), static_cast<int>(picks.size())}};
}

std::vector<TraceAction> KeyboardTracer::escape(std::span<const Cell> picks) {
  const bool any = !picks.empty() || !word_.empty();
  forget();
  if (!any) return {};
  return {{TraceAction::kClear, {}, 0}};
}

std::vector<TraceAction> KeyboardTracer::enter(std::span<const Cell> picks) {
  if (picks.empty()) return {};
  forget();
  return {{TraceAction::kSubmit, {}, 0}};
}

// ---- the focus mark and the fall arrows

Cell moveFocus(Cell focus, Arrow arrow) {
  if (!onBoard(focus)) return {kBoardSize / 2, kBoardSize / 2};
  switch (arrow) {
    case Arrow::kUp:
      focus.b = std::max(focus.b - 1, 0);
      break;
    case Arrow::kDown:
      focus.b = std::min(focus.b + 1, kBoardSize - 1);
      break;
    case Arrow::kLeft:
      focus.a = std::max(focus.a - 1, 0);
      break;
    case Arrow::kRight:
      focus.a = std::min(focus.a + 1, kBoardSize - 1);
      break;
  }
  return focus;
}

int fallFor(Arrow arrow) {
  switch (arrow) {
    case Arrow::kDown:
      return board::kDown;
    case Arrow::kLeft:
      return board::kLeft;
    case Arrow::kUp:
      return board::kUp;
    case Arrow::kRight:
      return board::kRight;
  }
  return board::kDown;
}

}  // namespace zp::client
