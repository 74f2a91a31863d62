#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zp::lobby {

// A game the lobby started links back within this time, or is taken for one that did not
// start (or an older copy that links nowhere).
inline constexpr std::int64_t kLinkWaitMs = 30000;

enum class GameKind { kJoin, kHost };

// The games the lobby started and the lobby links that came in. A link carries nothing but
// its being open, so it is matched to the oldest started game still waiting for its link; a
// link nobody waits for (a game started by hand with the lobby's command line) still counts
// as an open game. With several games started within the same few seconds the match may pair
// the wrong two, which changes nothing but which of them the lobby takes to be the host.
//
//   GameLinks links;
//   links.started(GameKind::kHost, now);
//   links.linkOpened(7, now);   // from the listener
//   links.linkClosed(7);        // the game ended
class GameLinks {
 public:
  struct Game {
    GameKind kind = GameKind::kJoin;
    std::int64_t startedMs = 0;
    std::optional<int> link;  // while open
    bool operator==(const Game&) const = default;
  };

  void started(GameKind kind, std::int64_t nowMs);
  void linkOpened(int link, std::int64_t nowMs);
  void linkClosed(int link);
  // Forgets started games that never linked back.
  void tick(std::int64_t nowMs);

  // Links open now: the games that are still running.
  int openGames() const;
  // Games started that have not linked back yet.
  int waitingGames() const;
  // A game this lobby started to host is running (its link is open).
  bool hosting() const;
  // A game started to host has not linked back yet, or is running.
  bool hostStartedOrRunning() const;

 private:
  std::vector<Game> games_;  // started ones, oldest first, then strays
};

}  // namespace zp::lobby
