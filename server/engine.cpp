// The board on the server: filling it, checking and scoring a submitted word.
#include "net/fields.h"
#include "server/table_server.h"

namespace zp::server {

void TableServer::createmaze() {
  for (int a = 0; a < kBoardSize; ++a)
    for (int b = 0; b < kBoardSize; ++b)
      if (const int code = board_.at(a, b); code == kNoTile || code == kEmptyCell)
        board_.set(a, b, letterFromDraw(random_.between(1, 98)));
  sendToAll(net::to_players::theboard(board_.codes()));
}

void TableServer::playerdone(std::string_view args, bool byComputer) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  if (!n || game_.current == 0 || *n != game_.current) return;
  tplayer& p = players_[*n];
  p.path.fill(Cell{});
  if (fields.atEnd() || fields.rest().empty()) return;

  // Read the whole path before acting on it. Tile i must carry index i: a path whose
  // indexes skip or repeat would spell one word and score other tiles.
  std::array<Cell, kPathLength> path{};
  std::size_t length = 0;
  while (!fields.atEnd()) {
    const auto index = fields.nextInt(1, kPathLength);
    const auto a = fields.nextInt(0, kBoardSize - 1);
    const auto b = fields.nextInt(0, kBoardSize - 1);
    if (!index || !a || !b || length == kPathLength || *index != static_cast<int>(length) + 1)
      return;
    path[length++] = Cell{*a, *b};
  }

  std::string word;
  for (std::size_t i = 0; i < length; ++i) {
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
    sendTo(*n, net::to_players::notvalid(*n, word));
    return;
  }

  game_.fallDirection = random_.between(1, 4);
  game_.lastMover = game_.current;
  shell_.stopTimer(ServerTimer::Timer1);
  game_.current = 0;

  int sum = 0, doubles = 0, triples = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const Cell c = path[i];
    const int value = letterworth(board_.at(c.a, c.b));
    int bonus = anybonus(c.a, c.b, value);
    if (bonus == kTripleWord) ++triples, bonus = 0;
    if (bonus == kDoubleWord) ++doubles, bonus = 0;
    sum += value + bonus;
    board_.set(c.a, c.b, kEmptyCell);
  }
  for (int i = 0; i < doubles; ++i) sum *= 2;
  for (int i = 0; i < triples; ++i) sum *= 3;
  const bool sevenLetters = length == kPathLength;
  if (sevenLetters) sum += 20;
  if (p.team == 1 || p.team == 2) game_.teamTotals[static_cast<std::size_t>(p.team - 1)] += sum;
  p.score += sum;

  std::array<net::CellRef, kPathLength> tiles{};
  for (std::size_t i = 0; i < length; ++i) tiles[i] = {path[i].a, path[i].b};
  sendToAll(net::to_players::madeword(*n, word, sum, p.score, game_.teamTotals[0],
                                      game_.teamTotals[1], std::span(tiles).first(length)));
  if (sevenLetters) sendToAll(net::to_players::bonus(*n, 20));
  if (checkforwin(*n)) return;

  // The computer's words move on faster; a human gets time to pick the fall direction.
  startTurnTimer(kWordMade, p.connected && !p.watching ? 5 : 2);
}

void TableServer::catchUp(int record) {
  sendTo(record, net::to_players::theboard(board_.codes()));
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
  int left[kSeats];
  for (int seat = 1; seat <= kSeats; ++seat) left[seat - 1] = players_[seat].shufflesLeft;
  sendTo(record, net::to_players::shufflesl(left));
}

}  // namespace zp::server
