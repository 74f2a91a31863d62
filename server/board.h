#pragma once

#include <span>

#include "rules/rules.h"

namespace zp::server {

using board::Cell;
using board::kBoardSize;
using board::touching;

// Letter codes on the server's board: 1..26 are a..z.
inline constexpr int kNoTile = 0;  // only while the board is being built

// The 7 x 7 grid of letter codes, stored column by column as the messages carry it.
class Board {
 public:
  int at(int a, int b) const { return cells_[board::cellIndex(a, b)]; }
  void set(int a, int b, int code) { cells_[board::cellIndex(a, b)] = code; }
  void clear() { cells_.fill(kNoTile); }
  const board::Letters& codes() const { return cells_; }
  // The tiles fall toward the named edge; the used cells gather at the other end.
  void fall(int direction) { board::fall(cells_, direction, kEmptyCode); }

 private:
  board::Letters cells_{};
};

// What a word traced along `path` (distinct cells) scores on this board, as the table scores
// it: each letter's worth on its square, the word squares' multipliers, then the seven-letter
// bonus.
int wordPoints(const Board& board, std::span<const Cell> path);

// "a".."z" for letter codes, "*" for an empty cell, "t" for anything else.
char convertoletter(int code);

// The letter supply: maps a draw r in 1..98 to a letter code.
int letterFromDraw(int r);

}  // namespace zp::server
