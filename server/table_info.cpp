// A new connection's first seconds, and what the table tells a lobby that asks.
#include "server/table_server.h"

namespace zp::server {

bool TableServer::loggedIn(int record) const {
  return record >= 1 && record <= kMaxPlayer && players_[record].connected &&
         greeting_[record] == 0;
}

bool TableServer::anyoneGreeting() const {
  for (const int left : greeting_)
    if (left > 0) return true;
  return false;
}

void TableServer::greet(int record) {
  receivedlist_.dropSource(record);
  const bool running = anyoneGreeting();
  // The refused connection stays only for a question that comes with it, as a lobby's does.
  greeting_[record] = record == kFullRecord ? kFullGreetingTicks : kGreetingTicks;
  spoke_[record] = false;
  if (!running) shell_.startTimer(ServerTimer::logintimer);
}

void TableServer::greeted(int record) {
  greeting_[record] = 0;
  spoke_[record] = false;
  // A table where nobody waits to log in costs nothing.
  if (!anyoneGreeting()) shell_.stopTimer(ServerTimer::logintimer);
}

void TableServer::forget(int record) {
  if (record >= 1 && record <= kMaxPlayer) {
    tplayer& p = players_[record];
    p.connected = false;
    p.name.clear();
    p.watching = false;
    p.heldFor = 0;
    p.token.clear();
  }
  // What it left waiting must not be taken for whoever gets the record next.
  receivedlist_.dropSource(record);
  greeted(record);
}

void TableServer::tableinfo(int record) {
  if (greeting_[record] == 0 || spoke_[record]) return;
  shell_.send(record, net::to_players::tableinfo(tableInfo()));
  shell_.close(record);
  // Never arrived, so nobody hears it leave, and the record is free for the next comer.
  forget(record);
}

void TableServer::logintimerTimer() {
  for (int record = 1; record <= kFullRecord; ++record) {
    int& left = greeting_[record];
    if (left == 0 || --left > 0) continue;
    if (record == kFullRecord) {
      shell_.close(kFullRecord);
      forget(kFullRecord);
    } else {
      disconnectsock(record);
    }
  }
}

net::TableInfo TableServer::tableInfo() const {
  net::TableInfo info;
  info.name = !tableName_.empty() ? tableName_ : loggedIn(host_) ? players_[host_].name : "";
  info.version = zp::kGameVersion;
  info.playing = game_.running;
  // The game on or last played; before the first, what the host means to start with.
  const bool played = game_.seconds > 0;
  info.playTo = played ? game_.playTo : advertisedPlayTo_;
  info.seconds = played ? game_.seconds : advertisedSeconds_;
  info.computer = strength_;
  if (visibility_) info.visibility = std::string(net::visibilityName(*visibility_));
  for (int record = kSeats + 1; record <= kMaxPlayer; ++record)
    if (loggedIn(record)) ++info.spectators;
  // A seat held for a dropped player is still that player's.
  auto seated = [this](int seat) { return loggedIn(seat) || held(seat); };
  for (int seat = 1; seat <= kSeats; ++seat) {
    // The seats the computer takes turns for, as the turn order has them.
    // (A connection that has not logged in holds no seat, the asker's own included.)
    const bool computerPlays =
        game_.running && (seat == 2 || (game_.team && seat == 4 && seated(3)) ||
                          (game_.team && seat == 3 && seated(4)));
    if (seated(seat))
      info.seats[seat - 1] = players_[seat].name;
    else if (computerPlays)
      info.seats[seat - 1] = kComputerName;
  }
  return info;
}

}  // namespace zp::server
