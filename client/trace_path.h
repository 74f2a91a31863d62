#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rules/constants.h"
#include "rules/rules.h"

// Playing from the keyboard: the paths on the board that spell a typed word, and the model
// that turns keys into the picks, take-backs, clears and submits a mouse would make. The
// window carries each action out through the same handlers its clicks use, so the table
// and the other windows see nothing new.
//
//   KeyboardTracer tracer;
//   for (const TraceAction& act : tracer.letter('c', model.letters(), picks))
//     if (act.kind == TraceAction::kPick) clickCell(act.cell);  // ...
namespace zp::client {

using board::Cell;
using board::Letters;

// One way to trace a word: its cells in order and the points the table would give it.
struct TracePath {
  std::array<Cell, kLongestWord> cells{};
  int length = 0;
  int points = 0;  // before the seven-letter bonus, which every path of a word gets alike
  std::span<const Cell> view() const {
    return std::span(cells).first(static_cast<std::size_t>(length));
  }
  bool operator==(const TracePath& o) const {
    return points == o.points && std::ranges::equal(view(), o.view());
  }
};

// Reading order: row by row from the top, each row from left to right. A path comes before
// another of the same length when, at the first cell where they differ, its cell does.
bool beforeInReading(Cell p, Cell q);
bool beforeInReading(std::span<const Cell> p, std::span<const Cell> q);

// The paths that spell `word` (1..7 letters a..z) on `letters` (codes 1..26; anything else
// holds no tile), each next cell touching the one before and each cell used once. At most
// `limit`, best first: the longest start in common with `picks`, then the most points, then
// the first in reading order. Nothing for a word that is empty, longer than seven or not
// all letters; `picks` may be anything, even cells off the board.
std::vector<TracePath> findPaths(const Letters& letters, std::string_view word,
                                 std::span<const Cell> picks, std::size_t limit);

// What the window does for one key, in order.
struct TraceAction {
  enum Kind {
    kPick,      // a click on `cell`, which becomes pick `slot` (CMD_selectletter)
    kTakeBack,  // a click on rack slot `slot`, the last one, giving back `cell`
    kClear,     // as CLEAR
    kSubmit,    // as SEND
    kRefuse,    // nothing changes; the window gives its short cue
  };
  Kind kind = kRefuse;
  Cell cell;
  int slot = 0;
  bool operator==(const TraceAction&) const = default;
};

// The typed word and the path chosen for it. Every key is given the board and the picks as
// the window holds them at that moment: when they are not what this tracer last asked for
// (a click, a take-back by mouse, a new board), the typed word becomes the picked letters
// and the picks become the path, so mouse and keyboard can be mixed freely.
class KeyboardTracer {
 public:
  // Tab goes through at most this many paths before it comes back to the first: enough to
  // see every way that differs where it matters, and a bound on the search when one letter
  // covers the board.
  static constexpr std::size_t kMostPaths = 32;

  // A letter (either case) extends the word along the best path; the picks that no longer
  // fit are taken back, last first, and the new cells picked in order. Refused, changing
  // nothing, when no path spells the longer word or the word has seven letters already.
  std::vector<TraceAction> letter(char key, const Letters& letters, std::span<const Cell> picks);
  // The next path for the same word, after the last one the first again.
  std::vector<TraceAction> tab(const Letters& letters, std::span<const Cell> picks);
  // The last letter taken back.
  std::vector<TraceAction> backspace(const Letters& letters, std::span<const Cell> picks);
  // The word cleared.
  std::vector<TraceAction> escape(std::span<const Cell> picks);
  // The word submitted.
  std::vector<TraceAction> enter(std::span<const Cell> picks);
  // Forget the word, as at a new turn (keys after a new board do so by themselves).
  void reset();

  const std::string& word() const { return word_; }
  // The path shown, 0-based, among pathCount(); the count is 1 until a Tab has asked for
  // the others.
  std::size_t pathIndex() const { return index_; }
  std::size_t pathCount() const { return paths_.size(); }

 private:
  void follow(const Letters& letters, std::span<const Cell> picks);
  void adopt(const Letters& letters, std::span<const Cell> picks);
  std::vector<TraceAction> moveTo(std::span<const Cell> picks, std::span<const Cell> path);
  void forget();

  Letters letters_{};
  std::string word_;
  std::vector<TracePath> paths_;  // empty exactly while the word is
  std::size_t index_ = 0;
  bool listed_ = false;       // paths_ holds every path up to kMostPaths, not just the best
  std::vector<Cell> anchor_;  // the picks whose start the order of paths_ keeps
  std::vector<Cell> picks_;   // the picks the last actions lead to
};

// Moving the focus mark: one cell in the arrow's direction, stopping at the edge. A mark
// that is not on the board yet starts at the centre.
enum class Arrow { kUp, kDown, kLeft, kRight };
Cell moveFocus(Cell focus, Arrow arrow);
// The fall an arrow key shows and then chooses: the way the tiles will move (Down 1, Left 2, Up 3,
// Right 4).
int fallFor(Arrow arrow);

}  // namespace zp::client
