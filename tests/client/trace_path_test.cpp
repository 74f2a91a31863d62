// Tracing typed words: the paths found against an exhaustive count, and the keyboard's
// actions carried out on the window's own board model.
#include "client/trace_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "client/board_model.h"

namespace zp::client {
namespace {

using Path = std::vector<Cell>;
using Actions = std::vector<TraceAction>;

// A board from 7 row strings, top row first; '.' holds no tile.
Letters boardOf(const std::array<const char*, 7>& rows) {
  Letters letters{};
  for (int b = 0; b < 7; ++b)
    for (int a = 0; a < 7; ++a)
      letters[board::cellIndex(a, b)] = rows[b][a] == '.' ? 0 : rows[b][a] - 'a' + 1;
  return letters;
}

Path cellsOf(const TracePath& p) {
  return {p.view().begin(), p.view().end()};
}

TraceAction pick(Cell c, int slot) {
  return {TraceAction::kPick, c, slot};
}
TraceAction takeBack(Cell c, int slot) {
  return {TraceAction::kTakeBack, c, slot};
}
const TraceAction kRefuse{TraceAction::kRefuse, {}, 0};
const TraceAction kClear{TraceAction::kClear, {}, 0};
const TraceAction kSubmit{TraceAction::kSubmit, {}, 0};

// ---- the paths, one by one

// t in the middle of row 2 with an o on the bonus square, two on triple-letter squares and
// two plain: the bonus first, then ties in reading order.
const Letters kToBoard = boardOf({
    ".......",
    "..o....",
    "..oto..",
    "...oo..",
    ".......",
    ".......",
    ".......",
});

TEST(FindPaths, BestFirstThenReadingOrderUnlessThePicksAreKept) {
  const Path bonus{{3, 2}, {3, 3}}, tlLeft{{3, 2}, {2, 2}}, tlRight{{3, 2}, {4, 2}},
      upLeft{{3, 2}, {2, 1}}, downRight{{3, 2}, {4, 3}};
  const struct {
    Path picks;
    std::size_t limit;
    std::vector<Path> paths;
  } cases[] = {
      {{}, 10, {bonus, tlLeft, tlRight, upLeft, downRight}},
      {{}, 2, {bonus, tlLeft}},
      {{{3, 2}}, 10, {bonus, tlLeft, tlRight, upLeft, downRight}},
      // The whole word picked already stays, whatever it scores.
      {{{3, 2}, {4, 3}}, 10, {downRight, bonus, tlLeft, tlRight, upLeft}},
      {{{3, 2}, {4, 3}}, 1, {downRight}},
      // Picks that are not a start of the word keep nothing.
      {{{2, 2}, {3, 2}}, 3, {bonus, tlLeft, tlRight}},
      {{{-1, -1}, {9, 9}}, 1, {bonus}},
  };
  for (const auto& c : cases) {
    const auto found = findPaths(kToBoard, "to", c.picks, c.limit);
    std::vector<Path> got;
    for (const TracePath& p : found) got.push_back(cellsOf(p));
    EXPECT_EQ(got, c.paths) << c.picks.size() << " picks, limit " << c.limit;
  }
  const auto all = findPaths(kToBoard, "to", {}, 10);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].points, 22);  // 1 + (1 + 20)
  EXPECT_EQ(all[1].points, 4);   // 1 + 3 x 1
  EXPECT_EQ(all[4].points, 2);
}

TEST(FindPaths, OnePathRepeatedLettersAndWordsThatCannotBeTraced) {
  // "letters" along the top row: two t's and two e's, each tile used once.
  const Letters row =
      boardOf({"letters", ".......", ".......", ".......", ".......", ".......", "aa....."});
  const auto letters = findPaths(row, "letters", {}, 5);
  ASSERT_EQ(letters.size(), 1u);
  EXPECT_EQ(cellsOf(letters[0]), (Path{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}));
  // l on a double letter, the first t on a triple-word square, s on a double letter.
  EXPECT_EQ(letters[0].points, (2 + 1 + 1 + 1 + 1 + 1 + 2) * 3);
  // Two a's make "aa" both ways, the first in reading order first; "aaa" would need one twice.
  const auto aa = findPaths(row, "aa", {}, 5);
  ASSERT_EQ(aa.size(), 2u);
  EXPECT_EQ(cellsOf(aa[0]), (Path{{0, 6}, {1, 6}}));
  EXPECT_EQ(cellsOf(aa[1]), (Path{{1, 6}, {0, 6}}));
  EXPECT_EQ(aa[0].points, aa[1].points);
  for (const char* word : {"aaa", "lettersx", "", "Letters", "le7", "lt", "q"})
    EXPECT_TRUE(findPaths(row, word, {}, 5).empty()) << word;
  EXPECT_TRUE(findPaths(row, "l", {}, 0).empty());
}

