#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "server/board.h"

namespace zp::server {

// One board as the computer player reads it for one search: each cell's letter, where each
// letter lies and how often. Built once per search, so a candidate is only tried from the
// cells that hold its first letter, and skipped when the board lacks one of its letters.
// What it finds is exactly what a scan of all 49 cells in column order finds.
//
//   const BoardLetters letters(board);
//   if (letters.mayHold(word))
//     if (auto path = letters.checkforthere(word)) submit(*path);
class BoardLetters {
 public:
  explicit BoardLetters(const Board& board);

  // False when some letter of `word` is on fewer cells than the word uses it: a trace takes
  // every cell once, so such a word can never be traced.
  bool mayHold(std::string_view word) const;
  // The trace from the first start cell (column by column) from which `word` can be traced.
  std::optional<std::vector<Cell>> checkforthere(std::string_view word) const;

 private:
  std::optional<std::vector<Cell>> getpoint(std::string_view word, Cell start) const;
  Cell checkpoint(char letter, Cell from) const;
  char letterAt(int a, int b) const { return letters_[board::cellIndex(a, b)]; }

  // Slots 0..25 are a..z, slot 26 an emptied cell.
  static constexpr int kSlots = 27;
  std::array<char, board::kCellCount> letters_{};
  std::array<std::uint8_t, kSlots> counts_{};
  std::array<std::uint8_t, kSlots + 1> firstCell_{};  // each slot's run in cellsByLetter_
  std::array<std::uint8_t, board::kCellCount> cellsByLetter_{};  // cell indexes, column order
};

}  // namespace zp::server
