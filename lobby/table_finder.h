#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lobby/network_tables.h"
#include "net/catalogue.h"
#include "net/host_port.h"
#include "net/ip_address.h"

namespace zp::lobby {

inline constexpr std::uint16_t kDirectoryPort = 7771;
inline constexpr std::uint16_t kTablePort = 7772;
// A round of asking starts this often, and whenever the player asks for one.
inline constexpr std::int64_t kRefreshMs = 5000;
// A table or a directory that has not answered this long after its connection was made
// counts as not answering; one whose name has not been looked up and connected to by
// kConnectLimitMs, too.
inline constexpr std::int64_t kAnswerLimitMs = 2000;
inline constexpr std::int64_t kConnectLimitMs = 10000;
// A host name's addresses are used this long before it is looked up again.
inline constexpr std::int64_t kAddressKeepMs = 60000;
// The most tables taken from one directory's list (a directory holds at most 10,000).
inline constexpr std::size_t kMaxTablesPerDirectory = 10000;

// Where a row of the list comes from; a table may come from several.
enum Source : unsigned {
  kFromDirectory = 1,
  kAddedByPlayer = 2,
  kOnThisComputer = 4,
  kOnThisNetwork = 8,  // it answered the lobby's question to the local network
};

enum class TableState {
  kAsking,   // asked for the first time, no answer yet
  kKnown,    // `info` is what the table (or a directory that lists it) says now
  kUnknown,  // it does not answer; `info` is what it last said, if it ever did
};

struct TableRow {
  net::HostPort where;  // for a relayed table, its relay
  unsigned sources = 0;
  TableState state = TableState::kAsking;
  std::optional<net::TableInfo> info;
  // A table its directory cannot reach directly: joined by this invite code through `via`,
  // the directory that lists it. Empty for a table joined at its own address.
  std::string code;
  net::HostPort via;
  bool operator==(const TableRow&) const = default;
};
// "direct" for a table a directory reached or the lobby itself did, "relayed" for one joined
// through a directory's relay; empty while nothing has reached it.
std::string reachMark(const TableRow& row);

enum class Column {
  kName,
  kPlayers,
  kFreeSeats,
  kSpectators,
  kPlayTo,
  kTurnTime,
  kComputer,
  kState,
  kAddress
};
inline constexpr int kColumns = 9;
// The heading of a column and what a row shows in it; the seats, free seats, spectators and
// the rules show only for a table that answers, and a rule it did not tell stays blank.
std::string columnHeading(Column column);
std::string columnText(const TableRow& row, Column column);
int freeSeats(const net::TableInfo& info);
// A rule's number for sorting: -1 where the column is blank.
int columnNumber(const TableRow& row, Column column);
// The players at the table, in seat order: a list the window draws name by name, so that no
// name can pass for several.
std::vector<std::string> seatedPlayers(const net::TableInfo& info);
// What a table or a directory said, as the lobby shows it: every name cleaned as the game
// cleans a name it shows; a seat whose name cleans to nothing is still taken.
net::TableInfo shownTableInfo(net::TableInfo info);
inline constexpr std::string_view kUnnamedPlayer = "(no name)";

// How a directory answered the last time it was asked.
struct DirectoryStatus {
  net::HostPort where;
  enum class State { kAsking, kAnswered, kSilent } state = State::kAsking;
  std::size_t tables = 0;  // in its last answer
  bool operator==(const DirectoryStatus&) const = default;
};

// What the finder asks of the network. Every ask is answered once, through tableAnswered,
// directoryListed or askFailed, unless the finder cancels it first. `where` holds a host
// name or an address; the shell reports the addresses it looked a name up to (lookedUp)
// and when the connection is made (connected).
class FinderShell {
 public:
  virtual ~FinderShell() = default;
  // Connect, send CMD_tableinfo+ and report the table's answer.
  virtual void askTable(int ask, const net::HostPort& where) = 0;
  // Connect, send CMD_tablelist+ and report the list once it has ended.
  virtual void askDirectory(int ask, const net::HostPort& where) = 0;
  // The finder has given up on the ask: drop its connection, report nothing more.
  virtual void cancel(int ask) = 0;
  // rows() or directories() may have changed since they were last read; said once until
  // they are read again.
  virtual void listChanged() = 0;
  // Send `query` to the whole local network; the answers come back through networkAnswered.
  virtual void askNetwork(const std::string& /*query*/) {}
};

// The lobby's list of tables, merged from its sources: the tables the directories list, the
// tables the player added by address, the table on this computer, and (when asked) the tables
// that answer on the local network. A table listed by several of them is one row (the same
// host and port).
//
// Tables added by address and the one on this computer are asked directly, at most one ask
// each at a time; a directory is asked for its list, and its tables are shown as it lists
// them (their hosts keep that current), so a lobby never sends a question to every table of
// a large directory. Where a table answers directly, its own answer wins (over TCP first, then
// on the local network). The table on this computer shows only while something listens there.
//
// Driven by calls with the time in ms passed in; no socket, no clock of its own.
//
//   TableFinder finder(shell);
//   finder.setDirectories({{"dir.example.org", 7771}});
//   finder.tick(now);  // every 100 ms or so: starts a round every kRefreshMs, gives up on
//                      // asks older than kAnswerLimitMs
//   finder.refresh(now);  // the player's Refresh
class TableFinder {
 public:
  explicit TableFinder(FinderShell& shell) : shell_(shell) {}

