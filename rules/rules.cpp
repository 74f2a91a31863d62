#include "rules/rules.h"

namespace zp::board {

int letterworth(int code) {
  //                             a  b  c  d  e  f  g  h  i  j  k  l  m
  static const int kWorth[26] = {1, 3, 3, 1, 1, 5, 3, 3, 1, 5, 5, 1, 3,
                                 //  n  o  p  q   r  s  t  u  v  w  x   y  z
                                 1, 1, 3, 10, 1, 1, 1, 1, 7, 5, 10, 3, 10};
  return isLetter(code) ? kWorth[code - 1] : 1;
}

Square squareAt(Cell c) {
  auto is = [&](int x, int y) { return (c.a == x && c.b == y) || (c.a == y && c.b == x); };
  if (c.a == 3 && c.b == 3) return Square::kBonus;
  if (is(0, 0) || is(0, 6) || is(6, 6)) return Square::kDoubleLetter;
  if (is(2, 2) || is(2, 4) || is(4, 4)) return Square::kTripleLetter;
  if (is(1, 1) || is(1, 5) || is(5, 5)) return Square::kDoubleWord;
  if (is(0, 3) || is(3, 6)) return Square::kTripleWord;
  return Square::kPlain;
}

int tilePoints(Square s, int worth) {
  switch (s) {
    case Square::kBonus:
      return worth + 20;
    case Square::kDoubleLetter:
      return 2 * worth;
    case Square::kTripleLetter:
      return 3 * worth;
    default:
      return worth;
  }
}

int wordFactor(Square s) {
  return s == Square::kDoubleWord ? 2 : s == Square::kTripleWord ? 3 : 1;
}

int wordPoints(const Letters& letters, std::span<const Cell> path) {
  int sum = 0, factor = 1;
  for (const Cell c : path) {
    if (!onBoard(c)) continue;
    const Square s = squareAt(c);
    sum += tilePoints(s, letterworth(letters[cellIndex(c.a, c.b)]));
    factor *= wordFactor(s);
  }
  return sum * factor;
}

namespace {

using Line = std::array<std::size_t, kBoardSize>;

// Line k of a fall, from the edge the tiles move toward inward.
Line lineOf(int direction, int k) {
  Line line{};
  for (int i = 0; i < kBoardSize; ++i) {
    const int back = kBoardSize - 1 - i;
    switch (direction) {
      case kLeft:  // row k, from column 0
        line[i] = cellIndex(i, k);
        break;
      case kUp:  // column k, from row 0
        line[i] = cellIndex(k, i);
        break;
      case kRight:  // row k, from column 6
        line[i] = cellIndex(back, k);
        break;
      default:  // column k, from row 6
        line[i] = cellIndex(k, back);
        break;
    }
  }
  return line;
}

// Compacts one line toward its first cell: each empty cell, from the edge inward, takes
// the nearest tile behind it.
void compact(Letters& letters, const Line& line, int emptyCode) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (letters[line[i]] != emptyCode) continue;
    for (std::size_t j = i + 1; j < line.size(); ++j) {
      if (letters[line[j]] != emptyCode) {
        letters[line[i]] = letters[line[j]];
        letters[line[j]] = emptyCode;
        break;
      }
    }
  }
}

}  // namespace

void fall(Letters& letters, int direction, int emptyCode) {
  for (int k = 0; k < kBoardSize; ++k) compact(letters, lineOf(direction, k), emptyCode);
}

FallPreview previewFall(const Letters& letters, int direction, int emptyCode) {
  FallPreview preview;
  for (int k = 0; k < kBoardSize; ++k) {
    const Line line = lineOf(direction, k);
    // The line's tiles, in order, take its first places; the rest wait for the refill.
    std::size_t to = 0;
    for (const std::size_t cell : line) {
      if (letters[cell] == emptyCode) continue;
      preview.letters[line[to]] = letters[cell];
      preview.from[line[to]] = static_cast<int>(cell);
      ++to;
    }
    for (; to < line.size(); ++to) {
      preview.letters[line[to]] = emptyCode;
      preview.from[line[to]] = FallPreview::kRefilled;
    }
  }
  return preview;
}

}  // namespace zp::board
