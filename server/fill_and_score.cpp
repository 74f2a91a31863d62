// The board on the server: filling it, checking and scoring a submitted word.
#include <algorithm>

#include "server/table_server.h"

namespace zp::server {

void TableServer::createmaze() {
  for (int a = 0; a < kBoardSize; ++a)
    for (int b = 0; b < kBoardSize; ++b)
      if (const int code = board_.at(a, b); code == kNoTile || code == kEmptyCode)
        board_.set(a, b, letterFromDraw(random_.between(1, 98)));
  sendToAll(net::to_players::theboard({board_.codes()}));
}

void TableServer::playerdone(const net::PlayerDone& m, bool byComputer) {
  if (game_.current == 0 || m.n != game_.current) return;
  tplayer& p = players_[m.n];
  p.path.fill(Cell{});
  const std::vector<Cell>& path = m.path;
  if (path.empty()) return;
  // Readers hold a path to the board and the rack, but a cell off the board would read and
  // write past it here: this handler does not rely on what came before it.
  if (path.size() > p.path.size() ||
      !std::all_of(path.begin(), path.end(), [](Cell c) { return board::onBoard(c); }))
    return;

  std::string word;
  for (std::size_t i = 0; i < path.size(); ++i) {
    p.path[i] = path[i];
    if (i > 0) {
      for (std::size_t j = 0; j < i; ++j) {
        if (path[j] == path[i]) {
          // Once a turn is enough for the host to hear of it, however often it is sent.
          if (!game_.twiceNoticed) shell_.tellHost("stopping here - twice");
          game_.twiceNoticed = true;
          return;
        }
      }
      if (!touching(path[i], path[i - 1])) {
        // A computer turn that lost its way tries another word at once.
        if (!byComputer && (!p.connected || p.watching)) computerplay();
        return;
      }
    }
    const char letter = convertoletter(board_.at(path[i].a, path[i].b));
    word += letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
  }

  if (!spell_.checkword(word)) {
    sendTo(m.n, net::to_players::notvalid({m.n, word}));
    return;
  }

  game_.fallDirection = random_.between(1, 4);
  game_.lastMover = game_.current;
  shell_.stopTimer(ServerTimer::Timer1);
  game_.current = 0;

  const int sum = wordPoints(board_, path);
  for (const Cell c : path) board_.set(c.a, c.b, kEmptyCode);
  const bool sevenLetters = path.size() == static_cast<std::size_t>(kLongestWord);
  if (p.team == 1 || p.team == 2) game_.teamTotals[static_cast<std::size_t>(p.team - 1)] += sum;
  p.score += sum;

  sendToAll(net::to_players::madeword(
      {m.n, word, sum, p.score, game_.teamTotals[0], game_.teamTotals[1], path}));
  if (sevenLetters) sendToAll(net::to_players::bonus({m.n, net::kBonusPoints}));
  if (checkforwin(m.n)) return;

  // The computer's words move on faster; a human gets time to pick the fall direction.
  const int choice = game_.seconds >= kUnhurriedSeconds ? kUnhurriedFallSeconds : 5;
  startTurnTimer(kWordMade, p.connected && !p.watching ? choice : 2);
}

void TableServer::catchUp(int record) {
  sendTo(record, net::to_players::theboard({board_.codes()}));
  net::GameStats stats;
  stats.current = game_.current;
  stats.playTo = game_.playTo;
  stats.seconds = game_.seconds;
  stats.countdown = game_.countdown;
  stats.team = game_.team;
  for (int seat = 1; seat <= kSeats; ++seat) stats.scores[seat - 1] = players_[seat].score;
  stats.teamA = game_.teamTotals[0];
  stats.teamB = game_.teamTotals[1];
  sendTo(record, net::to_players::gamestats(stats));
  net::ShufflesLeft left;
  for (int seat = 1; seat <= kSeats; ++seat) left.left[seat - 1] = players_[seat].shufflesLeft;
  sendTo(record, net::to_players::shufflesl(left));
}

}  // namespace zp::server
