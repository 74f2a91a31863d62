#include "directory/table_directory.h"

#include "net/host_port.h"

namespace zp::directory {
namespace {

std::string where(const TableDirectory::Key& key) {
  return net::hostPortText({key.first, static_cast<std::uint16_t>(key.second)});
}

}  // namespace

TableDirectory::TableDirectory(DirectoryShell& shell) : shell_(shell) {
  using namespace net;
  commands_
      .on(cmd::registertable, to_directory::parseRegisterTable,
          [this](int peer, const TableRegistration& m) { registertable(peer, m); })
      .on(cmd::withdrawtable, to_directory::parseWithdrawTable,
          [this](int peer, const TablePort& m) { withdrawtable(peer, m); })
      .on(cmd::tablelist, to_directory::parseTableList,
          [this](int peer, const NoFields&) { tablelist(peer); });
}

TableDirectory::Accepted TableDirectory::acceptPeer(std::string_view address) {
  const std::string from(address);
  if (!net::isAddressText(from) || peerCount_ >= kMaxPeers || peersAt_[from] >= kMaxPeersPerAddress)
    return {-1, net::from_directory::refused({0, std::string(kTooManyConnections)})};
  std::size_t peer = 0;
  while (peer < peers_.size() && peers_[peer].open) ++peer;
  if (peer == peers_.size()) peers_.emplace_back();
  peers_[peer] = Peer{true, from, now_};
  ++peerCount_;
  ++peersAt_[from];
  inbox_.dropSource(static_cast<int>(peer));
  return {static_cast<int>(peer), {}};
}

bool TableDirectory::open(int peer) const {
  return peer >= 0 && static_cast<std::size_t>(peer) < peers_.size() &&
         peers_[static_cast<std::size_t>(peer)].open;
}

void TableDirectory::bytesReceived(int peer, std::string_view bytes) {
  if (!open(peer)) return;
  peers_[static_cast<std::size_t>(peer)].lastHeard = now_;
  inbox_.feed(peer, bytes);
  if (inbox_.overflowed(peer)) letGo(peer);
}

void TableDirectory::peerClosed(int peer) {
  if (!open(peer)) return;
  // What it sent before it closed still counts: a table takes itself back and closes.
  while (std::optional<std::string> text = inbox_.takeFrom(peer)) commands_.dispatch(*text, peer);
  forget(peer);
}

void TableDirectory::forget(int peer) {
  if (!open(peer)) return;
  Peer& p = peers_[static_cast<std::size_t>(peer)];
  p.open = false;
  --peerCount_;
  if (--peersAt_[p.address] == 0) peersAt_.erase(p.address);
  // What it left waiting must not be taken for whoever gets the number next. Its tables
  // stay listed until they expire: a table's host may come back on a new connection.
  inbox_.dropSource(peer);
}

void TableDirectory::letGo(int peer) {
  shell_.close(peer);
  forget(peer);
}

bool TableDirectory::serveOne() {
  auto message = inbox_.take();
  if (!message) return false;
  if (commands_.dispatch(message->text, message->source) == net::Dispatched::kUnreadable &&
      open(message->source))
    shell_.send(message->source, net::from_directory::refused({0, std::string(kUnreadable)}));
  return true;
}

void TableDirectory::registertable(int peer, const net::TableRegistration& m) {
  const std::string& address = peers_[static_cast<std::size_t>(peer)].address;
  Key key{address, m.port};
  auto table = tables_.find(key);
  if (table == tables_.end()) {
    int& atAddress = tablesAt_[address];
    std::string_view refusal;
    if (atAddress >= kMaxTablesPerAddress)
      refusal = kTooManyFromAddress;
    else if (tables_.size() >= static_cast<std::size_t>(kMaxTables))
      refusal = kDirectoryFull;
    if (!refusal.empty()) {
      if (atAddress == 0) tablesAt_.erase(address);
      shell_.send(peer, net::from_directory::refused({m.port, std::string(refusal)}));
      return;
    }
    ++atAddress;
    table = tables_.emplace(std::move(key), Table{}).first;
    shell_.news("Listed " + where(table->first) + " \"" + m.info.name + "\"");
  }
  Table& t = table->second;
  listedBytes_ -= t.listed.size();
  t.info = m.info;
  t.listed = net::from_directory::listedtable({address, m.port, m.info});
  t.refreshed = now_;
  listedBytes_ += t.listed.size();
  shell_.send(peer, net::from_directory::registered({address, m.port}));
}

void TableDirectory::withdrawtable(int peer, const net::TablePort& m) {
  // Only from the table's own address: the key holds it.
  const auto table = tables_.find({peers_[static_cast<std::size_t>(peer)].address, m.port});
  if (table != tables_.end()) drop(table, "withdrawn");
}

void TableDirectory::tablelist(int peer) {
  if (shell_.unsentBytes(peer) > kListBacklogBytes) {
    shell_.send(peer, net::from_directory::refused({0, std::string(kListNotRead)}));
    return;
  }
  const std::string end = net::from_directory::tablelistend({static_cast<int>(tables_.size())});
  std::string answer;
  answer.reserve(listedBytes_ + end.size());
  for (const auto& [key, table] : tables_) answer += table.listed;
  answer += end;
  shell_.send(peer, answer);
}

void TableDirectory::drop(std::map<Key, Table>::iterator table, std::string_view why) {
  shell_.news("Dropped " + where(table->first) + " (" + std::string(why) + ")");
  const std::string& address = table->first.first;
  if (--tablesAt_[address] == 0) tablesAt_.erase(address);
  listedBytes_ -= table->second.listed.size();
  tables_.erase(table);
}

void TableDirectory::secondTick() {
  ++now_;
  for (auto table = tables_.begin(); table != tables_.end();) {
    const auto next = std::next(table);
    if (now_ - table->second.refreshed >= kExpirySeconds) drop(table, "not refreshed for 60 s");
    table = next;
  }
  for (std::size_t peer = 0; peer < peers_.size(); ++peer)
    if (peers_[peer].open && now_ - peers_[peer].lastHeard >= kIdleSeconds)
      letGo(static_cast<int>(peer));
}

int TableDirectory::tablesAt(const std::string& address) const {
  const auto found = tablesAt_.find(address);
  return found == tablesAt_.end() ? 0 : found->second;
}

}  // namespace zp::directory
