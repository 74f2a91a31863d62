#include "directory/table_directory.h"

#include <algorithm>
#include <random>

#include "net/host_port.h"

namespace zp::directory {
namespace {

std::string where(const TableDirectory::Key& key) {
  return net::hostPortText({key.first, static_cast<std::uint16_t>(key.second)});
}

}  // namespace

std::uint64_t DirectoryShell::randomNumber() {
  static std::mt19937_64 engine{(static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                                std::random_device{}()};
  return engine();
}

PeerLimits peerLimitsForHandles(std::uint64_t handles) {
  PeerLimits limits;
  const std::uint64_t spare = kSpareHandles;
  const std::uint64_t usable = handles > spare ? handles - spare : 1;
  if (usable < static_cast<std::uint64_t>(limits.total)) limits.total = static_cast<int>(usable);
  limits.forAsks = std::clamp(limits.total / 6, 1, kRoomForAsks);
  limits.perAddress = std::min(limits.perAddress, limits.total);
  return limits;
}

TableDirectory::TableDirectory(DirectoryShell& shell, PeerLimits limits)
    : shell_(shell), limits_(limits) {
  using namespace net;
  commands_
      .on(cmd::registertable, to_directory::parseRegisterTable,
          [this](int peer, const TableRegistration& m) { registertable(peer, m); })
      .on(cmd::withdrawtable, to_directory::parseWithdrawTable,
          [this](int peer, const TablePort& m) { withdrawtable(peer, m); })
      .on(cmd::tablelist, to_directory::parseTableList,
          [this](int peer, const NoFields&) { tablelist(peer); })
      .on(cmd::reachme, to_directory::parseReachMe,
          [this](int peer, const ReachRequest& m) { reachme(peer, m); })
      .on(cmd::findcode, to_directory::parseFindCode,
          [this](int peer, const InviteCode& m) { findcode(peer, m); });
}

void TableDirectory::setRelay(std::string host, int port) {
  relayHost_ = std::move(host);
  relayPort_ = port;
}

TableDirectory::Accepted TableDirectory::acceptPeer(std::string_view address) {
  const std::string from(address);
  const auto refused = [] {
    return Accepted{-1, net::from_directory::refused({0, std::string(kTooManyConnections)})};
  };
  if (!net::isAddressText(from)) return refused();
  if (const auto at = peersAt_.find(from); at != peersAt_.end() && at->second >= limits_.perAddress)
    return refused();
  if (peerCount_ >= limits_.total && !makeRoom()) return refused();
  std::size_t peer = 0;
  while (peer < peers_.size() && peers_[peer].open) ++peer;
  if (peer == peers_.size()) peers_.emplace_back();
  Peer& p = peers_[peer];
  p = Peer{};
  p.open = true;
  p.serial = nextSerial_++;
  p.address = from;
  p.owesSince = now_;
  p.lastUseful = now_;
  ++peerCount_;
  ++peersAt_[from];
  joined_.emplace_back(static_cast<int>(peer), p.serial);
  return {static_cast<int>(peer), {}};
}

// The oldest connection that neither hosts a table nor is being written a list goes: a
// flood of connections that never ask anything cannot keep a lobby out.
bool TableDirectory::makeRoom() {
  for (std::size_t tries = joined_.size(); tries > 0 && !joined_.empty(); --tries) {
    const auto [peer, serial] = joined_.front();
    joined_.pop_front();
    if (!open(peer) || at(peer).serial != serial || at(peer).hosts) continue;
    if (at(peer).list) {
      joined_.emplace_back(peer, serial);  // busy now; it may make room later
      continue;
    }
    letGo(peer);
    return true;
  }
  return false;
}

bool TableDirectory::open(int peer) const {
  return peer >= 0 && static_cast<std::size_t>(peer) < peers_.size() &&
         peers_[static_cast<std::size_t>(peer)].open;
}

void TableDirectory::bytesReceived(int peer, std::string_view bytes) {
  if (!open(peer) || bytes.empty()) return;
  bool whole = false;
  at(peer).reader.feed(bytes, [&](std::string&& message) {
    if (!open(peer)) return;  // let go by an earlier message
    whole = true;
    handle(peer, message);
  });
  if (!open(peer)) return;
  Peer& p = at(peer);
  // Every message ends with the terminator: bytes after the last one start another, which
  // must come whole in its turn.
  if (bytes.back() == net::kTerminator)
    p.owesSince.reset();
  else if (whole || !p.owesSince)
    p.owesSince = now_;
}

void TableDirectory::handle(int peer, std::string_view message) {
  switch (commands_.dispatch(message, peer)) {
    case net::Dispatched::kHandled:
      if (open(peer)) at(peer).lastUseful = now_;
      break;
    case net::Dispatched::kUnreadable:
      if (open(peer))
        shell_.send(peer, net::from_directory::refused({0, std::string(kUnreadable)}));
      break;
    case net::Dispatched::kNothing:
    case net::Dispatched::kUnknown:
      break;
  }
}

void TableDirectory::peerClosed(int peer) {
  forget(peer);
}

void TableDirectory::forget(int peer) {
  if (!open(peer)) return;
  Peer& p = at(peer);
  if (p.list) endList(peer);
  p.open = false;
  --peerCount_;
  if (p.hosts) --hostCount_;
  if (--peersAt_[p.address] == 0) peersAt_.erase(p.address);
  // What it left unfinished must not be taken for whoever gets the number next. Its tables
  // stay listed until they expire: a table's host may come back on a new connection.
  p.reader.reset();
}

void TableDirectory::letGo(int peer) {
  shell_.close(peer);
  forget(peer);
}

void TableDirectory::registertable(int peer, const net::TableRegistration& m) {
  Peer& p = at(peer);
  const std::string& address = p.address;
  if (!p.hosts) {
    if (hostCount_ >= limits_.total - limits_.forAsks) {
      shell_.send(peer, net::from_directory::refused({m.port, std::string(kNoRoomForHosts)}));
      return;
    }
    // A host keeps its connection and refreshes: it is let go only after kIdleSeconds, and
    // never to make room, even while the directory refuses its table.
    p.hosts = true;
    ++hostCount_;
  }
  Key key{address, m.port};
  auto table = tables_.find(key);
  if (table == tables_.end()) {
    const auto atAddress = tablesAt_.find(address);
    const int listed = atAddress == tablesAt_.end() ? 0 : atAddress->second;
    std::string_view refusal;
    if (listed >= kMaxTablesPerAddress)
      refusal = kTooManyFromAddress;
    else if (tables_.size() >= static_cast<std::size_t>(kMaxTables))
      refusal = kDirectoryFull;
    if (!refusal.empty()) {
      shell_.send(peer, net::from_directory::refused({m.port, std::string(refusal)}));
      return;
    }
    ++tablesAt_[address];
    table = tables_.emplace(std::move(key), Table{}).first;
  }
  Table& t = table->second;
  t.info = m.info;
  t.refreshed = now_;
  t.host = peer;
  t.hostSerial = p.serial;
  for (const net::ReachRequest& wanted : p.wants) {
    if (wanted.port != m.port) continue;
    t.relayable = true;
    t.visibility = wanted.visibility;
  }
  if (t.code.empty()) {
    // Drawn until free: a code names one table while it lives.
    do t.code = net::inviteCodeFromNumber(shell_.randomNumber());
    while (codes_.count(t.code));
    codes_.emplace(t.code, table->first);
  }
  relist(t, table->first);
  if (t.reach == net::Reach::kChecking && t.probe == 0)
    probe(table->first);  // may answer at once
  else
    tellHost(t, table->first);
}

// What a table's host hears after each registration: where it is listed, or why not.
void TableDirectory::tellHost(const Table& t, const Key& key) {
  if (!open(t.host) || at(t.host).serial != t.hostSerial) return;
  if (t.reach == net::Reach::kDirect)
    shell_.send(t.host, net::from_directory::registered({key.first, key.second}));
  if (t.relayable) {
    shell_.send(t.host, net::from_directory::reach({key.second, t.reach, t.code}));
  } else if (t.reach == net::Reach::kUnreachable) {
    // An older table reads only this: it is told in words.
    shell_.send(t.host, net::from_directory::refused(
                            {key.second, "the directory cannot reach the table at " + where(key) +
                                             " (open that port to the internet)"}));
  }
}

void TableDirectory::relist(Table& t, const Key& key) {
  t.listed.clear();
  if (t.visibility != net::Visibility::kPublic) return;
  if (t.reach == net::Reach::kDirect)
    t.listed = net::from_directory::listedtable({key.first, key.second, t.info});
  else if (t.reach == net::Reach::kRelayed)
    t.listed = net::from_directory::relayedtable({relayHost_, relayPort_, t.code, t.info});
}

void TableDirectory::reachme(int peer, const net::ReachRequest& m) {
  auto& wants = at(peer).wants;
  std::erase_if(wants, [&](const net::ReachRequest& w) { return w.port == m.port; });
  // As many as one address may list: more ports are nobody's tables.
  if (wants.size() < static_cast<std::size_t>(kMaxTablesPerAddress)) wants.push_back(m);
}

void TableDirectory::probe(const Key& key) {
  probeQueue_.push_back(key);
  startProbes();
}

void TableDirectory::startProbes() {
  while (!probeQueue_.empty() && probes_.size() < static_cast<std::size_t>(kMaxProbes)) {
    const Key key = probeQueue_.front();
    probeQueue_.pop_front();
    const auto table = tables_.find(key);
    if (table == tables_.end() || table->second.probe != 0) continue;
    const int id = nextProbe_++;
    if (nextProbe_ <= 0) nextProbe_ = 1;
    table->second.probe = id;
    table->second.checked = now_;
    probes_.emplace(id, key);
    shell_.probe(id, key.first, key.second);
  }
}

void TableDirectory::probeAnswered(int id, bool reached) {
  const auto probe = probes_.find(id);
  if (probe == probes_.end()) return;
  const Key key = probe->second;
  probes_.erase(probe);
  const auto table = tables_.find(key);
  if (table != tables_.end() && table->second.probe == id) {
    Table& t = table->second;
    t.probe = 0;
    const net::Reach before = t.reach;
    if (reached)
      t.reach = net::Reach::kDirect;
    else
      t.reach = t.relayable && relayPort_ != 0 ? net::Reach::kRelayed : net::Reach::kUnreachable;
    relist(t, key);
    if (before == net::Reach::kChecking) {
      // A name is the host's own text: whatever it holds, it moves no terminal.
      const std::string named = where(key) + " \"" + net::escapedForLog(t.info.name) + "\"";
      const std::string invite =
          t.visibility == net::Visibility::kInvite ? " (by its code only)" : "";
      if (t.reach == net::Reach::kDirect)
        shell_.news("Listed " + named + invite);
      else if (t.reach == net::Reach::kRelayed)
        shell_.news("Listed " + named + " through the relay" + invite);
      else
        shell_.news("Cannot reach " + named + "; not listed");
    } else if (t.reach != before) {
      shell_.news("Rechecked " + where(key) + ": " + std::string(net::reachName(t.reach)));
    }
    if (t.reach != before) tellHost(t, key);
  }
  startProbes();
}

const TableDirectory::Table* TableDirectory::tableWithCode(const std::string& code) const {
  const auto found = codes_.find(code);
  if (found == codes_.end()) return nullptr;
  const auto table = tables_.find(found->second);
  return table == tables_.end() ? nullptr : &table->second;
}

void TableDirectory::findcode(int peer, const net::InviteCode& m) {
  int& asks = codeAsksAt_[at(peer).address];
  if (++asks > kCodeAsksPerMinute) {
    shell_.send(peer, net::from_directory::refused({0, std::string(kTooManyCodeAsks)}));
    return;
  }
  const auto found = codes_.find(m.code);
  const Table* t = tableWithCode(m.code);
  if (t == nullptr) {
    shell_.send(peer, net::from_directory::refused({0, std::string(kNoSuchTable)}));
    return;
  }
  const Key& key = found->second;
  switch (t->reach) {
    case net::Reach::kDirect:
      shell_.send(
          peer, net::from_directory::codeat({m.code, net::Reach::kDirect, key.first, key.second}));
      break;
    case net::Reach::kRelayed:
      shell_.send(peer, net::from_directory::codeat(
                            {m.code, net::Reach::kRelayed, relayHost_, relayPort_}));
      break;
    case net::Reach::kChecking:
      shell_.send(peer, net::from_directory::refused({0, std::string(kNotReachedYet)}));
      break;
    case net::Reach::kUnreachable:
      shell_.send(peer, net::from_directory::refused({0, std::string(kCannotBeReached)}));
      break;
  }
}

std::optional<std::string_view> TableDirectory::openBack(const std::string& code,
                                                         const std::string& ticket) {
  const auto found = codes_.find(code);
  const Table* t = tableWithCode(code);
  if (t == nullptr || t->reach != net::Reach::kRelayed || !open(t->host) ||
      at(t->host).serial != t->hostSerial)
    return kRelayNoSuchTable;
  shell_.send(t->host, net::from_directory::relayopen({found->second.second, relayPort_, ticket}));
  return std::nullopt;
}

void TableDirectory::withdrawtable(int peer, const net::TablePort& m) {
  // Only from the table's own address: the key holds it.
  const auto table = tables_.find({at(peer).address, m.port});
  if (table != tables_.end()) drop(table, "withdrawn");
}

void TableDirectory::tablelist(int peer) {
  Peer& p = at(peer);
  if (p.list) {
    shell_.send(peer, net::from_directory::refused({0, std::string(kListNotRead)}));
    return;
  }
  int& lists = listsAt_[p.address];
  if (lists >= kMaxListsPerAddress) {
    shell_.send(peer, net::from_directory::refused({0, std::string(kTooManyLists)}));
    return;
  }
  ++lists;
  p.list = ListUnderWay{std::nullopt, 0, now_};
  listWriters_.push_back(peer);
  writeList(peer);
}

// The tables are written in their order from where the last piece ended, so a list costs
// no copy of the whole: a table listed meanwhile behind that point is in the next list.
bool TableDirectory::writeList(int peer) {
  if (!open(peer) || !at(peer).list || shell_.unsentBytes(peer) >= kListPieceBytes) return false;
  ListUnderWay& list = *at(peer).list;
  std::string piece;
  auto table = list.after ? tables_.upper_bound(*list.after) : tables_.begin();
  for (; table != tables_.end() && piece.size() < kListPieceBytes; ++table) {
    list.after = table->first;
    if (table->second.listed.empty()) continue;
    piece += table->second.listed;
    ++list.count;
  }
  const bool last = table == tables_.end();
  if (last) piece += net::from_directory::tablelistend({list.count});
  // Ended either way: a connection that takes nothing more is about to be reported closed.
  if (!shell_.send(peer, piece) || last) endList(peer);
  return true;
}

void TableDirectory::endList(int peer) {
  Peer& p = at(peer);
  p.list.reset();
  p.lastUseful = now_;
  if (--listsAt_[p.address] == 0) listsAt_.erase(p.address);
  std::erase(listWriters_, peer);
}

bool TableDirectory::writeLists() {
  bool wrote = false;
  // A copy: a list that ends leaves the writers.
  const std::vector<int> writers = listWriters_;
  for (const int peer : writers) wrote = writeList(peer) || wrote;
  return wrote;
}

void TableDirectory::drop(std::map<Key, Table>::iterator table, std::string_view why) {
  shell_.news("Dropped " + where(table->first) + " (" + std::string(why) + ")");
  const std::string& address = table->first.first;
  if (--tablesAt_[address] == 0) tablesAt_.erase(address);
  // Its code names nothing from now on; an answer to its probe finds nothing.
  codes_.erase(table->second.code);
  if (table->second.probe != 0) probes_.erase(table->second.probe);
  tables_.erase(table);
}

void TableDirectory::secondTick() {
  ++now_;
  if (now_ % 60 == 0) codeAsksAt_.clear();
  for (auto table = tables_.begin(); table != tables_.end();) {
    const auto next = std::next(table);
    Table& t = table->second;
    if (now_ - t.refreshed >= kExpirySeconds) {
      drop(table, "not refreshed for 60 s");
    } else if (t.probe == 0 && t.reach != net::Reach::kChecking &&
               now_ - t.checked >=
                   (t.reach == net::Reach::kDirect ? kRecheckDirectSeconds : kRecheckSeconds)) {
      t.checked = now_;
      probeQueue_.push_back(table->first);
    }
    table = next;
  }
  startProbes();
  for (std::size_t n = 0; n < peers_.size(); ++n) {
    const Peer& p = peers_[n];
    if (!p.open) continue;
    const bool unfinished = p.owesSince && now_ - *p.owesSince >= kWholeMessageSeconds;
    const bool slowList = p.list && now_ - p.list->started >= kListSeconds;
    const bool idle = !p.list && now_ - p.lastUseful >= (p.hosts ? kIdleSeconds : kAskIdleSeconds);
    if (unfinished || slowList || idle) letGo(static_cast<int>(n));
  }
  // Connections gone or hosting leave the line for making room, which then never holds many
  // more than the connections open.
  std::erase_if(joined_, [this](const std::pair<int, std::uint64_t>& j) {
    return !open(j.first) || at(j.first).serial != j.second || at(j.first).hosts;
  });
}

int TableDirectory::tablesAt(const std::string& address) const {
  const auto found = tablesAt_.find(address);
  return found == tablesAt_.end() ? 0 : found->second;
}

}  // namespace zp::directory
