#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "net/catalogue.h"
#include "net/host_port.h"
#include "net/ip_address.h"

namespace zp::lobby {

// A host that answers for many made-up tables fills the list only this far.
inline constexpr std::size_t kMaxNetworkTables = 256;
inline constexpr std::size_t kMaxAddressesPerTable = 8;

// A table that answered on the local network.
struct NetworkTable {
  std::string identity;
  net::HostPort where;  // its best address of those it answered from last, with its game port
  net::TableInfo info;  // its latest answer
  int round = 0;        // the last round it answered
  bool operator==(const NetworkTable&) const = default;
};

// The lobby's finder of tables on the local network, without a socket or a clock: it writes
// each round's question and reads the answers. An answer counts only from a private,
// link-local or loopback sender, and only with the token of one of the last few rounds, so
// nobody who did not see the question can add a table. A table that answers over IPv4 and
// IPv6, or from several addresses, is one table, listed at its best address (loopback, then
// IPv4, then IPv6); a table that has not answered in two whole rounds is dropped.
//
//   NetworkTables network(kAnswerLimitMs);
//   socket.broadcast(network.startRound(nowMs));
//   ... network.received(from, datagram);
//   ... if (network.tick(nowMs)) show(network.tables());
class NetworkTables {
 public:
  // A round's answers count until `answerLimitMs` after its question.
  explicit NetworkTables(std::int64_t answerLimitMs, std::uint64_t seed = std::random_device{}());

  // The question of a new round.
  std::string startRound(std::int64_t nowMs);
  // Ends the rounds whose answer time is over; true when a table was dropped.
  bool tick(std::int64_t nowMs);
  // One datagram from `from`; true when what tables() gives changed.
  bool received(const net::IpAddress& from, std::string_view datagram);
  std::vector<NetworkTable> tables() const;

 private:
  struct Round {
    int number = 0;
    std::string token;
    std::int64_t startMs = 0;
  };
  struct Address {
    net::IpAddress ip;
    int port = 0;
    int round = 0;
  };
  struct Entry {
    std::map<std::string, Address> addresses;  // by address text
    net::TableInfo info;
    int infoRound = 0;
    int round = 0;
  };
  static NetworkTable shown(const std::string& identity, const Entry& entry);

  std::int64_t answerLimitMs_;
  std::mt19937_64 random_;
  std::deque<Round> rounds_;  // the last few, oldest first
  int lastRound_ = 0;
  int endedRound_ = 0;  // every round up to this one is over
  std::map<std::string, Entry> entries_;
};

}  // namespace zp::lobby
