#include "lobby/table_finder.h"

#include <algorithm>
#include <set>

#include "client/chat_text.h"

namespace zp::lobby {

std::string columnHeading(Column column) {
  switch (column) {
    case Column::kName:
      return "Table";
    case Column::kPlayers:
      return "Players";
    case Column::kFreeSeats:
      return "Free seats";
    case Column::kSpectators:
      return "Spectators";
    case Column::kPlayTo:
      return "Play to";
    case Column::kTurnTime:
      return "Turn";
    case Column::kComputer:
      return "Computer";
    case Column::kState:
      return "State";
    case Column::kAddress:
      return "Address";
  }
  return {};
}

int columnNumber(const TableRow& row, Column column) {
  if (row.state != TableState::kKnown || !row.info) return -1;
  const net::TableInfo& info = *row.info;
  switch (column) {
    case Column::kFreeSeats:
      return freeSeats(info);
    case Column::kSpectators:
      return info.spectators;
    // 0 is what a table says before it knows: no game yet, and no host's choice told.
    case Column::kPlayTo:
      return info.playTo > 0 ? info.playTo : -1;
    case Column::kTurnTime:
      return info.seconds > 0 ? info.seconds : -1;
    case Column::kComputer:
      return info.computer ? static_cast<int>(*info.computer) : -1;
    default:
      return -1;
  }
}

int freeSeats(const net::TableInfo& info) {
  return static_cast<int>(std::count(info.seats.begin(), info.seats.end(), std::string()));
}

std::string columnText(const TableRow& row, Column column) {
  const bool known = row.state == TableState::kKnown && row.info;
  switch (column) {
    case Column::kName:
      return row.info ? row.info->name : std::string();
    case Column::kPlayers: {
      if (!known) return {};
      std::string players;
      for (const std::string& seat : seatedPlayers(*row.info)) {
        if (!players.empty()) players += ", ";
        players += seat;
      }
      return players;
    }
    case Column::kFreeSeats:
      return known ? std::to_string(freeSeats(*row.info)) : std::string();
    case Column::kSpectators:
      return known ? std::to_string(row.info->spectators) : std::string();
    case Column::kPlayTo:
    case Column::kTurnTime: {
      const int number = columnNumber(row, column);
      if (number < 0) return {};
      return column == Column::kTurnTime ? std::to_string(number) + " s" : std::to_string(number);
    }
    case Column::kComputer: {
      if (!known || !row.info->computer) return {};
      std::string name(computerStrengthName(*row.info->computer));
      name[0] = static_cast<char>(name[0] - 'a' + 'A');
      return name;
    }
    case Column::kState:
      switch (row.state) {
        case TableState::kAsking:
          return "asking…";
        case TableState::kUnknown:
          // Asked and silent, or listed by a directory that no longer answers.
          return "unreachable";
        case TableState::kKnown:
          return std::string(row.info && row.info->playing ? net::kTablePlaying
                                                           : net::kTableWaiting);
      }
      return {};
    case Column::kAddress:
      if (!row.code.empty())
        return "relayed: " + net::inviteCodeText(row.code) + " via " + net::hostPortText(row.via);
      return net::hostPortText(row.where) + (row.sources & kOnThisNetwork ? " (this network)" : "");
  }
  return {};
}

std::string reachMark(const TableRow& row) {
  if (row.state != TableState::kKnown) return {};
  return row.code.empty() ? "direct" : "relayed";
}

std::vector<std::string> seatedPlayers(const net::TableInfo& info) {
  std::vector<std::string> players;
  for (const std::string& seat : info.seats)
    if (!seat.empty()) players.push_back(seat);
  return players;
}

net::TableInfo shownTableInfo(net::TableInfo info) {
  info.name = client::shownName(info.name, net::kMaxTableNameChars);
  info.version = client::shownName(info.version);
  for (std::string& seat : info.seats) {
    if (seat.empty()) continue;
    seat = client::shownName(seat);
    if (seat.empty()) seat = kUnnamedPlayer;
  }
  return info;
}

TableFinder::Key TableFinder::keyOf(const net::HostPort& where) {
  std::string host = where.host;
  for (char& c : host)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return {host, where.port};
}

void TableFinder::setDirectories(const std::vector<net::HostPort>& directories) {
  std::vector<Directory> kept;
  std::set<Key> seen;
  for (const net::HostPort& where : directories) {
    if (!seen.insert(keyOf(where)).second) continue;
    auto old = std::find_if(directories_.begin(), directories_.end(),
                            [&](const Directory& d) { return keyOf(d.where) == keyOf(where); });
    if (old != directories_.end()) {
      kept.push_back(std::move(*old));
      directories_.erase(old);
    } else {
      kept.push_back(Directory{where, {}, Outcome::kNone, {}, {}});
    }
  }
  for (const Directory& gone : directories_) {
    if (!gone.ask) continue;
    pending_.erase(*gone.ask);
    shell_.cancel(*gone.ask);
  }
  directories_ = std::move(kept);
  changed();
}

void TableFinder::setAdded(const std::vector<net::HostPort>& tables) {
  added_.clear();
  std::set<Key> seen;
  for (const net::HostPort& where : tables)
    if (seen.insert(keyOf(where)).second) added_.push_back(where);
  keepAsked();
  changed();
}

void TableFinder::setThisComputer(std::optional<net::HostPort> table) {
  thisComputer_ = std::move(table);
  keepAsked();
  changed();
}

// The tables asked directly are those the player added and the one on this computer: the
// others are forgotten, with their asks under way.
void TableFinder::keepAsked() {
  std::vector<net::HostPort> wanted = added_;
  if (thisComputer_) wanted.push_back(*thisComputer_);
  std::set<Key> wantedKeys;
  for (const net::HostPort& where : wanted) wantedKeys.insert(keyOf(where));
  for (auto it = asked_.begin(); it != asked_.end();) {
    if (wantedKeys.count(it->first)) {
      ++it;
      continue;
    }
    if (it->second.ask) {
      pending_.erase(*it->second.ask);
      shell_.cancel(*it->second.ask);
    }
    it = asked_.erase(it);
  }
  for (const net::HostPort& where : wanted) {
    auto [it, fresh] = asked_.try_emplace(keyOf(where));
    if (fresh) it->second.where = where;
  }
}

net::HostPort TableFinder::destination(const net::HostPort& where, std::int64_t nowMs,
                                       std::string* lookedUpHost) const {
  if (net::isAddressText(where.host)) return where;
  const auto kept = addresses_.find(keyOf(where).first);
  if (kept == addresses_.end() || kept->second.until <= nowMs || kept->second.addresses.empty())
    return where;
  *lookedUpHost = kept->first;
  return {kept->second.addresses.front(), where.port};
}

void TableFinder::refresh(std::int64_t nowMs) {
  nextRound_ = nowMs + kRefreshMs;
  // The answer limit starts once connected; until then, the look-up and the connection.
  const std::int64_t deadline = nowMs + kConnectLimitMs;
  for (Directory& directory : directories_) {
    if (directory.ask) continue;
    const int ask = nextAsk_++;
    directory.ask = ask;
    Pending& pending = pending_[ask] = Pending{deadline, true, keyOf(directory.where), {}};
    shell_.askDirectory(ask, destination(directory.where, nowMs, &pending.lookedUpHost));
  }
  for (auto& [key, asked] : asked_) {
    if (asked.ask) continue;
    const int ask = nextAsk_++;
    asked.ask = ask;
    Pending& pending = pending_[ask] = Pending{deadline, false, key, {}};
    shell_.askTable(ask, destination(asked.where, nowMs, &pending.lookedUpHost));
  }
  if (networkAsked_) shell_.askNetwork(network_.startRound(nowMs));
}

void TableFinder::lookedUp(const std::string& host, const std::vector<std::string>& addresses,
                           std::int64_t nowMs) {
  if (addresses.empty() || net::isAddressText(host)) return;
  addresses_[keyOf({host, 0}).first] = Addresses{addresses, nowMs + kAddressKeepMs};
}

void TableFinder::connected(int ask, std::int64_t nowMs) {
  auto pending = pending_.find(ask);
  if (pending != pending_.end()) pending->second.deadline = nowMs + kAnswerLimitMs;
}

void TableFinder::tick(std::int64_t nowMs) {
  std::vector<int> late;
  for (const auto& [ask, pending] : pending_)
    if (pending.deadline <= nowMs) late.push_back(ask);
  // All of them first, then the list once: a round of silent tables ends in one go.
  for (const int ask : late) {
    shell_.cancel(ask);
    if (const std::string& host = pending_[ask].lookedUpHost; !host.empty()) addresses_.erase(host);
    if (Asked* asked = askedFor(ask)) {
      asked->ask.reset();
      asked->outcome = Outcome::kSilent;
    } else if (Directory* directory = directoryFor(ask)) {
      directory->ask.reset();
      directory->outcome = Outcome::kSilent;
    }
    pending_.erase(ask);
  }
  if (network_.tick(nowMs) || !late.empty()) changed();
  if (!nextRound_ || nowMs >= *nextRound_) refresh(nowMs);
}

TableFinder::Asked* TableFinder::askedFor(int ask) {
  auto pending = pending_.find(ask);
  if (pending == pending_.end() || pending->second.directory) return nullptr;
  auto asked = asked_.find(pending->second.key);
  return asked == asked_.end() ? nullptr : &asked->second;
}

TableFinder::Directory* TableFinder::directoryFor(int ask) {
  auto pending = pending_.find(ask);
  if (pending == pending_.end() || !pending->second.directory) return nullptr;
  for (Directory& directory : directories_)
    if (directory.ask == ask) return &directory;
  return nullptr;
}

void TableFinder::settle(int ask) {
  pending_.erase(ask);
  changed();
}

void TableFinder::tableAnswered(int ask, const net::TableInfo& info) {
  Asked* asked = askedFor(ask);
  if (!asked) return;  // given up on, or for a table no longer wanted
  asked->ask.reset();
  asked->outcome = Outcome::kAnswered;
  asked->info = shownTableInfo(info);
  settle(ask);
}

void TableFinder::directoryListed(int ask, const std::vector<net::ListedTable>& tables,
                                  const std::vector<net::RelayedTable>& relayed) {
  Directory* directory = directoryFor(ask);
  if (!directory) return;
  directory->ask.reset();
  directory->outcome = Outcome::kAnswered;
  directory->listed.clear();
  directory->relayed.clear();
  const std::size_t kept = std::min(tables.size(), kMaxTablesPerDirectory);
  directory->listed.reserve(kept);
  for (std::size_t n = 0; n < kept; ++n)
    directory->listed.push_back(
        {tables[n].address, tables[n].port, shownTableInfo(tables[n].info)});
  for (std::size_t n = 0; n < relayed.size() && n + kept < kMaxTablesPerDirectory; ++n)
    directory->relayed.push_back({relayed[n].relayHost, relayed[n].relayPort, relayed[n].code,
                                  shownTableInfo(relayed[n].info)});
  settle(ask);
}

void TableFinder::askFailed(int ask, bool nobodyListens) {
  // A kept address that failed is looked up afresh next time.
  if (const auto pending = pending_.find(ask);
      pending != pending_.end() && !pending->second.lookedUpHost.empty())
    addresses_.erase(pending->second.lookedUpHost);
  if (Asked* asked = askedFor(ask)) {
    asked->ask.reset();
    asked->outcome = nobodyListens ? Outcome::kRefused : Outcome::kSilent;
  } else if (Directory* directory = directoryFor(ask)) {
    // Its tables stay listed, as unknown, until it answers again.
    directory->ask.reset();
    directory->outcome = Outcome::kSilent;
  } else {
    return;
  }
  settle(ask);
}

void TableFinder::networkAnswered(const net::IpAddress& from, std::string_view datagram) {
  if (network_.received(from, datagram)) changed();
}

std::vector<DirectoryStatus> TableFinder::directories() const {
  std::vector<DirectoryStatus> statuses;
  for (const Directory& directory : directories_) {
    DirectoryStatus status{directory.where, DirectoryStatus::State::kAsking,
                           directory.listed.size()};
    if (directory.outcome == Outcome::kAnswered)
      status.state = DirectoryStatus::State::kAnswered;
    else if (directory.outcome != Outcome::kNone)
      status.state = DirectoryStatus::State::kSilent;
    statuses.push_back(status);
  }
  return statuses;
}

std::optional<net::TableInfo> TableFinder::thisComputersTable() const {
  if (!thisComputer_) return std::nullopt;
  auto asked = asked_.find(keyOf(*thisComputer_));
  if (asked == asked_.end() || asked->second.outcome != Outcome::kAnswered) return std::nullopt;
  return asked->second.info;
}

void TableFinder::changed() {
  if (stale_) return;
  stale_ = true;
  shell_.listChanged();
}

const std::vector<TableRow>& TableFinder::rows() const {
  if (stale_) rebuild();
  return rows_;
}

void TableFinder::rebuild() const {
  stale_ = false;
  struct Merged {
    TableRow row;
    std::optional<net::TableInfo> listedNow;   // from a directory that answered last time
    std::optional<net::TableInfo> listedOnce;  // from one that did not
    std::optional<NetworkTable> network;       // its own answer on the local network
  };
  std::vector<Merged> merged;
  std::map<Key, std::size_t> index;
  auto entryAt = [&](const Key& key, const net::HostPort& where) -> Merged& {
    auto [it, fresh] = index.try_emplace(key, merged.size());
    if (fresh)
      merged.push_back(Merged{TableRow{where, 0, TableState::kAsking, {}, {}, {}}, {}, {}, {}});
    return merged[it->second];
  };
  auto entry = [&](const net::HostPort& where) -> Merged& { return entryAt(keyOf(where), where); };

  if (thisComputer_) {
    const auto asked = asked_.find(keyOf(*thisComputer_));
    const bool listening = asked != asked_.end() && (asked->second.outcome == Outcome::kAnswered ||
                                                     asked->second.outcome == Outcome::kSilent);
    if (listening) entry(*thisComputer_).row.sources |= kOnThisComputer;
  }
  for (const net::HostPort& where : added_) entry(where).row.sources |= kAddedByPlayer;
  for (const Directory& directory : directories_) {
    for (const net::ListedTable& table : directory.listed) {
      const net::HostPort where{table.address, static_cast<std::uint16_t>(table.port)};
      Merged& m = entry(where);
      m.row.sources |= kFromDirectory;
      if (directory.outcome == Outcome::kAnswered) {
        if (!m.listedNow) m.listedNow = table.info;
      } else if (!m.listedOnce) {
        m.listedOnce = table.info;
      }
    }
    // A relayed table is one row by its code, however many directories list it.
    for (const net::RelayedTable& table : directory.relayed) {
      const net::HostPort relay{table.relayHost.empty() ? directory.where.host : table.relayHost,
                                static_cast<std::uint16_t>(table.relayPort)};
      Merged& m = entryAt({"#" + table.code, 0}, relay);
      m.row.sources |= kFromDirectory;
      m.row.code = table.code;
      if (m.row.via.host.empty()) m.row.via = directory.where;
      if (directory.outcome == Outcome::kAnswered) {
        if (!m.listedNow) m.listedNow = table.info;
      } else if (!m.listedOnce) {
        m.listedOnce = table.info;
      }
    }
  }

  for (NetworkTable& table : network_.tables()) {
    Merged& m = entry(table.where);
    m.row.sources |= kOnThisNetwork;
    if (!m.network || table.round > m.network->round) m.network = std::move(table);
  }

  std::vector<TableRow> rows;
  rows.reserve(merged.size());
  for (Merged& m : merged) {
    if (m.row.sources == 0) continue;
    TableRow& row = m.row;
    const auto asked = asked_.find(keyOf(row.where));
    const Asked* direct = asked == asked_.end() ? nullptr : &asked->second;
    if (direct && direct->outcome == Outcome::kAnswered) {
      row.state = TableState::kKnown;
      row.info = direct->info;
    } else if (m.network) {
      row.state = TableState::kKnown;
      row.info = m.network->info;
    } else if (m.listedNow) {
      row.state = TableState::kKnown;
      row.info = m.listedNow;
    } else if (direct && direct->outcome == Outcome::kNone) {
      row.state = TableState::kAsking;
      row.info = m.listedOnce;
    } else {
      row.state = TableState::kUnknown;
      row.info = direct && direct->info ? direct->info : m.listedOnce;
    }
    rows.push_back(std::move(row));
  }
  rows_ = std::move(rows);
}

}  // namespace zp::lobby
