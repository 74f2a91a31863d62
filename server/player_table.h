#pragma once

#include <array>
#include <string>

#include "server/board.h"

namespace zp::server {

inline constexpr int kSeats = 4;        // records 1..4 play
inline constexpr int kMaxRecords = 9;   // records 5..9 watch
inline constexpr int kFullRecord = 10;  // holds a connection only while refusing it
inline constexpr int kPathLength = 7;

// One record of the player table.
struct tplayer {
  std::string name;  // empty while the record is free
  bool connected = false;
  int score = 0;
  bool watching = false;  // the computer plays this seat's turns
  std::array<Cell, kPathLength> path{};
  int team = 0;  // 1 for records 1 and 3, 2 for records 2 and 4
  int shufflesLeft = 0;
};

}  // namespace zp::server