// ---- the paths against every path there is

struct Ranked {
  Path cells;
  std::size_t kept;
  int points;
};

void everyPath(const Letters& letters, std::string_view word, Path& path, std::vector<Path>& out) {
  if (path.size() == word.size()) {
    out.push_back(path);
    return;
  }
  const int code = word[path.size()] - 'a' + 1;
  for (int b = 0; b < 7; ++b)
    for (int a = 0; a < 7; ++a) {
      const Cell c{a, b};
      if (letters[board::cellIndex(a, b)] != code) continue;
      if (!path.empty() && !board::touching(path.back(), c)) continue;
      if (std::ranges::find(path, c) != path.end()) continue;
      path.push_back(c);
      everyPath(letters, word, path, out);
      path.pop_back();
    }
}

std::vector<Path> expected(const Letters& letters, std::string_view word, const Path& picks,
                           std::size_t limit) {
  std::vector<Path> paths;
  Path scratch;
  everyPath(letters, word, scratch, paths);
  std::vector<Ranked> ranked;
  for (Path& p : paths) {
    std::size_t kept = 0;
    while (kept < p.size() && kept < picks.size() && p[kept] == picks[kept]) ++kept;
    ranked.push_back({p, kept, board::wordPoints(letters, p)});
  }
  std::ranges::sort(ranked, [](const Ranked& x, const Ranked& y) {
    if (x.kept != y.kept) return x.kept > y.kept;
    if (x.points != y.points) return x.points > y.points;
    return beforeInReading(x.cells, y.cells);
  });
  std::vector<Path> out;
  for (std::size_t i = 0; i < ranked.size() && i < limit; ++i) out.push_back(ranked[i].cells);
  return out;
}

// Boards of few letters, so that words have many paths and many ties, and picks that keep a
// start of some path, of none, or run past the word.
TEST(FindPaths, AgreeWithEveryPathRankedOnRandomBoards) {
  std::mt19937 random(20240607);
  const char* alphabets[] = {"a", "ab", "abq", "ae"};
  int compared = 0;
  for (int round = 0; round < 150; ++round) {
    const std::string_view alphabet = alphabets[round % 4];
    Letters letters{};
    for (int& code : letters) {
      const auto r = random() % (alphabet.size() + 2);
      code = r < alphabet.size() ? alphabet[r] - 'a' + 1 : 0;  // some cells hold no tile
    }
    const std::size_t length = 1 + random() % 7;
    std::string word;
    for (std::size_t i = 0; i < length; ++i) word += alphabet[random() % alphabet.size()];
    std::vector<Path> all;
    Path scratch;
    everyPath(letters, word, scratch, all);
    Path picks;
    if (!all.empty() && round % 3 != 0) {
      picks = all[random() % all.size()];
      picks.resize(random() % (picks.size() + 1));
      if (round % 5 == 0) picks.push_back({int(random() % 7), int(random() % 7)});
    }
    for (const std::size_t limit : {std::size_t{1}, std::size_t{7}, std::size_t{32}}) {
      std::vector<Path> got;
      for (const TracePath& p : findPaths(letters, word, picks, limit)) {
        got.push_back(cellsOf(p));
        EXPECT_EQ(p.points, board::wordPoints(letters, p.view()));
      }
      ASSERT_EQ(got, expected(letters, word, picks, limit)) << "round " << round << " " << word;
      compared += !got.empty();
    }
  }
  EXPECT_GT(compared, 150);  // most rounds had paths to rank
}

// ---- the keyboard

