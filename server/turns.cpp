// A game through time: its start, whose turn it is, the turn timer, shuffles and the end.
#include <algorithm>

#include "server/table_server.h"

namespace zp::server {

void TableServer::startgame(const net::GameOptions& m) {
  shell_.stopTimer(ServerTimer::Timer1);
  shell_.stopTimer(ServerTimer::computertimer);
  game_ = GameState{};
  game_.running = true;
  game_.playTo = m.playTo;
  game_.seconds = m.seconds;
  game_.team = m.team;
  game_.shufflesPerPlayer = m.shuffles;
  for (int seat = 1; seat <= kSeats; ++seat) {
    players_[seat].score = 0;
    players_[seat].watching = false;
    players_[seat].shufflesLeft = m.shuffles;
  }
  sendToAll(net::to_players::startgame(m));
  shell_.news("Game started by " + m.hostName + ": play to " + std::to_string(m.playTo) + ", " +
              std::to_string(m.seconds) + " s a turn" + (m.team ? ", teams" : "") + ", " +
              std::to_string(m.shuffles) + " shuffles each");

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
  // plays when its partner's opponent across the table is a human, to keep teams even. A
  // seat held for a dropped player keeps its place.
  for (;;) {
    seat = seat % kSeats + 1;
    if (present(seat) || seat == 2) return seat;
    if (game_.team && seat == 4 && present(3)) return seat;
    if (game_.team && seat == 3 && present(4)) return seat;
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
  sendToAll(net::to_players::nextplayer({game_.current, p.shufflesLeft}));
  if (computerHasSeat(game_.current)) handTurnToComputer();
  startTurnTimer(kTurnRunning, game_.seconds + 4);
}

void TableServer::Timer1Timer() {
  // An unhurried turn waits for its word however long it takes.
  if (game_.phase == kTurnRunning && game_.seconds >= kUnhurriedSeconds) return;
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
      sendToAll(net::to_players::moving({game_.fallDirection}));
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
  // Only a full round can end the game, so every playing seat has had as many turns. A round
  // starts at the lowest seat that plays now: seat 1 only while somebody sits there.
  if (n < 1 || n > kSeats || seatAfter(n) != seatAfter(kSeats)) return false;
  std::string winner, who;
  if (game_.team) {
    const int a = game_.teamTotals[0], b = game_.teamTotals[1];
    if ((a < game_.playTo && b < game_.playTo) || a == b) return false;
    winner = a > b ? "Team A" : "Team B";
    who = winner;
  } else {
    int leader = 1;
    for (int seat = 2; seat <= kSeats; ++seat)
      if (players_[seat].score > players_[leader].score) leader = seat;
    if (players_[leader].score < game_.playTo) return false;
    for (int seat = 1; seat <= kSeats; ++seat)
      if (seat != leader && players_[seat].score == players_[leader].score) return false;
    winner = players_[leader].name;
    if (leader == 2 && winner.empty()) winner = kComputerName;
    who = winner + " (record " + std::to_string(leader) + ")";
  }
  game_.running = false;
  shell_.stopTimer(ServerTimer::Timer1);
  shell_.stopTimer(ServerTimer::computertimer);
  // Nobody holds a turn after the end, in a team game too: a word sent now must not
  // score or start another round.
  game_.current = 0;
  game_.phase = kNoPhase;
  sendToAll(net::to_players::winner({winner}));
  shell_.news("Winner: " + who);
  return true;
}

void TableServer::endEmptyGame() {
  shell_.stopTimer(ServerTimer::Timer1);
  shell_.stopTimer(ServerTimer::computertimer);
  game_.running = false;
  game_.current = 0;
  game_.phase = kNoPhase;
  shell_.news("Game over: everybody left");
}

void TableServer::shuffle(const net::PlayerNumber& m) {
  if (m.n != game_.current || m.n > kSeats || players_[m.n].shufflesLeft < 1) return;
  tplayer& p = players_[m.n];
  --p.shufflesLeft;
  game_.countdown += game_.seconds / 2;
  sendToAll(net::to_players::useshuffle({m.n, p.shufflesLeft, game_.countdown}));
  board_.clear();
  createmaze();
}

void TableServer::direction(const net::DirectionChoice& m) {
  // Only while the word's tiles wait to fall; and a choice only ever hastens the fall,
  // so a maker sending directions again and again cannot hold the table up.
  if (m.n != game_.lastMover || game_.phase != kWordMade) return;
  game_.fallDirection = m.direction;
  game_.countdown = std::min(game_.countdown, 2);
}

// The turn player's picks are shown to everybody else as they happen.
void TableServer::selectletter(const net::SelectLetter& m) {
  if (m.n == game_.current) sendToAll(net::to_players::selectletter(m), m.n);
}

void TableServer::selectclear(const net::PlayerNumber& m) {
  if (m.n == game_.current) sendToAll(net::to_players::selectclear(m), m.n);
}

void TableServer::clearletter(const net::ClearLetter& m) {
  if (m.n == game_.current) sendToAll(net::to_players::clearletter(m), m.n);
}

}  // namespace zp::server
