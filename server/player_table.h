#pragma once

#include <array>
#include <cstdint>
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
  // When the player logged in, counted in logins: who was here longest takes the host's role.
  std::uint64_t arrival = 0;
  // What this player proves itself with to take the seat back after a dropped connection.
  std::string token;
  // Seconds the seat stays held for its player, whose connection dropped; 0 while not held.
  int heldFor = 0;
};

}  // namespace zp::server
