// Connections, login, relays, watching and departures.
#include "rules/names.h"
#include "server/table_server.h"

namespace zp::server {

TableServer::TableServer(ServerShell& shell, words::WordChecker& spell,
                         std::span<const std::string> candidateWords, std::uint64_t seed)
    : shell_(shell), spell_(spell), listbox_words_(candidateWords), random_(seed) {
  players_[1].team = players_[3].team = 1;
  players_[2].team = players_[4].team = 2;

  // A message speaks for the player named in its first field, and that must be the
  // connection it came on: nobody chats, plays or watches in another's name.
  auto own = [this]<typename Message>(void (TableServer::*handler)(const Message&)) {
    return [this, handler](int record, const Message& m) {
      if (m.n == record) (this->*handler)(m);
    };
  };
  using namespace net;
  commands_
      .on(cmd::logininfo, to_server::parseLoginInfo, own(&TableServer::receivedlogininfo))
      // Removing players and starting games is the host's (record 1) alone.
      .on(cmd::kickhim, to_server::parseKickHim,
          [this](int record, const KickHim& m) {
            if (record == 1 && m.requester == 1) kickhim(m);
          })
      .on(cmd::chat, to_server::parseChat, own(&TableServer::chat))
      .on(cmd::action, to_server::parseChat, own(&TableServer::action))
      .on(cmd::startgame, to_server::parseStartGame,
          [this](int record, const GameOptions& m) {
            if (record == 1) startgame(m);
          })
      // The host's seat menu may switch any seat; everybody else only their own.
      .on(cmd::justwatch, to_server::parseJustWatch,
          [this](int record, const WatchMode& m) {
            if (record == 1 || m.n == record) justwatch(m);
          })
      .on(cmd::playerdone, to_server::parsePlayerDone,
          [this](int record, const PlayerDone& m) {
            if (m.n == record) playerdone(m);
          })
      .on(cmd::direction, to_server::parseDirection, own(&TableServer::direction))
      .on(cmd::selectletter, to_server::parseSelectLetter, own(&TableServer::selectletter))
      .on(cmd::selectclear, to_server::parseSelectClear, own(&TableServer::selectclear))
      .on(cmd::clearletter, to_server::parseClearLetter, own(&TableServer::clearletter))
      .on(cmd::shuffle, to_server::parseShuffle, own(&TableServer::shuffle))
      .on(cmd::playasound, to_server::parsePlayASound, own(&TableServer::playasound))
      .on(cmd::tableinfo, to_server::parseTableInfoRequest,
          [this](int record, const NoFields&) { tableinfo(record); });
}

std::size_t TableServer::pendingBytes(int record) const {
  return receivedlist_.pendingBytes(record);
}

// ---- connections ----

int TableServer::chooseRecord() const {
  // The lowest free record, opening a new one only when all in use are taken.
  for (int i = 1; i <= recordsInUse_; ++i)
    if (!players_[i].connected) return i;
  return recordsInUse_ < kMaxPlayer ? recordsInUse_ + 1 : kFullRecord;
}

void TableServer::connectionAccepted(int record) {
  if (record == kFullRecord) {
    // A full table still tells a lobby what it holds, so the refused connection stays for
    // its first message; whoever held the record before has been let go by the shell.
    shell_.send(kFullRecord, net::to_players::full());
    greet(kFullRecord);
    return;
  }
  if (record < 1 || record > kMaxPlayer || players_[record].connected) return;
  recordsInUse_ = std::max(recordsInUse_, record);
  players_[record].connected = true;
  players_[record].relayAllowance = kRelayBurst;
  players_[record].toldTooFast = false;
  receivedlist_.dropSource(record);
  greet(record);
  sendTo(record, net::to_players::sendlogininfo({record}));
}

void TableServer::bytesReceived(int record, std::string_view bytes) {
  const bool open = record == kFullRecord
                        ? greeting_[kFullRecord] > 0
                        : record >= 1 && record <= kMaxPlayer && players_[record].connected;
  if (open) receivedlist_.feed(record, bytes);
}

void TableServer::connectionClosed(int record) {
  if (record == kFullRecord) forget(kFullRecord);
  if (record < 1 || record > kMaxPlayer) return;
  tplayer& p = players_[record];
  // One close may be reported twice: announce only while the record still counts as here.
  if (p.connected) {
    sendToAll(net::to_players::playerdisconnected({record, p.name}), record);
    shell_.news((p.name.empty() ? std::string("A connection") : p.name) + " left (record " +
                std::to_string(record) + ")");
  }
  forget(record);
  if (!game_.running) return;
  // A game nobody plays or watches is over; whoever comes next finds a table waiting.
  bool anybody = false;
  for (int k = 1; k <= recordsInUse_; ++k) anybody = anybody || players_[k].connected;
  if (!anybody) {
    endEmptyGame();
    return;
  }
  if (game_.current == record && record != 1) handTurnToComputer();
}

void TableServer::disconnectsock(int record) {
  if (record < 1 || record > kMaxPlayer || !players_[record].connected) return;
  shell_.close(record);
  connectionClosed(record);
}

void TableServer::socktimerTimer() {
  auto message = receivedlist_.take();
  if (!message) return;
  const int record = message->source;
  if (commands_.dispatch(message->text, record) == net::Dispatched::kNothing) return;
  // A connection that has not logged in may ask what the table holds only with its first
  // message; the refused one may do nothing else.
  spoke_[static_cast<std::size_t>(record)] = true;
  if (record == kFullRecord && greeting_[kFullRecord] > 0) {
    shell_.close(kFullRecord);
    forget(kFullRecord);
  }
}

void TableServer::sendTo(int record, std::string_view message) {
  if (record >= 1 && record <= kMaxPlayer && players_[record].connected)
    shell_.send(record, message);
}

void TableServer::sendToAll(std::string_view message, int except) {
  // A send may close a connection; each record's flag is checked at its turn.
  for (int k = 1; k <= recordsInUse_; ++k)
    if (k != except) sendTo(k, message);
}

// ---- login and relays ----

void TableServer::receivedlogininfo(const net::LoginInfo& m) {
  const int n = m.n;
  // Who takes a seat during a game starts afresh, not with what its last holder left.
  if (players_[n].name.empty() && game_.running && n <= kSeats) {
    players_[n].score = 0;
    players_[n].shufflesLeft = game_.shufflesPerPlayer;
  }
  // Cleaned here, once: every message the table writes carries the name as every window
  // shows it, and the longest chat line of the longest name still fits a message.
  const std::string name = zp::cleanName(m.name);
  players_[n].name = name;
  players_[n].connected = true;
  greeted(n);

  sendToAll(net::to_players::newplayerinfo({n, name}));
  shell_.news(name + " arrived (record " + std::to_string(n) + ")");
  for (int k = 1; k <= recordsInUse_; ++k)
    if (k != n && players_[k].connected)
      sendTo(n, net::to_players::existingplayers({k, players_[k].name}));
  if (m.version != zp::kGameVersion) {
    sendTo(1, net::to_players::havewrongversion({name}));
    sendTo(n, net::to_players::wrongversion());
  }
  if (game_.running) catchUp(n);
}

void TableServer::kickhim(const net::KickHim& m) {
  disconnectsock(m.target);
}

void TableServer::chat(const net::ChatLine& m) {
  if (!mayRelay(m.n)) return;
  sendToAll(net::to_players::chat({m.n, players_[m.n].name + " chats: " + m.text}));
}

void TableServer::action(const net::ChatLine& m) {
  if (!mayRelay(m.n)) return;
  sendToAll(net::to_players::action({m.n, players_[m.n].name + " " + m.text}));
}

void TableServer::playasound(const net::PlayASound& m) {
  if (!mayRelay(m.n)) return;
  sendToAll(net::to_players::playasound(m));
}

bool TableServer::mayRelay(int record) {
  tplayer& p = players_[record];
  if (p.relayAllowance > 0) {
    --p.relayAllowance;
    if (!relayRefilling_) {
      relayRefilling_ = true;
      shell_.startTimer(ServerTimer::relaytimer);
    }
    return true;
  }
  if (!p.toldTooFast) {
    p.toldTooFast = true;
    sendTo(record, net::to_players::chat({net::kTableLine, std::string(kTooFast)}));
  }
  return false;
}

void TableServer::relaytimerTimer() {
  bool refilling = false;
  for (int k = 1; k <= kMaxPlayer; ++k) {
    tplayer& p = players_[k];
    if (!p.connected) continue;  // a connection starts with its whole allowance
    if (p.relayAllowance < kRelayBurst) ++p.relayAllowance;
    // A burst is over once the sender has been quiet long enough to have it all back.
    if (p.relayAllowance == kRelayBurst)
      p.toldTooFast = false;
    else
      refilling = true;
  }
  if (!refilling) {
    relayRefilling_ = false;
    shell_.stopTimer(ServerTimer::relaytimer);
  }
}

void TableServer::justwatch(const net::WatchMode& m) {
  if (m.n > kSeats) return;
  if (m.mode == net::kStopWatching) {
    players_[m.n].watching = false;
    sendToAll(net::to_players::justwatching(m));
  } else if (game_.running) {
    players_[m.n].watching = true;
    sendToAll(net::to_players::justwatching(m));
    if (m.n == game_.current) handTurnToComputer();
  }
}

}  // namespace zp::server
