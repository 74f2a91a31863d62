#include "server/board.h"

namespace zp::server {

void Board::compact(std::array<int*, kBoardSize> line) {
  // Cell by cell from the edge inward, each empty cell takes the nearest tile behind it.
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (*line[i] != kEmptyCell) continue;
    for (std::size_t j = i + 1; j < line.size(); ++j) {
      if (*line[j] != kEmptyCell) {
        *line[i] = *line[j];
        *line[j] = kEmptyCell;
        break;
      }
    }
  }
}

void Board::movedown() {
  for (int a = 0; a < kBoardSize; ++a) {
    std::array<int*, kBoardSize> line;
    for (int i = 0; i < kBoardSize; ++i) line[i] = &cells_[index(a, kBoardSize - 1 - i)];
    compact(line);
  }
}

void Board::moveup() {
  for (int a = 0; a < kBoardSize; ++a) {
    std::array<int*, kBoardSize> line;
    for (int i = 0; i < kBoardSize; ++i) line[i] = &cells_[index(a, i)];
    compact(line);
  }
}

void Board::moveleft() {
  for (int b = 0; b < kBoardSize; ++b) {
    std::array<int*, kBoardSize> line;
    for (int i = 0; i < kBoardSize; ++i) line[i] = &cells_[index(i, b)];
    compact(line);
  }
}

void Board::moveright() {
  for (int b = 0; b < kBoardSize; ++b) {
    std::array<int*, kBoardSize> line;
    for (int i = 0; i < kBoardSize; ++i) line[i] = &cells_[index(kBoardSize - 1 - i, b)];
    compact(line);
  }
}

void Board::fall(int direction) {
  switch (direction) {
    case kLeft:
      return moveleft();
    case kUp:
      return moveup();
    case kRight:
      return moveright();
    default:
      return movedown();
  }
}

int letterworth(int code) {
  //                      a  b  c  d  e  f  g  h  i  j  k  l  m  n  o  p  q   r  s  t  u  v  w  x y
  //                      z
  static const int kWorth[26] = {1, 3, 3, 1,  1, 5, 3, 3, 1, 5, 5,  1, 3,
                                 1, 1, 3, 10, 1, 1, 1, 1, 7, 5, 10, 3, 10};
  return code >= 1 && code <= 26 ? kWorth[code - 1] : 1;
}

int anybonus(int a, int b, int value) {
  auto is = [&](int x, int y) { return (a == x && b == y) || (a == y && b == x); };
  if (a == 3 && b == 3) return 20;
  if (is(0, 0) || is(0, 6) || is(6, 6)) return value;
  if (is(2, 2) || is(2, 4) || is(4, 4)) return 2 * value;
  if (is(1, 1) || is(1, 5) || is(5, 5)) return kDoubleWord;
  if (is(0, 3) || is(3, 6)) return kTripleWord;
  return 0;
}

char convertoletter(int code) {
  if (code >= 1 && code <= 26) return static_cast<char>('a' + code - 1);
  return code == kEmptyCell ? '*' : 't';
}

int letterFromDraw(int r) {
  // Upper end of each letter's range of draws, in the order of the supply table.
  struct Range {
    int upTo;
    char letter;
  };
  static constexpr Range kSupply[] = {
      {9, 'a'},  {21, 'e'}, {30, 'i'}, {38, 'o'}, {41, 'u'}, {46, 'd'}, {49, 'g'},
      {51, 'h'}, {55, 'l'}, {57, 'm'}, {63, 'n'}, {65, 'p'}, {71, 'r'}, {75, 's'},
      {81, 't'}, {83, 'y'}, {85, 'b'}, {87, 'c'}, {89, 'f'}, {90, 'j'}, {91, 'k'},
      {93, 'w'}, {94, 'q'}, {96, 'v'}, {97, 'x'}, {98, 'z'}};
  for (const Range& range : kSupply)
    if (r <= range.upTo) return range.letter - 'a' + 1;
  return 'z' - 'a' + 1;
}

}  // namespace zp::server
