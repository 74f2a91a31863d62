#pragma once

#include <string>

#include "client/board_play.h"

// The answers to the questions a player asks with one key, whatever has the focus: what a
// sighted player sees at a glance.
namespace zp::client {

// "Your turn, 42 seconds left." / "Bo's turn, 12 seconds left." / "No game is on."
std::string whoseTurn(const board::BoardPlay& play, int own);
// "Ann 42, Tobo 30." and the teams' scores in a team game.
std::string scores(const board::BoardPlay& play);
// The newest `count` words made, newest first.
std::string lastWords(const board::BoardPlay& play, int count = 3);
// "Rack: T, I, R, E." or "The rack is empty."
std::string rack(const board::BoardModel& model);
// A row (b) or a column (a) of the board, read in order: "Row 4: T, I, blank, ...".
std::string boardRow(const board::BoardModel& model, int b);
std::string boardColumn(const board::BoardModel& model, int a);

}  // namespace zp::client
