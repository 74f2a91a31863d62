#pragma once

#include <cstddef>
#include <string_view>

// The game's numbers and names that both sides and every window agree on, each defined
// here once.
namespace zp {

// The version both sides send and compare at login, and that every program reports.
inline constexpr std::string_view kGameVersion = "1.0.15";

inline constexpr int kSeats = 4;      // players 1..4 play
inline constexpr int kMaxPlayer = 9;  // players 5..9 watch
// The longest word: the rack has seven slots.
inline constexpr int kLongestWord = 7;

// A board cell whose tile went into a word and is not refilled yet: the table's code, which
// the messages carry; the player's window keeps such a cell as no letter at all.
inline constexpr int kEmptyCode = 27;
inline constexpr int kNoLetter = 0;

// The longest player name, in characters: longer names are cut where they enter. A character
// takes at most four bytes of UTF-8, and a byte that starts no character counts as one, so
// a name never holds more than kMaxNameBytes bytes; the longest chat line is measured
// against that.
inline constexpr int kMaxNameLength = 32;
inline constexpr int kMaxNameBytes = 4 * kMaxNameLength;

// What a seat shows when no one sits in it, and the computer player's name.
inline constexpr std::string_view kWaiting = "<Waiting>";
inline constexpr std::string_view kComputerName = "Tobo";

// An unhurried game: no turn ends for time, and the fall waits 20 seconds for its choice.
// It travels as the longest turn every table and window reads (an hour), so one that does
// not know it plays on with hour-long turns.
inline constexpr int kUnhurriedSeconds = 3600;
inline constexpr int kUnhurriedFallSeconds = 20;

}  // namespace zp
