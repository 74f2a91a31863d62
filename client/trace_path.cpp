#include "client/trace_path.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace zp::client {

using board::cellIndex;
using board::isLetter;
using board::kBoardSize;
using board::kCellCount;
using board::onBoard;

namespace {

constexpr int kSteps = kLongestWord;
constexpr int kBonusExtra = 20;           // what the bonus square adds to its tile
constexpr int kWordSquareMasks = 1 << 8;  // which of the eight word squares are still free

// Inside the search a cell is its index a * 7 + b, as the board's letters are stored.
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

// The word squares a walk crosses, as (doubles, triples), 0..4 of each as on the board: the
// levels x * 5 + y, padded to 32 so that the loops over them vectorise.
constexpr int kPerKind = 5;
constexpr int kLevelCount = kPerKind * kPerKind;
using Levels = std::array<std::int16_t, 32>;
constexpr std::int16_t kNone = -30000;  // stays below 0 after seven tiles are added
constexpr std::array<int, kLevelCount> kLevelFactor = [] {
  std::array<int, kLevelCount> f{};
  for (int x = 0, two = 1; x < kPerKind; ++x, two *= 2)
    for (int y = 0, three = 1; y < kPerKind; ++y, three *= 3) f[x * kPerKind + y] = two * three;
  return f;
}();

// `to` takes the walks of `from` with one more tile in front, worth `tile` on a square of
// word factor `factor`.
void prepend(Levels& to, const Levels& from, int tile, int factor) {
  Levels moved;
  const auto t = static_cast<std::int16_t>(tile);
  for (std::size_t l = 0; l < moved.size(); ++l) moved[l] = static_cast<std::int16_t>(from[l] + t);
  // A walk past a fifth square of a kind crosses one twice, which no path does: it goes.
  if (factor == 2) {
    // One more double: each level moves a row on.
    std::copy_backward(moved.begin(), moved.begin() + kLevelCount - kPerKind,
                       moved.begin() + kLevelCount);
    std::fill(moved.begin(), moved.begin() + kPerKind, kNone);
  } else if (factor == 3) {
    // One more triple: each level moves a column on.
    for (int x = 0; x < kPerKind; ++x) {
      std::int16_t* row = moved.data() + x * kPerKind;
      std::copy_backward(row, row + kPerKind - 1, row + kPerKind);
      row[0] = kNone;
    }
  }
  for (std::size_t l = 0; l < to.size(); ++l) to[l] = std::max(to[l], moved[l]);
}

// Branch and bound, one class of paths at a time: first those that keep the longest start
// of the picks, then the ones that leave them a cell earlier, and so on. Within a class the
// cells are tried best bound first, and a branch is cut as soon as its bound cannot beat
// the worst path kept (nor tie it from earlier in reading order).
//
// The bound comes from walks that spell the rest of the word (crossing themselves allowed),
// kept apart by the word squares they cross: the tiles' points and the word factor must
// come from one walk, and the factor no higher than the free word squares within reach.
// On a board of one repeated letter, with millions of paths, the best is found in a few
// dozen steps.
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
    for (int i = n_ - 1; i >= 0; --i) {
      spelled_[i] = 0;
      for (int cell = 0; cell < kCellCount; ++cell) {
        if (letters[cell] != word_[i]) continue;
        Levels& mine = more_[i][cell];
        mine.fill(kNone);
        bool spelled = i == n_ - 1;
        if (spelled) {
          mine[0] = 0;
        } else {
          for (int d : g_.around(cell)) {
            if ((spelled_[i + 1] >> d & 1) == 0) continue;
            prepend(mine, more_[i + 1][d], tile_[d], g_.factor(d));
            spelled = true;
          }
        }
        if (spelled) spelled_[i] |= std::uint64_t{1} << cell;
      }
    }
  }

  void run(std::span<const int> anchor) {
    const int kept = static_cast<int>(anchor.size());
    for (int j = kept; j >= 0 && out_.size() < limit_; --j) {
      classStart_ = out_.size();
      for (int k = 0; k < j; ++k) push(k, anchor[k]);
      if (j == n_)
        offer();
      else
        descend(j, j < kept ? anchor[j] : -1);
    }
  }

 private:
  // The path so far, after k cells.
  struct Level {
    int sum = 0;
    int factor = 1;
    std::uint64_t used = 0;
    unsigned free = 0xff;  // the word squares not on the path
  };

  void push(int k, int cell) {
    path_[k] = cell;
    const Level& was = level_[k];
    level_[k + 1] = {was.sum + tile_[cell], was.factor * g_.factor(cell),
                     was.used | std::uint64_t{1} << cell, was.free & ~g_.wordSquareBit(cell)};
  }

  // The most points any path through path_[0..k-1] can make.
  int bound(int k) const {
    const Level& at = level_[k];
    if (k == n_) return at.sum * at.factor;
    const int last = path_[k - 1];
    const bool bonusFree = (at.used >> g_.bonusCell() & 1) == 0;
    // No tile makes more than three times its worth, except the one on the bonus square.
    const int plain = 3 * restWorth_[k] + (bonusFree ? kBonusExtra : 0);
    const int most = g_.gather(last, n_ - k, at.free);
    const Levels& levels = more_[k - 1][last];
    int best = 0;
    for (int l = 0; l < kLevelCount; ++l)
      if (levels[l] >= 0 && kLevelFactor[l] <= most)
        best = std::max(best, (at.sum + std::min<int>(levels[l], plain)) * kLevelFactor[l]);
    return best * at.factor;
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
    int bounds[kCellCount];
    int cells[kCellCount];
    int count = 0;
    const std::uint64_t used = level_[k].used;
    auto consider = [&](int cell) {
      if (cell == skip || (used >> cell & 1) != 0 || (spelled_[k] >> cell & 1) == 0) return;
      push(k, cell);
      // Best bound first; among equal bounds reading order stays, as the cells come in it.
      const int b = bound(k + 1);
      int i = count++;
      for (; i > 0 && bounds[i - 1] < b; --i) bounds[i] = bounds[i - 1], cells[i] = cells[i - 1];
      bounds[i] = b, cells[i] = cell;
    };
    if (k == 0) {
      for (int rank = 0; rank < kCellCount; ++rank)
        consider((rank % kBoardSize) * kBoardSize + rank / kBoardSize);
    } else {
      for (int d : g_.around(path_[k - 1])) consider(d);
    }
    for (int i = 0; i < count; ++i) {
      push(k, cells[i]);
      if (!hopeless(k + 1, bounds[i])) {
        descend(k + 1, -1);
      } else if (bounds[i] < out_.back().points) {
        break;  // the rest are no better
      }
    }
  }

  void offer() {
    TracePath p;
    for (int i = 0; i < n_; ++i) p.cells[static_cast<std::size_t>(i)] = cellAt(path_[i]);
    p.length = n_;
    p.points = level_[n_].sum * level_[n_].factor;
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
  // The cells from which the letters from i on can be spelled, and for those, the most
  // points the letters after i add, by the level of the word squares they cross.
  std::array<std::uint64_t, kSteps> spelled_{};
  std::array<std::array<Levels, kCellCount>, kSteps> more_;

  std::array<int, kSteps> path_{};
  std::array<Level, kSteps + 1> level_{};
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
