// Connections, login, relays, watching and departures.
#include "net/fields.h"
#include "server/table_server.h"

namespace zp::server {
namespace {

std::optional<int> firstNumber(std::string_view args) {
  return net::parseInt(args.substr(0, args.find('+')));
}

}  // namespace

TableServer::TableServer(ServerShell& shell, words::WordChecker& spell,
                         std::span<const std::string> candidateWords, std::uint64_t seed)
    : shell_(shell), spell_(spell), listbox_words_(candidateWords), random_(seed), commands_{} {
  players_[1].team = players_[3].team = 1;
  players_[2].team = players_[4].team = 2;

  using Handler = void (TableServer::*)(std::string_view);
  // A message speaks for the player named in its first field, and that must be the
  // connection it came on: nobody chats, plays or watches in another's name.
  auto own = [this](Handler handler) {
    return [this, handler](int record, std::string_view args) {
      if (firstNumber(args) == record) (this->*handler)(args);
    };
  };
  // Starting games and removing players is the host's (record 1) alone.
  auto host = [this](Handler handler) {
    return [this, handler](int record, std::string_view args) {
      if (record == 1) (this->*handler)(args);
    };
  };
  commands_ = net::CommandTable<int>{
      {net::cmd::logininfo, own(&TableServer::receivedlogininfo)},
      {net::cmd::kickhim,
       [this](int record, std::string_view args) {
         if (record == 1 && firstNumber(args) == 1) kickhim(args);
       }},
      {net::cmd::chat, own(&TableServer::chat)},
      {net::cmd::action, own(&TableServer::action)},
      {net::cmd::startgame, host(&TableServer::startgame)},
      // The host's seat menu may switch any seat; everybody else only their own.
      {net::cmd::justwatch,
       [this](int record, std::string_view args) {
         if (record == 1 || firstNumber(args) == record) justwatch(args);
       }},
      {net::cmd::playerdone,
       [this](int record, std::string_view args) {
         if (firstNumber(args) == record) playerdone(args);
       }},
      {net::cmd::direction, own(&TableServer::direction)},
      {net::cmd::selectletter, own(&TableServer::selectletter)},
      {net::cmd::selectclear, own(&TableServer::selectclear)},
      {net::cmd::clearletter, own(&TableServer::clearletter)},
      {net::cmd::shuffle, own(&TableServer::shuffle)},
      {net::cmd::playasound, own(&TableServer::playasound)},
  };
}

std::size_t TableServer::pendingBytes(int record) const {
  if (record < 0 || record >= static_cast<int>(readers_.size())) return 0;
  return readers_[static_cast<std::size_t>(record)].pendingBytes();
}

// ---- connections ----

int TableServer::chooseRecord() const {
  // The lowest free record, opening a new one only when all in use are taken.
  for (int i = 1; i <= recordsInUse_; ++i)
    if (!players_[i].connected) return i;
  return recordsInUse_ < kMaxRecords ? recordsInUse_ + 1 : kFullRecord;
}

void TableServer::connectionAccepted(int record) {
  if (record == kFullRecord) {
    shell_.send(kFullRecord, net::to_players::full());
    shell_.close(kFullRecord);
    return;
  }
  if (record < 1 || record > kMaxRecords || players_[record].connected) return;
  recordsInUse_ = std::max(recordsInUse_, record);
  players_[record].connected = true;
  readers_[record].reset();
  receivedlist_.dropSource(record);
  sendTo(record, net::to_players::sendlogininfo(record));
}

void TableServer::bytesReceived(int record, std::string_view bytes) {
  if (record < 1 || record > kMaxRecords || !players_[record].connected) return;
  readers_[record].feed(
      bytes, [&](std::string&& message) { receivedlist_.push(record, std::move(message)); });
}

void TableServer::connectionClosed(int record) {
  if (record < 1 || record > kMaxRecords) return;
  tplayer& p = players_[record];
  // One close may be reported twice: announce only while the record still counts as here.
  if (p.connected) sendToAll(net::to_players::playerdisconnected(record, p.name), record);
  p.connected = false;
  p.name.clear();
  p.watching = false;
  readers_[record].reset();
  // What it left waiting must not be taken for whoever gets the record next.
  receivedlist_.dropSource(record);
  if (game_.running && game_.current == record && record != 1) handTurnToComputer();
}

void TableServer::disconnectsock(int record) {
  if (record < 1 || record > kMaxRecords || !players_[record].connected) return;
  shell_.close(record);
  connectionClosed(record);
}

void TableServer::socktimerTimer() {
  if (auto message = receivedlist_.take()) commands_.dispatch(message->text, message->source);
}

void TableServer::sendTo(int record, std::string_view message) {
  if (record >= 1 && record <= kMaxRecords && players_[record].connected)
    shell_.send(record, message);
}

void TableServer::sendToAll(std::string_view message, int except) {
  // A send may close a connection; each record's flag is checked at its turn.
  for (int k = 1; k <= recordsInUse_; ++k)
    if (k != except) sendTo(k, message);
}

// ---- login and relays ----

void TableServer::receivedlogininfo(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kMaxRecords);
  const auto version = fields.next();
  if (!n || !version) return;
  const std::string name(fields.rest());
  players_[*n].name = name;
  players_[*n].connected = true;

  sendToAll(net::to_players::newplayerinfo(*n, name));
  for (int k = 1; k <= recordsInUse_; ++k)
    if (k != *n && players_[k].connected)
      sendTo(*n, net::to_players::existingplayers(k, players_[k].name));
  if (*version != net::kGameVersion) {
    sendTo(1, net::to_players::havewrongversion(name));
    sendTo(*n, net::to_players::wrongversion());
  }
  if (game_.running) catchUp(*n);
}

void TableServer::kickhim(std::string_view args) {
  Fields fields(args);
  const auto requester = fields.nextInt(1, kMaxRecords);
  const auto target = fields.nextInt(1, kMaxRecords);
  if (requester == 1 && target) disconnectsock(*target);
}

void TableServer::chat(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kMaxRecords);
  if (!n) return;
  sendToAll(net::to_players::chat(*n, players_[*n].name, fields.rest()));
}

void TableServer::action(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kMaxRecords);
  if (!n) return;
  sendToAll(net::to_players::action(*n, players_[*n].name, fields.rest()));
}

void TableServer::playasound(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kMaxRecords);
  const auto sound = fields.next();
  if (!n || !sound) return;
  sendToAll(net::to_players::playasound(*n, *sound));
}

void TableServer::justwatch(std::string_view args) {
  Fields fields(args);
  const auto n = fields.nextInt(1, kSeats);
  const auto mode = fields.next();
  if (!n || !mode) return;
  if (*mode == "2") {
    players_[*n].watching = false;
    sendToAll(net::to_players::justwatching(*n, 2));
  } else if (*mode == "1" && game_.running) {
    players_[*n].watching = true;
    sendToAll(net::to_players::justwatching(*n, 1));
    if (*n == game_.current) handTurnToComputer();
  }
}

}  // namespace zp::server
