#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "directory/relay.h"
#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"

namespace zp::directory {

// How long a table stays listed without a refresh; tables refresh at least every 20 s.
inline constexpr int kExpirySeconds = 60;
inline constexpr int kMaxTablesPerAddress = 64;
inline constexpr int kMaxTables = 10'000;

// Connections: every listed table's host holds one, and lobbies come and go. A host behind
// one address needs one per table; a few more let the lobbies behind it ask.
inline constexpr int kMaxPeers = kMaxTables + 2'000;
inline constexpr int kMaxPeersPerAddress = kMaxTablesPerAddress + 16;
// Connections that tables' hosts can never take: a lobby's ask is answered even when as many
// hosts as can be are registering.
inline constexpr int kRoomForAsks = 2'000;
// Kept for the program itself when the peers' limit comes from the limit of open files.
inline constexpr int kSpareHandles = 128;

// A connection must finish each message it starts, and its first, within this time; a
// dribble of bytes holds no place.
inline constexpr int kWholeMessageSeconds = 5;
// A connection that has said nothing useful for this long is let go: a table's host (which
// refreshes every 15 s) after kIdleSeconds, any other once its list is written and it has
// said nothing useful for kAskIdleSeconds.
inline constexpr int kIdleSeconds = kExpirySeconds;
inline constexpr int kAskIdleSeconds = 10;

// A list is written as the peer takes it, a piece of about this size whenever less than this
// waits unsent: a peer that does not read holds no more than two pieces, whatever the list.
inline constexpr std::size_t kListPieceBytes = 64 * 1024;
// A list not taken whole within this time ends the connection.
inline constexpr int kListSeconds = 20;
// Lists written at once to one address; a lobby asks for one at a time.
inline constexpr int kMaxListsPerAddress = 8;

// The refusals' reasons, as a table's host shows them.
inline constexpr std::string_view kTooManyFromAddress = "this address already has 64 tables listed";
inline constexpr std::string_view kDirectoryFull = "the directory is full: 10000 tables are listed";
inline constexpr std::string_view kNoRoomForHosts =
    "the directory holds as many tables' connections as it can";
inline constexpr std::string_view kUnreadable = "the message does not read";
inline constexpr std::string_view kListNotRead = "the last list has not been read yet";
inline constexpr std::string_view kTooManyLists = "too many lists are being sent to this address";
inline constexpr std::string_view kTooManyConnections = "too many connections";

// Before a table is listed the directory connects back to it and asks CMD_tableinfo+; the
// shell gives up on a table that has not answered within kProbeSeconds. At most kMaxProbes
// run at once, the rest wait their turn. A table that could not be reached is asked again
// after kRecheckSeconds (an address can become reachable), one listed direct after
// kRecheckDirectSeconds.
inline constexpr int kProbeSeconds = 3;
// Each holds a file handle: they stay within the spare ones.
inline constexpr int kMaxProbes = 64;
inline constexpr int kRecheckSeconds = 60;
inline constexpr int kRecheckDirectSeconds = 600;
// Codes one address may look up in a minute: a code cannot be found by trying them all.
inline constexpr int kCodeAsksPerMinute = 30;
inline constexpr std::string_view kNoSuchTable = "No such table";
inline constexpr std::string_view kTooManyCodeAsks = "too many codes asked for; try again later";
inline constexpr std::string_view kNotReachedYet =
    "the table is being checked; try again in a few seconds";
inline constexpr std::string_view kCannotBeReached = "the table cannot be reached";

// How many connections the directory holds.
struct PeerLimits {
  int total = kMaxPeers;
  int perAddress = kMaxPeersPerAddress;
  int forAsks = kRoomForAsks;  // of `total`, never held by tables' hosts
};
// The limits for a process that may have `handles` files open at once: past them a
// connection is refused in words rather than left hanging for a file handle.
PeerLimits peerLimitsForHandles(std::uint64_t handles);

// The world as the directory's logic sees it. DirectoryServer implements it with sockets,
// tests with an in-memory record.
class DirectoryShell {
 public:
  virtual ~DirectoryShell() = default;
  // Hands whole messages to the peer's connection; false when it takes nothing any more
  // (its close is then reported soon).
  virtual bool send(int peer, std::string_view bytes) = 0;
  // Lets the peer's connection go after what was sent; the shell does not report this close.
  virtual void close(int peer) = 0;
  // What was sent to the peer and has not gone out yet.
  virtual std::size_t unsentBytes(int peer) const = 0;
  // One line per table listed or dropped, for a person watching the directory; what came
  // from the network is escaped.
  virtual void news(std::string_view /*line*/) {}
  // Connects to the table at address:port and asks CMD_tableinfo+; reports once with
  // TableDirectory::probeAnswered(id, ...), within kProbeSeconds, possibly before it returns.
  virtual void probe(int id, const std::string& address, int port) = 0;
  // For invite codes and the relay's tickets: nobody may guess them.
  virtual std::uint64_t randomNumber();
};

// The directory of tables, driven by calls: connections are accepted with acceptPeer(),
// their bytes arrive with bytesReceived() (every whole message is answered at once) and their
// end with peerClosed(); writeLists() writes the next piece of every list its peer has taken
// so far, for as long as writingLists(); secondTick() is called once a second.
//
//   TableDirectory directory(shell);
//   auto accepted = directory.acceptPeer("10.0.0.5");
//   directory.bytesReceived(accepted.peer, bytes);
//   while (directory.writingLists()) directory.writeLists();  // as the peers read
//   directory.secondTick();
class TableDirectory : public RelayTables {
 public:
  explicit TableDirectory(DirectoryShell& shell, PeerLimits limits = PeerLimits());

