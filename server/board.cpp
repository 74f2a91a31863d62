#include "server/board.h"

#include "net/catalogue.h"

namespace zp::server {

char convertoletter(int code) {
  if (code >= 1 && code <= 26) return static_cast<char>('a' + code - 1);
  return code == kEmptyCode ? '*' : 't';
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

namespace {

// A tile's points on its square; the word squares count toward the word's multiplier.
int tilePoints(Cell c, int value, int& doubles, int& triples) {
  switch (board::squareAt(c)) {
    case board::Square::kBonus:
      return value + 20;
    case board::Square::kDoubleLetter:
      return 2 * value;
    case board::Square::kTripleLetter:
      return 3 * value;
    case board::Square::kDoubleWord:
      ++doubles;
      return value;
    case board::Square::kTripleWord:
      ++triples;
      return value;
    case board::Square::kPlain:
      break;
  }
  return value;
}

}  // namespace

int wordPoints(const Board& board, std::span<const Cell> path) {
  int sum = 0, doubles = 0, triples = 0;
  for (const Cell c : path)
    sum += tilePoints(c, board::letterworth(board.at(c.a, c.b)), doubles, triples);
  for (int i = 0; i < doubles; ++i) sum *= 2;
  for (int i = 0; i < triples; ++i) sum *= 3;
  // The seven-letter bonus is not multiplied.
  if (path.size() == static_cast<std::size_t>(kLongestWord)) sum += net::kBonusPoints;
  return sum;
}

}  // namespace zp::server
