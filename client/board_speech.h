#pragma once

#include <string>

#include "client/board_model.h"

// What a screen reader says of the board: each cell and rack slot as words, so a player who
// cannot see the tiles hears the letter, its worth, its square and whether it is picked.
namespace zp::board {

// "E, 1 point, double word, row 4, column 4, picked 2nd"; an empty cell "empty, row 1,
// column 2". Row and column count from 1 at the top left.
std::string cellSpeech(const BoardModel& model, Cell c);
// "E, 1 point, slot 3"; an empty slot "empty, slot 3". Slot 1..7.
std::string slotSpeech(const BoardModel& model, int slot);
// 1st, 2nd, 3rd, 4th ...
std::string ordinal(int n);

}  // namespace zp::board
