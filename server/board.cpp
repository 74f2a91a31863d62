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

int wordPoints(const Board& board, std::span<const Cell> path) {
  int sum = board::wordPoints(board.codes(), path);
  // The seven-letter bonus is not multiplied.
  if (path.size() == static_cast<std::size_t>(kLongestWord)) sum += net::kBonusPoints;
  return sum;
}

}  // namespace zp::server
