#include "server/board_letters.h"

namespace zp::server {
namespace {

// A letter's slot, or -1 for a character no cell ever shows.
int slotOf(char letter) {
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  return letter == '*' ? 26 : -1;
}

}  // namespace

BoardLetters::BoardLetters(const Board& board) {
  for (std::size_t i = 0; i < letters_.size(); ++i) {
    letters_[i] = convertoletter(board.codes()[i]);
    ++counts_[static_cast<std::size_t>(slotOf(letters_[i]))];
  }
  for (int slot = 0; slot < kSlots; ++slot)
    firstCell_[slot + 1] = static_cast<std::uint8_t>(firstCell_[slot] + counts_[slot]);
  // Cell indexes run column by column, so each letter's cells keep the scan's order.
  std::array<std::uint8_t, kSlots> next{};
  for (std::size_t i = 0; i < letters_.size(); ++i) {
    const auto slot = static_cast<std::size_t>(slotOf(letters_[i]));
    cellsByLetter_[firstCell_[slot] + next[slot]++] = static_cast<std::uint8_t>(i);
  }
}

bool BoardLetters::mayHold(std::string_view word) const {
  for (std::size_t i = 0; i < word.size(); ++i) {
    const int slot = slotOf(word[i]);
    if (slot < 0) return false;
    int uses = 1;
    for (std::size_t j = 0; j < i; ++j) uses += word[j] == word[i] ? 1 : 0;
    if (uses > counts_[static_cast<std::size_t>(slot)]) return false;
  }
  return true;
}

std::optional<std::vector<Cell>> BoardLetters::checkforthere(std::string_view word) const {
  if (word.empty() || word.size() > static_cast<std::size_t>(zp::kLongestWord)) return std::nullopt;
  const int slot = slotOf(word[0]);
  if (slot < 0) return std::nullopt;
  for (int i = firstCell_[slot]; i < firstCell_[slot + 1]; ++i) {
    const int cell = cellsByLetter_[static_cast<std::size_t>(i)];
    if (auto path = getpoint(word, {cell / kBoardSize, cell % kBoardSize})) return path;
  }
  return std::nullopt;
}

std::optional<std::vector<Cell>> BoardLetters::getpoint(std::string_view word, Cell start) const {
  std::array<Cell, zp::kLongestWord> trace{};
  trace[0] = start;
  for (std::size_t s = 1; s < word.size(); ++s) {
    const Cell next = checkpoint(word[s], trace[s - 1]);
    // No backtracking: only the first neighbour found is tried. The search never steps
    // into column 0 after the first letter.
    if (next.none() || next.a == 0) return std::nullopt;
    for (std::size_t earlier = 0; earlier < s; ++earlier)
      if (trace[earlier] == next) return std::nullopt;
    trace[s] = next;
  }
  // The whole trace, start cell included, so a start in column 0 is submitted as traced and
  // never turned away as not touching.
  return std::vector<Cell>(trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(word.size()));
}

Cell BoardLetters::checkpoint(char letter, Cell from) const {
  const int a = from.a, b = from.b;
  // The fixed neighbour order; the conditions keep the search out of row 0 and column 0
  // unless the cell already lies there.
  const Cell order[8] = {{a, b + 1},     {a, b - 1}, {a - 1, b},     {a - 1, b + 1},
                         {a - 1, b - 1}, {a + 1, b}, {a + 1, b + 1}, {a + 1, b - 1}};
  const bool allowed[8] = {b + 1 <= 6,
                           b - 1 >= 1,
                           a - 1 >= 1,
                           a - 1 >= 1 && b + 1 <= 6,
                           a - 1 >= 1 && b - 1 >= 1,
                           a + 1 <= 6,
                           a + 1 <= 6 && b + 1 <= 6,
                           a + 1 <= 6 && b - 1 >= 1};
  for (int i = 0; i < 8; ++i)
    if (allowed[i] && letterAt(order[i].a, order[i].b) == letter) return order[i];
  return Cell{};
}

}  // namespace zp::server
