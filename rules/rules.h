#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "rules/constants.h"

// The board's rules that the server and every player's window apply alike: coordinates,
// the neighbour test, letter values, the square pattern and the four falls.
namespace zp::board {

inline constexpr int kBoardSize = 7;
inline constexpr int kCellCount = kBoardSize * kBoardSize;
// Letter codes 1..26 are a..z.
inline constexpr int kFirstLetter = 1;
inline constexpr int kLastLetter = 26;

// Fall directions, as the messages carry them: the way the tiles move.
enum Direction { kDown = 1, kLeft = 2, kUp = 3, kRight = 4 };

// A board cell: column a (0 at the left), row b (0 at the top); (-1, -1) is none.
struct Cell {
  int a = -1;
  int b = -1;
  bool operator==(const Cell&) const = default;
  bool none() const { return a == -1 && b == -1; }
};

inline bool onBoard(int a, int b) {
  return a >= 0 && a < kBoardSize && b >= 0 && b < kBoardSize;
}
inline bool onBoard(Cell c) {
  return onBoard(c.a, c.b);
}
inline bool isLetter(int code) {
  return code >= kFirstLetter && code <= kLastLetter;
}

// Next to each other in one of the eight directions; a cell does not touch itself.
inline bool touching(Cell p, Cell q) {
  const int da = p.a - q.a, db = p.b - q.b;
  return (da != 0 || db != 0) && da >= -1 && da <= 1 && db >= -1 && db <= 1;
}

// The points printed on a letter's tile; anything that is not a letter is worth 1.
int letterworth(int code);

// The squares under the tiles; the pattern is symmetric about both diagonals.
enum class Square { kPlain, kBonus, kDoubleLetter, kTripleLetter, kDoubleWord, kTripleWord };
Square squareAt(Cell c);

// A tile's points on its square: doubled or tripled on a letter square, 20 more on the bonus
// square; a word square leaves them as they are.
int tilePoints(Square s, int worth);
// What a word square multiplies the whole word by; 1 for every other square.
int wordFactor(Square s);

// 49 letter codes, column by column (index a * 7 + b), as CMD_theboard carries them.
using Letters = std::array<int, kCellCount>;
inline constexpr std::size_t cellIndex(int a, int b) {
  return static_cast<std::size_t>(a * kBoardSize + b);
}

// The tiles of every line slide toward the edge the direction names, keeping their order;
// the cells holding `emptyCode` gather at the other end. Any direction other than the
// four falls down, as every side has always done.
void fall(Letters& letters, int direction, int emptyCode);

// A word's points as the table counts them, before the bonus for a seven-letter word: its
// tiles' points, then times the factor of every word square it crosses.
int wordPoints(const Letters& letters, std::span<const Cell> path);

// The board as it will lie after a fall, worked out before the fall is chosen so the word's
// maker can see it: `letters` is what fall() leaves, and `from` says for each cell where its
// tile comes from, so a window can tell the tiles that move from those that stay.
struct FallPreview {
  static constexpr int kRefilled = -1;
  Letters letters{};
  // Per cell (cellIndex), the cell its tile comes from, or kRefilled for a cell left empty
  // until the table refills it.
  std::array<int, kCellCount> from{};

  bool refilled(std::size_t cell) const { return from[cell] == kRefilled; }
  bool moved(std::size_t cell) const {
    return !refilled(cell) && from[cell] != static_cast<int>(cell);
  }
};
FallPreview previewFall(const Letters& letters, int direction, int emptyCode);

}  // namespace zp::board