  // Where tables that cannot be reached are listed: the relay's host (empty: this
  // directory's own) and port. Port 0, the default, relays nothing.
  void setRelay(std::string host, int port);
  void probeAnswered(int id, bool reached);
  std::optional<std::string_view> openBack(const std::string& code,
                                           const std::string& ticket) override;

  struct Accepted {
    int peer = -1;        // -1: refused; send `refusal` and close the connection
    std::string refusal;  // a whole message
  };
  // A new connection from `address` (IPv4 or IPv6 text): the lowest free peer number. When
  // the directory is full, the longest waiting connection that neither hosts a table nor is
  // being written a list makes room.
  Accepted acceptPeer(std::string_view address);
  void bytesReceived(int peer, std::string_view bytes);
  void peerClosed(int peer);  // safe to call again for the same close

  // True when a piece of some list went to its peer.
  bool writeLists();
  bool writingLists() const { return !listWriters_.empty(); }
  void secondTick();

  // Read access for the shell, tests and benchmarks.
  struct Table {
    net::TableInfo info;
    std::string listed;  // its line in a list, built once per registration; empty: unlisted
    int refreshed = 0;   // the second of its last registration
    net::Reach reach = net::Reach::kChecking;
    net::Visibility visibility = net::Visibility::kPublic;
    bool relayable = false;  // its host asked with CMD_reachme, and can open connections back
    std::string code;
    int host = -1;  // the connection of its last registration
    std::uint64_t hostSerial = 0;
    int checked = 0;  // when it was last asked
    int probe = 0;    // the probe under way, 0 for none
  };
  using Key = std::pair<std::string, int>;  // address, port
  const std::map<Key, Table>& tables() const { return tables_; }
  int tablesAt(const std::string& address) const;
  // The table an invite code names, if any.
  const Table* tableWithCode(const std::string& code) const;
  int probesUnderWay() const { return static_cast<int>(probes_.size()); }
  int peers() const { return peerCount_; }
  int now() const { return now_; }
  const PeerLimits& limits() const { return limits_; }

 private:
  struct ListUnderWay {
    std::optional<Key> after;  // the last table written
    int count = 0;
    int started = 0;
  };
  struct Peer {
    bool open = false;
    std::uint64_t serial = 0;  // tells a connection from a later one with the same number
    std::string address;
    net::MessageReader reader;
    std::optional<int> owesSince;  // waiting for a whole message since then
    int lastUseful = 0;
    bool hosts = false;  // it has registered a table: its host keeps it open
    std::optional<ListUnderWay> list;
    // The ports its host asked to be reached at with CMD_reachme, and how seen.
    std::vector<net::ReachRequest> wants;
  };

  void handle(int peer, std::string_view message);
  void registertable(int peer, const net::TableRegistration& m);
  void withdrawtable(int peer, const net::TablePort& m);
  void tablelist(int peer);
  void reachme(int peer, const net::ReachRequest& m);
  void findcode(int peer, const net::InviteCode& m);
  void probe(const Key& key);
  void startProbes();
  void relist(Table& table, const Key& key);
  void tellHost(const Table& table, const Key& key);
  bool writeList(int peer);
  void endList(int peer);
  bool makeRoom();
  void drop(std::map<Key, Table>::iterator table, std::string_view why);
  void letGo(int peer);
  void forget(int peer);
  bool open(int peer) const;
  Peer& at(int peer) { return peers_[static_cast<std::size_t>(peer)]; }

  DirectoryShell& shell_;
  PeerLimits limits_;
  int now_ = 0;  // seconds since the start
  std::vector<Peer> peers_;
  int peerCount_ = 0;
  int hostCount_ = 0;
  std::uint64_t nextSerial_ = 1;
  std::unordered_map<std::string, int> peersAt_;
  std::unordered_map<std::string, int> listsAt_;
  std::vector<int> listWriters_;
  // The connections that may make room for a new one, oldest first (some may have gone).
  std::deque<std::pair<int, std::uint64_t>> joined_;
  std::map<Key, Table> tables_;
  std::unordered_map<std::string, int> tablesAt_;
  net::CommandTable<int> commands_;
  std::string relayHost_;
  int relayPort_ = 0;
  std::unordered_map<std::string, Key> codes_;
  std::map<int, Key> probes_;
  std::deque<Key> probeQueue_;
  int nextProbe_ = 1;
  std::unordered_map<std::string, int> codeAsksAt_;  // this minute's
};

}  // namespace zp::directory
