#include "directory/relay.h"

#include <algorithm>
#include <utility>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"

namespace zp::directory {
namespace {

int& count(std::unordered_map<std::string, int>& counts, const std::string& key) {
  return counts[key];
}
void lower(std::unordered_map<std::string, int>& counts, const std::string& key) {
  const auto found = counts.find(key);
  if (found != counts.end() && --found->second <= 0) counts.erase(found);
}

}  // namespace

Relay::Relay(RelayShell& shell, RelayTables& tables, RelayLimits limits)
    : shell_(shell), tables_(tables), limits_(limits) {}

bool Relay::open(int link) const {
  return link >= 0 && static_cast<std::size_t>(link) < links_.size() &&
         links_[static_cast<std::size_t>(link)].open;
}

int Relay::playersAt(const std::string& code) const {
  const auto found = playersAtTable_.find(code);
  return found == playersAtTable_.end() ? 0 : found->second;
}

Relay::Accepted Relay::acceptLink(std::string_view address) {
  const std::string from(address);
  const auto busy = [] {
    return Accepted{-1, net::from_relay::relayrefused({std::string(kRelayBusy)})};
  };
  if (linkCount_ >= limits_.total) return busy();
  if (const auto at = linksAt_.find(from);
      at != linksAt_.end() && at->second >= limits_.linksPerAddress)
    return busy();
  std::size_t link = 0;
  while (link < links_.size() && links_[link].open) ++link;
  if (link == links_.size()) links_.emplace_back();
  Link& l = links_[link];
  l = Link{};
  l.open = true;
  l.serial = nextSerial_++;
  l.address = from;
  l.since = now_;
  l.lastBytes = now_;
  l.allowance = limits_.burstBytes;
  ++linkCount_;
  ++count(linksAt_, from);
  return {static_cast<int>(link), {}};
}

void Relay::bytesReceived(int link, std::string_view bytes) {
  if (!open(link) || bytes.empty()) return;
  Link& l = at(link);
  if (l.partner >= 0) {
    pass(link, bytes);
    return;
  }
  if (l.kind != Kind::kNew) {
    // A player waiting for its table: what it says meanwhile goes over once joined.
    if (l.head.size() + bytes.size() > net::kMaxMessageBytes) return letGo(link);
    l.head.append(bytes);
    return;
  }
  l.head.append(bytes);
  const std::size_t end = l.head.find(static_cast<char>(net::kTerminator));
  if (end == std::string::npos) {
    if (l.head.size() > net::kMaxMessageBytes) refuse(link, kRelayUnreadable);
    return;
  }
  const std::string message = l.head.substr(0, end);
  std::string rest = l.head.substr(end + 1);
  l.head.clear();
  greeted(link, message, std::move(rest));
}

void Relay::greeted(int link, std::string_view message, std::string rest) {
  const net::SplitMessage split = net::splitMessage(message);
  if (split.command == net::cmd::relayjoin) {
    if (const auto m = net::to_relay::parseRelayJoin(split.args))
      return playerJoins(link, m->code, std::move(rest));
  } else if (split.command == net::cmd::relayback) {
    if (const auto m = net::to_relay::parseRelayBack(split.args))
      return tableComesBack(link, m->ticket, std::move(rest));
    return letGo(link);
  }
  refuse(link, kRelayUnreadable);
}

void Relay::playerJoins(int link, const std::string& code, std::string rest) {
  Link& l = at(link);
  if (playersAt(code) >= limits_.perTable) return refuse(link, kRelayTableFull);
  if (const auto from = playersFrom_.find(l.address);
      from != playersFrom_.end() && from->second >= limits_.playersPerAddress)
    return refuse(link, kRelayBusy);
  const std::string ticket = net::local_network::tokenText(shell_.randomNumber());
  if (waiting_.count(ticket)) return refuse(link, kRelayBusy);  // all but never
  if (const auto refusal = tables_.openBack(code, ticket)) return refuse(link, *refusal);
  l.kind = Kind::kPlayer;
  l.code = code;
  l.ticket = ticket;
  l.since = now_;
  l.head = std::move(rest);
  ++count(playersAtTable_, code);
  ++count(playersFrom_, l.address);
  waiting_.emplace(ticket, link);
}

void Relay::tableComesBack(int link, const std::string& ticket, std::string rest) {
  const auto found = waiting_.find(ticket);
  // Nobody asked for it (any more): the table's own connection closes without a word.
  if (found == waiting_.end() || !open(found->second)) return letGo(link);
  const int player = found->second;
  waiting_.erase(found);
  Link& p = at(player);
  Link& t = at(link);
  p.ticket.clear();
  t.kind = Kind::kTable;
  t.code = p.code;
  p.partner = link;
  t.partner = player;
  p.lastBytes = t.lastBytes = now_;
  ++pairCount_;
  shell_.send(player, net::from_relay::relayed());
  const std::string early = std::move(p.head);
  p.head.clear();
  if (!early.empty()) pass(player, early);
  if (!rest.empty() && open(link)) pass(link, rest);
}

void Relay::pass(int from, std::string_view bytes) {
  Link& f = at(from);
  const int to = f.partner;
  if (!open(to)) return;
  f.lastBytes = now_;
  at(to).lastBytes = now_;
  if (!shell_.send(to, bytes)) return;  // its close is reported soon
  f.allowance -= static_cast<std::int64_t>(bytes.size());
  if (f.allowance < 0 && !f.pausedForRate) {
    f.pausedForRate = true;
    shell_.pauseReading(from);
  }
  if (shell_.unsentBytes(to) >= kRelayMaxUnsent && !f.pausedForPartner) {
    f.pausedForPartner = true;
    shell_.pauseReading(from);
  }
}

void Relay::refuse(int link, std::string_view reason) {
  shell_.send(link, net::from_relay::relayrefused({std::string(reason)}));
  letGo(link);
}

void Relay::letGo(int link) {
  shell_.close(link);
  forget(link);
}

void Relay::linkClosed(int link) {
  forget(link);
}

void Relay::forget(int link) {
  if (!open(link)) return;
  Link& l = at(link);
  l.open = false;
  --linkCount_;
  lower(linksAt_, l.address);
  if (l.kind == Kind::kPlayer) {
    lower(playersAtTable_, l.code);
    lower(playersFrom_, l.address);
    if (!l.ticket.empty()) waiting_.erase(l.ticket);
  }
  const int partner = std::exchange(l.partner, -1);
  l.head.clear();
  l.head.shrink_to_fit();
  if (partner >= 0 && open(partner)) {
    --pairCount_;
    at(partner).partner = -1;
    // The other side has what was passed so far, then its end.
    letGo(partner);
  }
}

void Relay::secondTick() {
  ++now_;
  for (std::size_t n = 0; n < links_.size(); ++n) {
    const int link = static_cast<int>(n);
    if (!open(link)) continue;
    Link& l = links_[n];
    if (l.partner < 0) {
      if (l.kind == Kind::kNew && now_ - l.since >= kRelayGreetingSeconds) {
        letGo(link);
      } else if (l.kind == Kind::kPlayer && now_ - l.since >= kRelayBackSeconds) {
        refuse(link, kRelayTableSilent);
      }
      continue;
    }
    if (now_ - l.lastBytes >= kRelayIdleSeconds) {
      letGo(link);  // and its partner
      continue;
    }
    l.allowance = std::min(l.allowance + limits_.bytesPerSecond, limits_.burstBytes);
    const bool rateOk = l.allowance >= 0;
    const bool partnerOk = shell_.unsentBytes(l.partner) < kRelayMaxUnsent;
    const bool wasPaused = l.pausedForRate || l.pausedForPartner;
    if (rateOk) l.pausedForRate = false;
    if (partnerOk) l.pausedForPartner = false;
    if (wasPaused && !l.pausedForRate && !l.pausedForPartner) shell_.resumeReading(link);
  }
}

}  // namespace zp::directory
