#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/catalogue.h"
#include "net/host_port.h"

namespace zp::lobby {

inline constexpr std::uint16_t kDirectoryPort = 7771;
inline constexpr std::uint16_t kTablePort = 7772;
// A round of asking starts this often, and whenever the player asks for one.
inline constexpr std::int64_t kRefreshMs = 5000;
// A table or a directory that has not answered by then counts as not answering.
inline constexpr std::int64_t kAnswerLimitMs = 2000;
// The most tables taken from one directory's list (a directory holds at most 10,000).
inline constexpr std::size_t kMaxTablesPerDirectory = 10000;

// Where a row of the list comes from; a table may come from several.
enum Source : unsigned {
  kFromDirectory = 1,
  kAddedByPlayer = 2,
  kOnThisComputer = 4,
};

enum class TableState {
  kAsking,   // asked for the first time, no answer yet
  kKnown,    // `info` is what the table (or a directory that lists it) says now
  kUnknown,  // it does not answer; `info` is what it last said, if it ever did
};

struct TableRow {
  net::HostPort where;
  unsigned sources = 0;
  TableState state = TableState::kAsking;
  std::optional<net::TableInfo> info;
  bool operator==(const TableRow&) const = default;
};

enum class Column { kName, kPlayers, kFreeSeats, kSpectators, kState, kAddress };
inline constexpr int kColumns = 6;
// The heading of a column and what a row shows in it; the seats, free seats and spectators
// show only for a table that answers.
std::string columnHeading(Column column);
std::string columnText(const TableRow& row, Column column);
int freeSeats(const net::TableInfo& info);

// How a directory answered the last time it was asked.
struct DirectoryStatus {
  net::HostPort where;
  enum class State { kAsking, kAnswered, kSilent } state = State::kAsking;
  std::size_t tables = 0;  // in its last answer
  bool operator==(const DirectoryStatus&) const = default;
};

// What the finder asks of the network. Every ask is answered once, through tableAnswered,
// directoryListed or askFailed, unless the finder cancels it first.
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
};

// The lobby's list of tables, merged from its three sources: the tables the directories
// list, the tables the player added by address, and the table on this computer. A table
// listed by several of them is one row (the same host and port).
//
// Tables added by address and the one on this computer are asked directly, at most one ask
// each at a time; a directory is asked for its list, and its tables are shown as it lists
// them (their hosts keep that current), so a lobby never sends a question to every table of
// a large directory. Where a table answers directly, its own answer wins. The table on this
// computer shows only while something listens there.
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

  // Starts a round of asking now: every directory and every directly asked table that has
  // no ask under way is asked.
  void refresh(std::int64_t nowMs);
  void tick(std::int64_t nowMs);

  // From the shell.
  void tableAnswered(int ask, const net::TableInfo& info);
  void directoryListed(int ask, const std::vector<net::ListedTable>& tables);
  // `nobodyListens`: the connection was refused, so no table runs there.
  void askFailed(int ask, bool nobodyListens);

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
  };
  struct Pending {
    std::int64_t deadline = 0;
    bool directory = false;
    Key key;  // of the table or the directory
  };

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
  int nextAsk_ = 1;
  std::optional<std::int64_t> nextRound_;
  mutable std::vector<TableRow> rows_;
  mutable bool stale_ = false;
};

}  // namespace zp::lobby
