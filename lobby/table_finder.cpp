#include "lobby/table_finder.h"

#include <algorithm>
#include <set>

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
    case Column::kState:
      return "State";
    case Column::kAddress:
      return "Address";
  }
  return {};
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
      for (const std::string& seat : row.info->seats) {
        if (seat.empty()) continue;
        if (!players.empty()) players += ", ";
        players += seat;
      }
      return players;
    }
    case Column::kFreeSeats:
      return known ? std::to_string(freeSeats(*row.info)) : std::string();
    case Column::kSpectators:
      return known ? std::to_string(row.info->spectators) : std::string();
    case Column::kState:
      switch (row.state) {
        case TableState::kAsking:
          return "asking…";
        case TableState::kUnknown:
          return "unknown";
        case TableState::kKnown:
          return std::string(row.info && row.info->playing ? net::kTablePlaying
                                                           : net::kTableWaiting);
      }
      return {};
    case Column::kAddress:
      return net::hostPortText(row.where);
  }
  return {};
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
      kept.push_back(Directory{where, {}, Outcome::kNone, {}});
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

void TableFinder::refresh(std::int64_t nowMs) {
  nextRound_ = nowMs + kRefreshMs;
  const std::int64_t deadline = nowMs + kAnswerLimitMs;
  for (Directory& directory : directories_) {
    if (directory.ask) continue;
    const int ask = nextAsk_++;
    directory.ask = ask;
    pending_[ask] = Pending{deadline, true, keyOf(directory.where)};
    shell_.askDirectory(ask, directory.where);
  }
  for (auto& [key, asked] : asked_) {
    if (asked.ask) continue;
    const int ask = nextAsk_++;
    asked.ask = ask;
    pending_[ask] = Pending{deadline, false, key};
    shell_.askTable(ask, asked.where);
  }
}

void TableFinder::tick(std::int64_t nowMs) {
  std::vector<int> late;
  for (const auto& [ask, pending] : pending_)
    if (pending.deadline <= nowMs) late.push_back(ask);
  // All of them first, then the list once: a round of silent tables ends in one go.
  for (const int ask : late) {
    shell_.cancel(ask);
    if (Asked* asked = askedFor(ask)) {
      asked->ask.reset();
      asked->outcome = Outcome::kSilent;
    } else if (Directory* directory = directoryFor(ask)) {
      directory->ask.reset();
      directory->outcome = Outcome::kSilent;
    }
    pending_.erase(ask);
  }
  if (!late.empty()) changed();
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
  asked->info = info;
  settle(ask);
}

void TableFinder::directoryListed(int ask, const std::vector<net::ListedTable>& tables) {
  Directory* directory = directoryFor(ask);
  if (!directory) return;
  directory->ask.reset();
  directory->outcome = Outcome::kAnswered;
  directory->listed.assign(tables.begin(),
                           tables.begin() + static_cast<std::ptrdiff_t>(
                                                std::min(tables.size(), kMaxTablesPerDirectory)));
  settle(ask);
}

void TableFinder::askFailed(int ask, bool nobodyListens) {
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
  };
  std::vector<Merged> merged;
  std::map<Key, std::size_t> index;
  auto entry = [&](const net::HostPort& where) -> Merged& {
    auto [it, fresh] = index.try_emplace(keyOf(where), merged.size());
    if (fresh) merged.push_back(Merged{TableRow{where, 0, TableState::kAsking, {}}, {}, {}});
    return merged[it->second];
  };

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
