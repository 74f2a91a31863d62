#include "lobby/game_links.h"

#include <algorithm>
#include <random>

namespace zp::lobby {

void GameLinks::started(GameKind kind, std::string token, std::int64_t nowMs) {
  games_.push_back(Game{kind, std::move(token), nowMs, std::nullopt});
}

bool GameLinks::linkOpened(int link, std::string_view token, std::int64_t nowMs) {
  if (token.empty()) return false;
  for (Game& game : games_) {
    if (game.token != token) continue;
    // A token proves one game once, while that game is waiting for its link.
    if (game.link || game.startedMs + kLinkWaitMs <= nowMs) return false;
    game.link = link;
    return true;
  }
  return false;
}

void GameLinks::linkClosed(int link) {
  std::erase_if(games_, [link](const Game& game) { return game.link == link; });
}

void GameLinks::tick(std::int64_t nowMs) {
  std::erase_if(games_, [nowMs](const Game& game) {
    return !game.link && game.startedMs + kLinkWaitMs <= nowMs;
  });
}

void GameLinks::forgetWaiting(GameKind kind) {
  std::erase_if(games_, [kind](const Game& game) { return !game.link && game.kind == kind; });
}

int GameLinks::openGames() const {
  return static_cast<int>(std::count_if(games_.begin(), games_.end(),
                                        [](const Game& g) { return g.link.has_value(); }));
}

int GameLinks::waitingGames() const {
  return static_cast<int>(games_.size()) - openGames();
}

std::optional<int> GameLinks::hostLink() const {
  for (const Game& g : games_)
    if (g.kind == GameKind::kHost && g.link) return g.link;
  return std::nullopt;
}

bool GameLinks::hostStartedOrRunning() const {
  return std::any_of(games_.begin(), games_.end(),
                     [](const Game& g) { return g.kind == GameKind::kHost; });
}

std::string newGameToken() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device system;  // the system's own random source, not a seeded sequence
  std::string token;
  for (int word = 0; word < 4; ++word) {
    const std::uint32_t bits = system();
    for (int shift = 28; shift >= 0; shift -= 4) token += kHex[(bits >> shift) & 0xF];
  }
  return token;
}

}  // namespace zp::lobby