// The window's own board model, carrying the actions out as its clicks would: a pick must be
// a click the model accepts, a take-back the last rack slot.
struct Window {
  explicit Window(const Letters& letters) { model.theboard(letters); }

  Path picks() const {
    Path out;
    for (int k = 1; k <= model.chosenCount(); ++k) out.push_back(model.chosen(k));
    return out;
  }
  Actions apply(const Actions& actions) {
    for (const TraceAction& act : actions) {
      switch (act.kind) {
        case TraceAction::kPick:
          EXPECT_TRUE(model.mayChoose(act.cell)) << act.cell.a << "," << act.cell.b;
          if (model.mayChoose(act.cell)) {
            EXPECT_EQ(model.choose(act.cell), act.slot);
          }
          break;
        case TraceAction::kTakeBack:
          EXPECT_EQ(model.takeBack(act.slot), act.cell);
          break;
        case TraceAction::kClear:
        case TraceAction::kSubmit:
          model.clearPick();
          break;
        case TraceAction::kRefuse:
          break;
      }
    }
    return actions;
  }
  Actions type(char key) { return apply(tracer.letter(key, model.letters(), picks())); }
  Actions tab() { return apply(tracer.tab(model.letters(), picks())); }
  Actions backspace() { return apply(tracer.backspace(model.letters(), picks())); }
  Actions escape() { return apply(tracer.escape(picks())); }
  Actions enter() { return apply(tracer.enter(picks())); }

  board::BoardModel model;
  KeyboardTracer tracer;
};

// c on a double-letter corner with a plain a; a plainer c whose a sits on a double-word
// square and leads on to a b.
const Letters kCabBoard = boardOf({
    "ca.....",
    ".......",
    ".......",
    ".......",
    ".....c.",
    ".....a.",
    "......b",
});

TEST(KeyboardTracer, LettersKeepThePicksThenReRouteWhenTheyMust) {
  Window w(kCabBoard);
  EXPECT_EQ(w.type('c'), (Actions{pick({0, 0}, 1)}));
  // The kept c outranks the better "ca" elsewhere.
  EXPECT_EQ(cellsOf(findPaths(kCabBoard, "ca", {}, 1)[0]), (Path{{5, 4}, {5, 5}}));
  EXPECT_EQ(w.type('A'), (Actions{pick({1, 0}, 2)}));
  // Only the other c leads to a b: both picks go, last first, and the new path comes in order.
  EXPECT_EQ(w.type('b'), (Actions{takeBack({1, 0}, 2), takeBack({0, 0}, 1), pick({5, 4}, 1),
                                  pick({5, 5}, 2), pick({6, 6}, 3)}));
  EXPECT_EQ(w.tracer.word(), "cab");
  // A letter no path takes changes nothing.
  EXPECT_EQ(w.type('z'), (Actions{kRefuse}));
  EXPECT_EQ(w.type('c'), (Actions{kRefuse}));
  EXPECT_EQ(w.tracer.word(), "cab");
  EXPECT_EQ(w.picks(), (Path{{5, 4}, {5, 5}, {6, 6}}));
  EXPECT_EQ(w.type('7'), Actions{});
}

TEST(KeyboardTracer, AReRouteTakesBackOnlyWhatNoLongerFits) {
  // The a on a triple-letter square wins "ca", but only the plain a touches the t.
  Window w(boardOf({".......", ".......", "..a....", ".ca....", "...t...", ".......", "......."}));
  w.type('c');
  EXPECT_EQ(w.type('a'), (Actions{pick({2, 2}, 2)}));
  EXPECT_EQ(w.type('t'), (Actions{takeBack({2, 2}, 2), pick({2, 3}, 2), pick({3, 4}, 3)}));
}

TEST(KeyboardTracer, TabGoesThroughThePathsAndComesBack) {
  Window w(kToBoard);
  w.type('t');
  EXPECT_EQ(w.type('o'), (Actions{pick({3, 3}, 2)}));
  EXPECT_EQ(w.tracer.pathCount(), 1u);
  EXPECT_EQ(w.tab(), (Actions{takeBack({3, 3}, 2), pick({2, 2}, 2)}));
  EXPECT_EQ(w.tracer.pathCount(), 5u);
  const Cell next[] = {{4, 2}, {2, 1}, {4, 3}, {3, 3}, {2, 2}};
  for (const Cell c : next) {
    const Cell before = w.picks().back();
    EXPECT_EQ(w.tab(), (Actions{takeBack(before, 2), pick(c, 2)}));
  }
  EXPECT_EQ(w.tracer.pathIndex(), 1u);
  // One letter, one t: nothing to go through.
  w.backspace();
  EXPECT_EQ(w.tab(), Actions{});
}

