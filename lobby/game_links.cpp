#include "lobby/game_links.h"

#include <algorithm>

namespace zp::lobby {

void GameLinks::started(GameKind kind, std::int64_t nowMs) {
  games_.push_back(Game{kind, nowMs, std::nullopt});
}

void GameLinks::linkOpened(int link, std::int64_t nowMs) {
  for (Game& game : games_) {
    if (!game.link && game.startedMs + kLinkWaitMs > nowMs) {
      game.link = link;
      return;
    }
  }
  games_.push_back(Game{GameKind::kJoin, nowMs, link});
}

void GameLinks::linkClosed(int link) {
  std::erase_if(games_, [link](const Game& game) { return game.link == link; });
}

void GameLinks::tick(std::int64_t nowMs) {
  std::erase_if(games_, [nowMs](const Game& game) {
    return !game.link && game.startedMs + kLinkWaitMs <= nowMs;
  });
}

int GameLinks::openGames() const {
  return static_cast<int>(std::count_if(games_.begin(), games_.end(),
                                        [](const Game& g) { return g.link.has_value(); }));
}

int GameLinks::waitingGames() const {
  return static_cast<int>(games_.size()) - openGames();
}

bool GameLinks::hosting() const {
  return std::any_of(games_.begin(), games_.end(),
                     [](const Game& g) { return g.kind == GameKind::kHost && g.link.has_value(); });
}

bool GameLinks::hostStartedOrRunning() const {
  return std::any_of(games_.begin(), games_.end(),
                     [](const Game& g) { return g.kind == GameKind::kHost; });
}

}  // namespace zp::lobby
