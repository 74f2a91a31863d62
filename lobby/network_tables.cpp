#include "lobby/network_tables.h"

#include <algorithm>

namespace zp::lobby {
namespace {

// Answers to this many of the latest questions count: a player's quick Refresh after Refresh
// loses none.
constexpr std::size_t kRoundsKept = 4;

// The address a table is listed at, best first: this computer, then IPv4 (what a player
// types), then IPv6, a link-local one last.
int rank(const net::IpAddress& address) {
  if (net::isLoopback(address)) return 0;
  if (!address.v6) return 1;
  return net::isLinkLocal(address) ? 3 : 2;
}

}  // namespace

NetworkTables::NetworkTables(std::int64_t answerLimitMs, std::uint64_t seed)
    : answerLimitMs_(answerLimitMs), random_(seed) {}

std::string NetworkTables::startRound(std::int64_t nowMs) {
  rounds_.push_back(Round{++lastRound_, net::local_network::tokenText(random_()), nowMs});
  if (rounds_.size() > kRoundsKept) rounds_.pop_front();
  return net::local_network::findtables({rounds_.back().token});
}

bool NetworkTables::tick(std::int64_t nowMs) {
  for (const Round& round : rounds_)
    if (round.number > endedRound_ && nowMs - round.startMs >= answerLimitMs_)
      endedRound_ = round.number;
  bool dropped = false;
  for (auto it = entries_.begin(); it != entries_.end();) {
    Entry& entry = it->second;
    if (endedRound_ - entry.round >= 2) {
      it = entries_.erase(it);
      dropped = true;
      continue;
    }
    // An address it stopped answering from makes room for others.
    std::erase_if(entry.addresses,
                  [&](const auto& address) { return endedRound_ - address.second.round >= 2; });
    ++it;
  }
  return dropped;
}

bool NetworkTables::received(const net::IpAddress& sender, std::string_view datagram) {
  const net::IpAddress from = net::unmapped(sender);
  if (!net::isLocalNetworkAddress(from)) return false;
  const auto found = net::local_network::parseFoundTable(datagram);
  if (!found) return false;
  const auto round = std::find_if(rounds_.begin(), rounds_.end(),
                                  [&](const Round& r) { return r.token == found->token; });
  if (round == rounds_.end() || round->number <= endedRound_) return false;
  const int number = round->number;

  auto it = entries_.find(found->table);
  const bool fresh = it == entries_.end();
  if (fresh) {
    if (entries_.size() >= kMaxNetworkTables) return false;
    it = entries_.emplace(found->table, Entry{}).first;
  }
  Entry& entry = it->second;
  const NetworkTable before = fresh ? NetworkTable{} : shown(it->first, entry);
  const std::string key = from.text();
  auto address = entry.addresses.find(key);
  if (address == entry.addresses.end()) {
    if (entry.addresses.size() >= kMaxAddressesPerTable) return false;
    address = entry.addresses.emplace(key, Address{from, found->port, number}).first;
  } else if (number >= address->second.round) {
    address->second = Address{from, found->port, number};
  }
  entry.round = std::max(entry.round, number);
  if (number >= entry.infoRound) {
    entry.info = found->info;
    entry.infoRound = number;
  }
  return fresh || !(shown(it->first, entry) == before);
}

NetworkTable NetworkTables::shown(const std::string& identity, const Entry& entry) {
  const Address* best = nullptr;
  for (const auto& [text, address] : entry.addresses) {
    if (address.round != entry.round) continue;
    if (!best || rank(address.ip) < rank(best->ip)) best = &address;
  }
  NetworkTable table{identity, {}, entry.info, entry.round};
  if (best) table.where = net::HostPort{best->ip.text(), static_cast<std::uint16_t>(best->port)};
  return table;
}

std::vector<NetworkTable> NetworkTables::tables() const {
  std::vector<NetworkTable> out;
  out.reserve(entries_.size());
  for (const auto& [identity, entry] : entries_) out.push_back(shown(identity, entry));
  return out;
}

}  // namespace zp::lobby