TEST(KeyboardTracer, SevenLettersThenTheEighthIsRefusedAndEnterSubmits) {
  Window w(boardOf({"letters", "s......", ".......", ".......", ".......", ".......", "......."}));
  Actions picks;
  for (const char c : std::string_view("letters")) {
    const Actions got = w.type(c);
    picks.insert(picks.end(), got.begin(), got.end());
  }
  ASSERT_EQ(picks.size(), 7u);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(picks[static_cast<std::size_t>(k)], pick({k, 0}, k + 1));
  EXPECT_EQ(w.type('s'), (Actions{kRefuse}));
  EXPECT_EQ(w.picks().size(), 7u);
  EXPECT_EQ(w.enter(), (Actions{kSubmit}));
  EXPECT_EQ(w.tracer.word(), "");
  EXPECT_EQ(w.enter(), Actions{});  // nothing picked, nothing sent
}

TEST(KeyboardTracer, BackspaceEscapeAndMouseClicksBetweenKeys) {
  Window w(kCabBoard);
  for (const char c : std::string_view("cab")) w.type(c);
  EXPECT_EQ(w.backspace(), (Actions{takeBack({6, 6}, 3)}));
  EXPECT_EQ(w.tracer.word(), "ca");
  // Tab now ranks the paths of "ca" that keep what is left.
  EXPECT_EQ(w.tab(),
            (Actions{takeBack({5, 5}, 2), takeBack({5, 4}, 1), pick({0, 0}, 1), pick({1, 0}, 2)}));
  EXPECT_EQ(w.escape(), (Actions{kClear}));
  EXPECT_EQ(w.tracer.word(), "");
  EXPECT_EQ(w.escape(), Actions{});
  EXPECT_EQ(w.backspace(), Actions{});
  // A click picks the plain c; typing goes on from it.
  w.model.choose({5, 4});
  EXPECT_EQ(w.type('a'), (Actions{pick({5, 5}, 2)}));
  EXPECT_EQ(w.tracer.word(), "ca");
  // A take-back by mouse shortens the word.
  w.model.takeBack(2);
  EXPECT_EQ(w.type('b'), Actions{kRefuse});  // "cb" has no path
  EXPECT_EQ(w.tracer.word(), "c");
  // A new board starts a new word.
  w.model.theboard(kToBoard);
  EXPECT_EQ(w.type('o'), (Actions{pick({3, 3}, 1)}));
  EXPECT_EQ(w.tracer.word(), "o");
}

// ---- the focus mark and the fall arrows

TEST(Focus, ArrowsMoveTheMarkAndStopAtTheEdge) {
  const struct {
    Cell from;
    Arrow arrow;
    Cell to;
  } cases[] = {
      {{-1, -1}, Arrow::kUp, {3, 3}},  {{3, 3}, Arrow::kUp, {3, 2}},
      {{3, 3}, Arrow::kDown, {3, 4}},  {{3, 3}, Arrow::kLeft, {2, 3}},
      {{3, 3}, Arrow::kRight, {4, 3}}, {{0, 0}, Arrow::kUp, {0, 0}},
      {{0, 0}, Arrow::kLeft, {0, 0}},  {{6, 6}, Arrow::kDown, {6, 6}},
      {{6, 6}, Arrow::kRight, {6, 6}}, {{9, 2}, Arrow::kLeft, {3, 3}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(moveFocus(c.from, c.arrow), c.to) << c.from.a << "," << c.from.b;
  EXPECT_EQ(fallFor(Arrow::kDown), 1);
  EXPECT_EQ(fallFor(Arrow::kLeft), 2);
  EXPECT_EQ(fallFor(Arrow::kUp), 3);
  EXPECT_EQ(fallFor(Arrow::kRight), 4);
}

}  // namespace
}  // namespace zp::client
