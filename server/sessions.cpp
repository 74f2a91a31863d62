// Connections, login, relays, watching and departures.
#include <algorithm>
#include <cctype>

#include "rules/names.h"
#include "server/table_server.h"

namespace zp::server {

TableServer::TableServer(ServerShell& shell, words::WordChecker& spell,
                         std::span<const std::string> candidateWords, std::uint64_t seed)
    : shell_(shell), spell_(spell), listbox_words_(candidateWords), random_(seed) {
  players_[1].team = players_[3].team = 1;
  players_[2].team = players_[4].team = 2;

  // A message speaks for the player named in its first field, and that must be the
  // connection it came on, logged in: nobody chats, plays or watches in another's name, and
  // a connection that never said who it is has nothing relayed.
  auto own = [this]<typename Message>(void (TableServer::*handler)(const Message&)) {
    return [this, handler](int record, const Message& m) {
      if (m.n == record && loggedIn(record)) (this->*handler)(m);
    };
  };
  // What only the host may do.
  auto hosts = [this]<typename Message>(void (TableServer::*handler)(const Message&)) {
    return [this, handler](int record, const Message& m) {
      if (record == host_ && loggedIn(record)) (this->*handler)(m);
    };
  };
  using namespace net;
  commands_
      .on(cmd::logininfo, to_server::parseLoginInfo,
          [this](int record, const LoginInfo& m) {
            if (m.n == record) receivedlogininfo(m);
          })
      .on(cmd::rejoin, to_server::parseRejoin,
          [this](int record, const Rejoin& m) {
            if (m.n == record) rejoin(record, m);
          })
      .on(cmd::goodbye, to_server::parseGoodbye, own(&TableServer::goodbye))
      .on(cmd::kickhim, to_server::parseKickHim,
          [hosts](int record, const KickHim& m) {
            if (m.requester == record) hosts (&TableServer::kickhim)(record, m);
          })
      .on(cmd::chat, to_server::parseChat, own(&TableServer::chat))
      .on(cmd::action, to_server::parseChat, own(&TableServer::action))
      .on(cmd::startgame, to_server::parseStartGame, hosts(&TableServer::startgame))
      // The host's seat menu may switch any seat; everybody else only their own.
      .on(cmd::justwatch, to_server::parseJustWatch,
          [this](int record, const WatchMode& m) {
            if (loggedIn(record) && (record == host_ || m.n == record)) justwatch(m);
          })
      .on(cmd::playerdone, to_server::parsePlayerDone,
          [this](int record, const PlayerDone& m) {
            if (m.n == record && loggedIn(record)) playerdone(m);
          })
      .on(cmd::direction, to_server::parseDirection, own(&TableServer::direction))
      .on(cmd::selectletter, to_server::parseSelectLetter, own(&TableServer::selectletter))
      .on(cmd::selectclear, to_server::parseSelectClear, own(&TableServer::selectclear))
      .on(cmd::clearletter, to_server::parseClearLetter, own(&TableServer::clearletter))
      .on(cmd::shuffle, to_server::parseShuffle, own(&TableServer::shuffle))
      .on(cmd::playasound, to_server::parsePlayASound, own(&TableServer::playasound))
      .on(cmd::computer, to_server::parseComputer,
          [hosts](int record, const ComputerChoice& m) {
            if (m.n == record) hosts (&TableServer::computer)(record, m);
          })
      .on(cmd::mute, to_server::parseMute,
          [hosts](int record, const MuteRequest& m) {
            if (m.requester == record) hosts (&TableServer::mute)(record, m);
          })
      .on(cmd::tableinfo, to_server::parseTableInfoRequest,
          [this](int record, const NoFields&) { tableinfo(record); });
}

std::size_t TableServer::pendingBytes(int record) const {
  return receivedlist_.pendingBytes(record);
}

// ---- connections ----

int TableServer::chooseRecord() const {
  // The lowest free record, opening a new one only when all in use are taken.
  // A seat held for a dropped player is not free.
  for (int i = 1; i <= recordsInUse_; ++i)
    if (!present(i)) return i;
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
  if (record < 1 || record > kMaxPlayer || present(record)) return;
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
  if (!open) return;
  receivedlist_.feed(record, bytes);
  // A connection's first message, before it has logged in, is handled at once, while the
  // connection surely still takes an answer: a lobby that asks what the table holds and shuts
  // its sending side straight away still hears it.
  const auto slot = static_cast<std::size_t>(record);
  if (greeting_[slot] > 0 && !spoke_[slot])
    if (auto first = receivedlist_.takeFrom(record)) handle({record, std::move(*first)});
}

void TableServer::connectionClosed(int record) {
  if (record == kFullRecord) forget(kFullRecord);
  if (record < 1 || record > kMaxPlayer) return;
  // A held seat has no connection: this is the same close reported again.
  if (held(record)) return;
  // Only a seated player who had logged in has a seat to come back to.
  if (grace_ > 0 && record <= kSeats && loggedIn(record))
    hold(record);
  else
    leave(record);
}

void TableServer::hold(int record) {
  tplayer& p = players_[record];
  p.connected = false;
  p.heldFor = grace_;
  receivedlist_.dropSource(record);
  const std::string seconds = std::to_string(grace_);
  sendToAll(net::to_players::away({record, grace_}));
  sendToAll(net::to_players::chat(
      {net::kTableLine,
       p.name + " lost the connection; the seat is kept for " + seconds + " seconds."}));
  shell_.news(p.name + " lost the connection (record " + std::to_string(record) +
              "); the seat is kept for " + seconds + " s");
  if (!holding_) {
    holding_ = true;
    shell_.startTimer(ServerTimer::holdtimer);
  }
  // The host keeps the role while the seat waits; the computer plays the seat's turns.
  if (game_.running && game_.current == record) handTurnToComputer();
}

void TableServer::holdtimerTimer() {
  for (int k = 1; k <= kSeats; ++k) {
    if (!held(k)) continue;
    if (players_[k].heldFor == 1)
      leave(k);  // frees it as if the player had left now
    else
      --players_[k].heldFor;
  }
}

void TableServer::holdEnded() {
  // A table that holds no seat costs nothing.
  for (int k = 1; k <= kSeats; ++k)
    if (held(k)) return;
  if (holding_) shell_.stopTimer(ServerTimer::holdtimer);
  holding_ = false;
}

void TableServer::leave(int record) {
  tplayer& p = players_[record];
  // One close may be reported twice: announce only while the record still counts as here.
  if (present(record)) {
    sendToAll(net::to_players::playerdisconnected({record, p.name}), record);
    shell_.news((p.name.empty() ? std::string("A connection") : p.name) + " left (record " +
                std::to_string(record) + ")");
  }
  forget(record);
  holdEnded();
  if (record == host_) passHost();
  if (!game_.running) return;
  // A game nobody plays or watches is over; whoever comes next finds a table waiting. A seat
  // held for a dropped player still counts: the player may come back to it.
  bool anybody = false;
  for (int k = 1; k <= recordsInUse_; ++k) anybody = anybody || present(k);
  if (!anybody) {
    endEmptyGame();
    return;
  }
  if (game_.current == record) handTurnToComputer();
}

void TableServer::disconnectsock(int record) {
  if (record < 1 || record > kMaxPlayer || !players_[record].connected) return;
  shell_.close(record);
  leave(record);
}

void TableServer::socktimerTimer() {
  if (auto message = receivedlist_.take()) handle(*message);
}

void TableServer::handle(const net::QueuedMessage& message) {
  const int record = message.source;
  if (commands_.dispatch(message.text, record) == net::Dispatched::kNothing) return;
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
  // A second login on the same connection changes the name, not the place in the line.
  const bool first = !loggedIn(n);
  if (first) players_[n].arrival = ++arrivals_;
  greeted(n);
  // The first to arrive hosts an empty table.
  if (host_ == 0) host_ = n;

  sendToAll(net::to_players::newplayerinfo({n, name}));
  shell_.news(name + " arrived (record " + std::to_string(n) + ")");
  welcome(n, m.version);
  // Never relayed, never in the news: only this connection may take the seat back with it.
  if (first) {
    players_[n].token = shell_.secretToken();
    sendTo(n, net::to_players::rejointoken({n, players_[n].token}));
  }
}

void TableServer::welcome(int n, std::string_view version) {
  const std::string& name = players_[n].name;
  for (int k = 1; k <= recordsInUse_; ++k) {
    if (k == n || !present(k)) continue;
    sendTo(n, net::to_players::existingplayers({k, players_[k].name}));
    if (held(k)) sendTo(n, net::to_players::away({k, players_[k].heldFor}));
  }
  sendTo(n, net::to_players::host({host_}));
  // Coming back under the same name does not lift a mute; every window marks the new record.
  if (const int left = mutedFor(name); left > 0) sendToAll(net::to_players::muted({n, left}));
  if (version != zp::kGameVersion) {
    if (host_ != n) sendTo(host_, net::to_players::havewrongversion({name}));
    sendTo(n, net::to_players::wrongversion());
  }
  if (game_.running) catchUp(n);
}

void TableServer::rejoin(int record, const net::Rejoin& m) {
  // Only a connection that has not logged in yet comes back; the name and the token must both
  // be those of a held seat, so nobody takes a seat by typing a name.
  const std::string name = zp::cleanName(m.name);
  int seat = 0;
  if (players_[record].connected && !loggedIn(record))
    for (int k = 1; k <= kSeats && seat == 0; ++k)
      if (held(k) && players_[k].name == name && sameSecret(players_[k].token, m.token)) seat = k;
  if (seat == 0) {
    receivedlogininfo({record, m.version, m.name});
    return;
  }
  // The offered record goes back unused, nobody having heard of it.
  forget(record);
  shell_.moveConnection(record, seat);
  tplayer& p = players_[seat];
  p.connected = true;
  p.heldFor = 0;
  holdEnded();
  p.relayAllowance = kRelayBurst;
  p.toldTooFast = false;
  receivedlist_.dropSource(seat);
  // A fresh token: the one that came over the wire has done its work.
  p.token = shell_.secretToken();
  sendTo(seat, net::to_players::rejointoken({seat, p.token}));
  sendToAll(net::to_players::away({seat, 0}));
  sendToAll(net::to_players::newplayerinfo({seat, name}));
  // The player's own window says it in its own words.
  sendToAll(net::to_players::chat({net::kTableLine, name + " is back."}), seat);
  if (p.watching) sendTo(seat, net::to_players::justwatching({seat, net::kStartWatching}));
  shell_.news(name + " is back (record " + std::to_string(seat) + ")");
  welcome(seat, m.version);
}

void TableServer::closing() {
  for (int k = 1; k <= recordsInUse_; ++k) sendTo(k, net::to_players::goodbye({k}));
}

void TableServer::goodbye(const net::PlayerNumber& m) {
  // A deliberate leave frees the seat at once.
  disconnectsock(m.n);
}

bool TableServer::sameSecret(std::string_view a, std::string_view b) {
  // Every byte is compared, so how long the answer takes tells nothing of the token.
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char differ = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
  return differ == 0;
}

void TableServer::passHost() {
  // The player seated longest, then the spectator present longest; nobody at an empty table.
  auto longest = [this](int from, int to) {
    int found = 0;
    for (int k = from; k <= to; ++k)
      if (loggedIn(k) && (found == 0 || players_[k].arrival < players_[found].arrival)) found = k;
    return found;
  };
  const int seated = longest(1, kSeats);
  host_ = seated != 0 ? seated : longest(kSeats + 1, kMaxPlayer);
  if (host_ == 0) return;
  sendToAll(net::to_players::host({host_}));
  shell_.news(players_[host_].name + " hosts the table now (record " + std::to_string(host_) + ")");
}

void TableServer::computer(const net::ComputerChoice& m) {
  const bool expert = m.strength == ComputerStrength::Expert && wholeListSource_;
  setComputerStrength(m.strength, expert ? wholeListSource_() : nullptr);
}

void TableServer::mute(const net::MuteRequest& m) {
  // The host cannot silence itself, nor anybody who is not here.
  if (m.target == host_ || !loggedIn(m.target)) return;
  const std::string& name = players_[m.target].name;
  const std::int64_t now = shell_.secondsNow();
  std::erase_if(mutes_,
                [&](const Mute& mute) { return mute.until <= now || sameName(mute.name, name); });
  if (m.minutes > 0 && mutes_.size() < kMaxMutes)
    mutes_.push_back({name, now + std::int64_t{m.minutes} * 60});
  sendToAll(net::to_players::muted({m.target, mutedFor(name)}));
  shell_.news(name + (m.minutes > 0 ? " muted for " + std::to_string(m.minutes) + " min"
                                    : " may chat again"));
}

int TableServer::mutedFor(const std::string& name) const {
  const std::int64_t now = shell_.secondsNow();
  for (const Mute& mute : mutes_)
    if (mute.until > now && sameName(mute.name, name)) return static_cast<int>(mute.until - now);
  return 0;
}

bool TableServer::sameName(std::string_view a, std::string_view b) {
  // Muting Bob also mutes the bob who comes back: names differ by more than case.
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

void TableServer::kickhim(const net::KickHim& m) {
  // Removed is gone: a held seat is freed too, and the window is told not to come back.
  sendTo(m.target, net::to_players::goodbye({m.target}));
  if (held(m.target))
    leave(m.target);
  else
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
  // A muted player still plays; what it says goes nowhere. It was told when the mute began.
  if (mutedFor(p.name) > 0) return false;
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
