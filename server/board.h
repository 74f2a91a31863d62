#pragma once

#include <array>
#include <span>

namespace zp::server {

// Letter codes on the server's board: 1..26 are a..z.
inline constexpr int kEmptyCell = 27;  // its tile was used in a word, not refilled yet
inline constexpr int kNoTile = 0;      // only while the board is being built

inline constexpr int kBoardSize = 7;

// Fall directions, as CMD_direction and CMD_moving carry them.
enum Direction { kDown = 1, kLeft = 2, kUp = 3, kRight = 4 };

struct Cell {
  int a = -1;  // column, 0 at the left
  int b = -1;  // row, 0 at the top
  bool operator==(const Cell&) const = default;
  bool none() const { return a == -1 && b == -1; }
};

inline bool onBoard(int a, int b) {
  return a >= 0 && a < kBoardSize && b >= 0 && b < kBoardSize;
}
// Next to each other in one of the eight directions.
inline bool touching(Cell p, Cell q) {
  const int da = p.a - q.a, db = p.b - q.b;
  return (da != 0 || db != 0) && da >= -1 && da <= 1 && db >= -1 && db <= 1;
}

// The 7 x 7 grid of letter codes, stored column by column as the messages carry it.
class Board {
 public:
  int at(int a, int b) const { return cells_[index(a, b)]; }
  void set(int a, int b, int code) { cells_[index(a, b)] = code; }
  void clear() { cells_.fill(kNoTile); }
  std::span<const int, 49> codes() const { return cells_; }

  // The tiles of each line slide toward the named edge in their order; the empty cells
  // gather at the other end. Any other direction falls down.
  void fall(int direction);
  void movedown();
  void moveleft();
  void moveup();
  void moveright();

 private:
  static std::size_t index(int a, int b) { return static_cast<std::size_t>(a * kBoardSize + b); }
  // Compacts one line of cells toward its first position.
  void compact(std::array<int*, kBoardSize> line);

  std::array<int, kBoardSize * kBoardSize> cells_{};
};

// Points of a letter code; anything that is not a letter is worth 1.
int letterworth(int code);

// Bonus markers of the word-multiplying squares.
inline constexpr int kDoubleWord = 500;
inline constexpr int kTripleWord = 1000;
// Extra points of the tile on (a, b) worth `value`, or one of the two word markers.
int anybonus(int a, int b, int value);

// "a".."z" for letter codes, "*" for an empty cell, "t" for anything else.
char convertoletter(int code);

// The letter supply: maps a draw r in 1..98 to a letter code.
int letterFromDraw(int r);

}  // namespace zp::server