  void setDirectories(const std::vector<net::HostPort>& directories);
  void setAdded(const std::vector<net::HostPort>& tables);
  void setThisComputer(std::optional<net::HostPort> table);
  // Whether each round also asks the local network (see NetworkTables).
  void setNetworkAsked(bool asked) { networkAsked_ = asked; }

  // Starts a round of asking now: every directory and every directly asked table that has
  // no ask under way is asked.
  void refresh(std::int64_t nowMs);
  void tick(std::int64_t nowMs);

  // From the shell. What a table or a directory says is cleaned here, as every name the
  // lobby shows.
  void lookedUp(const std::string& host, const std::vector<std::string>& addresses,
                std::int64_t nowMs);
  void connected(int ask, std::int64_t nowMs);
  void tableAnswered(int ask, const net::TableInfo& info);
  void directoryListed(int ask, const std::vector<net::ListedTable>& tables,
                       const std::vector<net::RelayedTable>& relayed = {});
  // `nobodyListens`: the connection was refused, so no table runs there.
  void askFailed(int ask, bool nobodyListens);
  // A datagram that came back to the question to the local network.
  void networkAnswered(const net::IpAddress& from, std::string_view datagram);

  // Merged when read after a change: a burst of answers costs one merge, not one each.
  const std::vector<TableRow>& rows() const;
  std::vector<DirectoryStatus> directories() const;
  // The table on this computer as it last answered, while it answers.
  std::optional<net::TableInfo> thisComputersTable() const;
  bool asking() const { return !pending_.empty(); }

 private:
  using Key = std::pair<std::string, std::uint16_t>;  // host in lower case, port
  static Key keyOf(const net::HostPort& where);

  enum class Outcome { kNone, kAnswered, kSilent, kRefused };
  struct Asked {  // a table asked directly
    net::HostPort where;
    std::optional<int> ask;
    Outcome outcome = Outcome::kNone;
    std::optional<net::TableInfo> info;  // its last answer
  };
  struct Directory {
    net::HostPort where;
    std::optional<int> ask;
    Outcome outcome = Outcome::kNone;
    std::vector<net::ListedTable> listed;  // its last answer
    std::vector<net::RelayedTable> relayed;
  };
  struct Pending {
    std::int64_t deadline = 0;
    bool directory = false;
    Key key;                   // of the table or the directory
    std::string lookedUpHost;  // the name whose kept address it was sent to, if any
  };
  struct Addresses {
    std::vector<std::string> addresses;
    std::int64_t until = 0;
  };

  // Where an ask for `where` goes: a kept address for a host name, else as it stands.
  net::HostPort destination(const net::HostPort& where, std::int64_t nowMs,
                            std::string* lookedUpHost) const;
  void keepAsked();
  Asked* askedFor(int ask);
  Directory* directoryFor(int ask);
  void settle(int ask);
  void changed();
  void rebuild() const;

  FinderShell& shell_;
  std::vector<Directory> directories_;
  std::vector<net::HostPort> added_;
  std::optional<net::HostPort> thisComputer_;
  std::map<Key, Asked> asked_;
  std::map<int, Pending> pending_;
  std::map<std::string, Addresses> addresses_;  // by host name in lower case
  int nextAsk_ = 1;
  std::optional<std::int64_t> nextRound_;
  mutable std::vector<TableRow> rows_;
  mutable bool stale_ = false;
  NetworkTables network_{kAnswerLimitMs};
  bool networkAsked_ = false;
};

}  // namespace zp::lobby
