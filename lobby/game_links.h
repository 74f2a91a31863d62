#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zp::lobby {

// A game the lobby started links back within this time, or is taken for one that did not
// start (or an older copy that links nowhere).
inline constexpr std::int64_t kLinkWaitMs = 30000;

enum class GameKind { kJoin, kHost };

// The games the lobby started and their lobby links. Each game is handed a token of its own
// when it starts, and its link proves it is that game by sending it: a link with any other
// token (another program on this computer) is refused, so strangers on the port change
// nothing the lobby counts or registers.
//
//   GameLinks links;
//   const std::string token = links.started(GameKind::kHost, now);  // handed to the game
//   links.linkOpened(7, token, now);  // from the listener: true, the hosted game runs
//   links.linkClosed(7);              // the game ended
class GameLinks {
 public:
  struct Game {
    GameKind kind = GameKind::kJoin;
    std::string token;
    std::int64_t startedMs = 0;
    std::optional<int> link;  // while open
    bool operator==(const Game&) const = default;
  };

  // A game starting with `token`, which no other game of this lobby has.
  void started(GameKind kind, std::string token, std::int64_t nowMs);
  // A link that sent `token`: true when it is a started game's, which then runs.
  bool linkOpened(int link, std::string_view token, std::int64_t nowMs);
  void linkClosed(int link);
  // Forgets started games that never linked back.
  void tick(std::int64_t nowMs);
  // Forgets the games of `kind` still waiting for their link: one that cannot link back.
  void forgetWaiting(GameKind kind);

  // Links open now: the games that are still running.
  int openGames() const;
  // Games started that have not linked back yet.
  int waitingGames() const;
  // A game this lobby started to host is running (its link is open).
  bool hosting() const { return hostLink().has_value(); }
  // That game's link, while it runs.
  std::optional<int> hostLink() const;
  // A game started to host has not linked back yet, or is running.
  bool hostStartedOrRunning() const;

 private:
  std::vector<Game> games_;  // oldest first
};

// A token for a game to prove itself with: 128 random bits from the system, as 32 hex digits.
std::string newGameToken();

}  // namespace zp::lobby
