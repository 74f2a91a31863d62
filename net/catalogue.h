#pragma once

#include <span>
#include <string>
#include <string_view>

// Every message of the game, built in one place. Each builder returns the whole message,
// command word, fields and terminator, ready to be sent in one call.
namespace zp::net {

// The command words, shared by both directions where the word is the same.
namespace cmd {
inline constexpr std::string_view logininfo = "CMD_logininfo";
inline constexpr std::string_view kickhim = "CMD_kickhim";
inline constexpr std::string_view chat = "CMD_chat";
inline constexpr std::string_view action = "CMD_action";
inline constexpr std::string_view startgame = "CMD_startgame";
inline constexpr std::string_view justwatch = "CMD_justwatch";
inline constexpr std::string_view playerdone = "CMD_playerdone";
inline constexpr std::string_view direction = "CMD_direction";
inline constexpr std::string_view selectletter = "CMD_selectletter";
inline constexpr std::string_view selectclear = "CMD_selectclear";
inline constexpr std::string_view clearletter = "CMD_clearletter";
inline constexpr std::string_view shuffle = "CMD_shuffle";
inline constexpr std::string_view playasound = "CMD_playasound";

inline constexpr std::string_view sendlogininfo = "CMD_sendlogininfo";
inline constexpr std::string_view newplayerinfo = "CMD_newplayerinfo";
inline constexpr std::string_view havewrongversion = "CMD_havewrongversion";
inline constexpr std::string_view wrongversion = "CMD_wrongversion";
inline constexpr std::string_view existingplayers = "CMD_existingplayers";
inline constexpr std::string_view playerdisconnected = "CMD_playerdisconnected";
inline constexpr std::string_view nextplayer = "CMD_nextplayer";
inline constexpr std::string_view winner = "CMD_winner";
inline constexpr std::string_view full = "CMD_full";
inline constexpr std::string_view justwatching = "CMD_justwatching";
inline constexpr std::string_view theboard = "CMD_theboard";
inline constexpr std::string_view notvalid = "CMD_notvalid";
inline constexpr std::string_view madeword = "CMD_madeword";
inline constexpr std::string_view timeup = "CMD_timeup";
inline constexpr std::string_view gamestats = "CMD_gamestats";
inline constexpr std::string_view moving = "CMD_moving";
inline constexpr std::string_view useshuffle = "CMD_useshuffle";
inline constexpr std::string_view shufflesl = "CMD_shufflesl";
inline constexpr std::string_view bonus = "CMD_bonus";
}  // namespace cmd

// The version string both sides send and compare at login.
inline constexpr std::string_view kGameVersion = "1.0.15";

// A board cell in a message: column a, row b.
struct CellRef {
  int a = -1;
  int b = -1;
};

// The options of a game, as the host sends them and the server echoes them.
struct GameOptions {
  std::string hostName;
  int playTo = 0;
  int seconds = 0;
  bool team = false;
  int shuffles = 0;
};

// The eleven values a player who joins a running game is brought up to date with.
struct GameStats {
  int current = 0;
  int playTo = 0;
  int seconds = 0;
  int countdown = 0;
  bool team = false;
  int scores[4] = {};
  int teamA = 0;
  int teamB = 0;
};

// Client to server.
namespace to_server {
// The name is followed by an extra terminator, as players have always sent it.
std::string logininfo(int n, std::string_view version, std::string_view name);
std::string kickhim(int requester, int target);
std::string chat(int n, std::string_view text);
std::string action(int n, std::string_view text);
std::string startgame(const GameOptions& options);
std::string justwatch(int player, int mode);
// `path` holds the selected tiles in selection order; their indexes are 1, 2, ...
std::string playerdone(int n, std::span<const CellRef> path);
std::string direction(int n, int direction);
std::string selectletter(int n, int index, int a, int b);
std::string selectclear(int n);
std::string clearletter(int n, int index);
std::string shuffle(int n);
std::string playasound(int n, std::string_view sound);
}  // namespace to_server

// Server to players.
namespace to_players {
std::string sendlogininfo(int n);
std::string chat(int n, std::string_view name, std::string_view text);
std::string action(int n, std::string_view name, std::string_view text);
std::string newplayerinfo(int n, std::string_view name);
std::string havewrongversion(std::string_view name);
std::string wrongversion();
std::string existingplayers(int k, std::string_view name);
std::string playerdisconnected(int n, std::string_view name);
std::string startgame(const GameOptions& options);
std::string nextplayer(int n, int shufflesLeft);
std::string winner(std::string_view name);
std::string full();
std::string justwatching(int n, int mode);
// `codes` holds the 49 letter codes, column by column: index a * 7 + b.
std::string theboard(std::span<const int, 49> codes);
std::string notvalid(int n, std::string_view word);
std::string madeword(int n, std::string_view word, int points, int total, int teamA, int teamB,
                     std::span<const CellRef> path);
std::string timeup();
std::string gamestats(const GameStats& stats);
std::string selectletter(int n, int index, int a, int b);
std::string selectclear(int n);
std::string moving(int direction);
std::string clearletter(int n, int index);
std::string useshuffle(int n, int shufflesLeft, int countdown);
std::string shufflesl(const int (&left)[4]);
std::string bonus(int n, int bonus);
std::string playasound(int n, std::string_view sound);
}  // namespace to_players

}  // namespace zp::net
