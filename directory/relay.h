#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rules/constants.h"

namespace zp::directory {

// What the relay holds, and for how long. A table takes as many relayed players as it has
// seats and places to watch; the rest is the relay's own protection from being used as a
// proxy or flooded.
struct RelayLimits {
  int perTable = kMaxPlayer;
  int playersPerAddress = 16;  // players joining through the relay from one address
  int linksPerAddress = 64;    // any connections from one address, tables' included
  int total = 20'000;          // connections, players' and tables' together
  // What one relayed connection may pass on, on average and at once.
  std::int64_t bytesPerSecond = 32 * 1024;
  std::int64_t burstBytes = 128 * 1024;
};
// A connection must name its table (or its ticket) within this time.
inline constexpr int kRelayGreetingSeconds = 5;
// A table asked to open a connection back has this long to do it.
inline constexpr int kRelayBackSeconds = 10;
// A relayed pair that passes nothing either way for this long is let go.
inline constexpr int kRelayIdleSeconds = 30 * 60;
// A side whose partner has this much unsent waits until it has gone out.
inline constexpr std::size_t kRelayMaxUnsent = 256 * 1024;

// The refusals, as the player's game shows them.
inline constexpr std::string_view kRelayTableFull = "The table is full";
inline constexpr std::string_view kRelayNoSuchTable = "No such table";
inline constexpr std::string_view kRelayBusy = "The relay is busy";
inline constexpr std::string_view kRelayTableSilent = "The table did not answer through the relay";
inline constexpr std::string_view kRelayUnreadable = "The relay expected the table's code first";

// What the relay asks of the directory that knows the tables. In one process the directory
// answers itself; a relay of its own would ask it over a link.
class RelayTables {
 public:
  virtual ~RelayTables() = default;
  // Asks the table with `code` to open a connection back to the relay that starts with
  // `ticket`: nothing when asked, else why not (kRelayNoSuchTable).
  virtual std::optional<std::string_view> openBack(const std::string& code,
                                                   const std::string& ticket) = 0;
};

// The relay's world: its connections. RelayServer implements it with sockets.
class RelayShell {
 public:
  virtual ~RelayShell() = default;
  virtual bool send(int link, std::string_view bytes) = 0;
  // Lets the connection go after what was sent; no linkClosed() follows.
  virtual void close(int link) = 0;
  virtual void pauseReading(int link) = 0;
  virtual void resumeReading(int link) = 0;
  virtual std::size_t unsentBytes(int link) const = 0;
  virtual std::uint64_t randomNumber() = 0;
};

// Joins players to tables that cannot be reached directly, driven by calls. A player's
// connection names a code (CMD_relayjoin); the relay asks the table for a connection back
// with a fresh ticket; the table's connection names the ticket (CMD_relayback); from then on
// whatever either side sends goes to the other unchanged.
//
//   Relay relay(shell, directory);
//   auto accepted = relay.acceptLink("198.51.100.7");
//   relay.bytesReceived(accepted.link, bytes);
//   relay.secondTick();  // once a second
class Relay {
 public:
  Relay(RelayShell& shell, RelayTables& tables, RelayLimits limits = RelayLimits());

  struct Accepted {
    int link = -1;        // -1: refused; send `refusal` and close the connection
    std::string refusal;  // a whole message
  };
  Accepted acceptLink(std::string_view address);
  void bytesReceived(int link, std::string_view bytes);
  void linkClosed(int link);
  void secondTick();

  int links() const { return linkCount_; }
  int pairs() const { return pairCount_; }
  int playersAt(const std::string& code) const;
  const RelayLimits& limits() const { return limits_; }

 private:
  enum class Kind { kNew, kPlayer, kTable };
  struct Link {
    bool open = false;
    std::uint64_t serial = 0;
    std::string address;
    Kind kind = Kind::kNew;
    std::string head;  // before pairing: what came, the greeting first
    int partner = -1;
    std::string code;    // a player's table
    std::string ticket;  // a player's, while its table opens the connection back
    int since = 0;       // when it came, or began waiting for its table
    int lastBytes = 0;
    std::int64_t allowance = 0;
    bool pausedForRate = false;
    bool pausedForPartner = false;
  };

  void greeted(int link, std::string_view message, std::string rest);
  void playerJoins(int link, const std::string& code, std::string rest);
  void tableComesBack(int link, const std::string& ticket, std::string rest);
  void pass(int from, std::string_view bytes);
  void refuse(int link, std::string_view reason);
  void letGo(int link);
  void forget(int link);
  bool open(int link) const;
  Link& at(int link) { return links_[static_cast<std::size_t>(link)]; }

  RelayShell& shell_;
  RelayTables& tables_;
  RelayLimits limits_;
  int now_ = 0;
  std::vector<Link> links_;
  int linkCount_ = 0;
  int pairCount_ = 0;
  std::uint64_t nextSerial_ = 1;
  std::unordered_map<std::string, int> linksAt_;
  std::unordered_map<std::string, int> playersFrom_;
  std::unordered_map<std::string, int> playersAtTable_;
  std::unordered_map<std::string, int> waiting_;  // ticket -> the player's link
};

}  // namespace zp::directory
