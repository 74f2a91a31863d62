// A game through time: its start, whose turn it is, the turn timer, shuffles and the end.
#include <algorithm>

#include "net/fields.h"
#include "server/table_server.h"

namespace zp::server {
namespace {

// Bounds on the host's options: wide enough for any table, narrow enough that no count
// or score can overflow.
constexpr int kMaxPlayTo = 1'000'000;
constexpr int kMaxSeconds = 3600;
constexpr int kMaxShuffles = 100;

}  // namespace

void TableServer::startgame(std::string_view args) {
  Fields fields(args);
  net::GameOptions options;
  const auto hostName = fields.next();
  const auto playTo = fields.nextInt(0, kMaxPlayTo);
  const auto seconds = fields.nextInt(1, kMaxSeconds);
  const auto team = fields.next();
  const auto shuffles = fields.nextInt(0, kMaxShuffles);
  if (!hostName || !playTo || !seconds || !team || !shuffles) return;

  shell_.stopTimer(ServerTimer::Timer1);
  shell_.stopTimer(ServerTimer::computertimer);
  game_ = GameState{};
  game_.running = true;
  game_.playTo = *playTo;
  game_.seconds = *seconds;
  game_.team = *team == "t";
  game_.shufflesPerPlayer = *shuffles;
  for (int seat = 1; seat <= kSeats; ++seat) {
    players_[seat].score = 0;
    players_[seat].watching = false;
    players_[seat].shufflesLeft = *shuffles;
  }
  options.hostName = *hostName;
  options.playTo = *playTo;
  options.seconds = *seconds;
  options.team = game_.team;
  options.shuffles = *shuffles;
  sendToAll(net::to_players::startgame(options));

  board_.clear();
  createmaze();
  startnextround();
}

void TableServer::startnextround() {
  for (int seat = 1; seat <= kSeats; ++seat) players_[seat].path.fill(Cell{});
  createmaze();
  findplayer();
}

int TableServer::seatAfter(int seat) const {
  // Seat 2 always plays (the computer when nobody sits there); in a team game a seat also
  // plays when its partner's opponent across the table is a human, to keep teams even.
  for (;;) {
    seat = seat % kSeats + 1;
    if (players_[seat].connected || seat == 2) return seat;
    if (game_.team && seat == 4 && players_[3].connected) return seat;
    if (game_.team && seat == 3 && players_[4].connected) return seat;
  }
}

bool TableServer::computerHasSeat(int seat) const {
  return !players_[seat].connected || players_[seat].watching;
}

void TableServer::handTurnToComputer() {
  game_.computerCountdown = 5;
  shell_.startTimer(ServerTimer::computertimer);
}

void TableServer::startTurnTimer(int phase, int countdown) {
  game_.phase = phase;
  game_.countdown = countdown;
  shell_.startTimer(ServerTimer::Timer1);
}

void TableServer::findplayer() {
  game_.current = seatAfter(game_.lastMover);
  game_.lastMover = 0;
  game_.twiceNoticed = false;
  tplayer& p = players_[game_.current];
  p.path.fill(Cell{});
  sendToAll(net::to_players::nextplayer(game_.current, p.shufflesLeft));
  if (computerHasSeat(game_.current)) handTurnToComputer();
  startTurnTimer(kTurnRunning, game_.seconds + 4);
}

void TableServer::Timer1Timer() {
  if (--game_.countdown >= 1) return;
  shell_.stopTimer(ServerTimer::Timer1);
  switch (game_.phase) {
    case kTurnRunning:
      if (checkforwin(game_.current)) return;
      game_.lastMover = game_.current;
      startTurnTimer(kPause, 4);
      sendToAll(net::to_players::timeup());
      return;
    case kWordMade:
      sendToAll(net::to_players::moving(game_.fallDirection));
      board_.fall(game_.fallDirection);
      startTurnTimer(kPause, 4);
      return;
    case kPause:
      startnextround();
      return;
    default:
      return;
  }
}

bool TableServer::checkforwin(int n) {
  // Only a full round can end the game, so every playing seat has had as many turns.
  if (n < 1 || n > kSeats || seatAfter(n) != 1) return false;
  std::string winner;
  if (game_.team) {
    const int a = game_.teamTotals[0], b = game_.teamTotals[1];
    if ((a < game_.playTo && b < game_.playTo) || a == b) return false;
    winner = a > b ? "Team A" : "Team B";
  } else {
    int leader = 1;
    for (int seat = 2; seat <= kSeats; ++seat)
      if (players_[seat].score > players_[leader].score) leader = seat;
    if (players_[leader].score < game_.playTo) return false;
    for (int seat = 1; seat <= kSeats; ++seat)
      if (seat != leader && players_[seat].score == players_[leader].score) return false;
    winner = players_[leader].name;
    if (leader == 2 && winner.empty()) winner = kComputerName;
  }
  game_.running = false;
  shell_.stopTimer(ServerTimer::Timer1);
  shell_.stopTimer(ServerTimer::computertimer);
  // Nobody holds a turn after the end, in a team game too: a word sent now must not
  // score or start another round.
  game_.current = 0;
  game_.phase = kNoPhase;
  sendToAll(net::to_players::winner(winner));
  return true;
}

void TableServer::shuffle(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  if (!n || *n != game_.current || players_[*n].shufflesLeft < 1) return;
  tplayer& p = players_[*n];
  --p.shufflesLeft;
  game_.countdown += game_.seconds / 2;
  sendToAll(net::to_players::useshuffle(*n, p.shufflesLeft, game_.countdown));
  board_.clear();
  createmaze();
}

void TableServer::direction(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  const auto direction = fields.nextInt(1, 4);
  // Only while the word's tiles wait to fall; and a choice only ever hastens the fall,
  // so a maker sending directions again and again cannot hold the table up.
  if (!n || !direction || *n != game_.lastMover || game_.phase != kWordMade) return;
  game_.fallDirection = *direction;
  game_.countdown = std::min(game_.countdown, 2);
}

void TableServer::selectletter(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  const auto index = fields.nextInt(1, kPathLength);
  const auto a = fields.nextInt(0, kBoardSize - 1);
  const auto b = fields.nextInt(0, kBoardSize - 1);
  if (!n || !index || !a || !b || *n != game_.current) return;
  sendToAll(net::to_players::selectletter(*n, *index, *a, *b), *n);
}

void TableServer::selectclear(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  if (!n || *n != game_.current) return;
  sendToAll(net::to_players::selectclear(*n), *n);
}

void TableServer::clearletter(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  const auto index = fields.nextInt(1, kPathLength);
  if (!n || !index || *n != game_.current) return;
  sendToAll(net::to_players::clearletter(*n, *index), *n);
}

}  // namespace zp::server
