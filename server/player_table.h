#pragma once

#include <array>
#include <string>

#include "server/board.h"

namespace zp::server {

inline constexpr int kFullRecord = 10;  // holds a connection only while refusing it

// One record of the player table.
struct tplayer {
  std::string name;  // empty while the record is free
  bool connected = false;
  int score = 0;
  bool watching = false;  // the computer plays this seat's turns
  std::array<Cell, kLongestWord> path{};
  int team = 0;  // 1 for records 1 and 3, 2 for records 2 and 4
  int shufflesLeft = 0;
  // What this connection may still have relayed before the next relaytimer tick, and
  // whether it has been told it is sending too fast since its allowance was last full.
  int relayAllowance = 0;
  bool toldTooFast = false;
};

}  // namespace zp::server
