#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"

namespace zp::directory {

// How long a table stays listed without a refresh; tables refresh at least every 20 s.
inline constexpr int kExpirySeconds = 60;
inline constexpr int kMaxTablesPerAddress = 64;
inline constexpr int kMaxTables = 10'000;
// Connections: every listed table holds one, and lobbies come and go.
inline constexpr int kMaxPeers = kMaxTables + 2'000;
inline constexpr int kMaxPeersPerAddress = kMaxTablesPerAddress + 192;
// A connection that sends nothing for this long is let go (a table refreshes far sooner).
inline constexpr int kIdleSeconds = kExpirySeconds;
// A peer's share of the queue: a few messages, none of which is long.
inline constexpr net::InboxLimits kPeerInboxLimits{16, 32 * 1024};
// A list is not sent again to a peer that has not read this much of the last one.
inline constexpr std::size_t kListBacklogBytes = 64 * 1024;

// The refusals' reasons, as a table's host shows them.
inline constexpr std::string_view kTooManyFromAddress = "this address already has 64 tables listed";
inline constexpr std::string_view kDirectoryFull = "the directory is full: 10000 tables are listed";
inline constexpr std::string_view kUnreadable = "the message does not read";
inline constexpr std::string_view kListNotRead = "the last list has not been read yet";
inline constexpr std::string_view kTooManyConnections = "too many connections";

// The world as the directory's logic sees it. DirectoryServer implements it with sockets,
// tests with an in-memory record.
class DirectoryShell {
 public:
  virtual ~DirectoryShell() = default;
  // Hands whole messages to the peer's connection.
  virtual void send(int peer, std::string_view bytes) = 0;
  // Lets the peer's connection go after what was sent; the shell does not report this close.
  virtual void close(int peer) = 0;
  // What was sent to the peer and has not gone out yet.
  virtual std::size_t unsentBytes(int peer) const = 0;
  // One line per table listed or dropped, for a person watching the directory.
  virtual void news(std::string_view /*line*/) {}
};

// The directory of tables, driven by calls: connections are accepted with acceptPeer(),
// their bytes arrive with bytesReceived() and their end with peerClosed(); serveOne()
// answers one waiting message, peers in turn; secondTick() is called once a second.
//
//   TableDirectory directory(shell);
//   auto accepted = directory.acceptPeer("10.0.0.5");
//   directory.bytesReceived(accepted.peer, bytes);
//   while (directory.serveOne()) {}
//   directory.secondTick();
class TableDirectory {
 public:
  explicit TableDirectory(DirectoryShell& shell);

  struct Accepted {
    int peer = -1;        // -1: refused; send `refusal` and close the connection
    std::string refusal;  // a whole message
  };
  // A new connection from `address` (IPv4 or IPv6 text): the lowest free peer number.
  Accepted acceptPeer(std::string_view address);
  void bytesReceived(int peer, std::string_view bytes);
  void peerClosed(int peer);  // safe to call again for the same close

  // Answers one waiting message; false when nothing waits.
  bool serveOne();
  bool hasWaitingMessages() const { return !inbox_.empty(); }
  void secondTick();

  // Read access for the shell, tests and benchmarks.
  struct Table {
    net::TableInfo info;
    std::string listed;  // its CMD_listedtable, built once per registration
    int refreshed = 0;   // the second of its last registration
  };
  using Key = std::pair<std::string, int>;  // address, port
  const std::map<Key, Table>& tables() const { return tables_; }
  int tablesAt(const std::string& address) const;
  int peers() const { return peerCount_; }
  int now() const { return now_; }

 private:
  void registertable(int peer, const net::TableRegistration& m);
  void withdrawtable(int peer, const net::TablePort& m);
  void tablelist(int peer);
  void drop(std::map<Key, Table>::iterator table, std::string_view why);
  void letGo(int peer);
  void forget(int peer);
  bool open(int peer) const;

  struct Peer {
    bool open = false;
    std::string address;
    int lastHeard = 0;
  };

  DirectoryShell& shell_;
  int now_ = 0;  // seconds since the start
  std::vector<Peer> peers_;
  int peerCount_ = 0;
  std::unordered_map<std::string, int> peersAt_;
  std::map<Key, Table> tables_;
  std::unordered_map<std::string, int> tablesAt_;
  std::size_t listedBytes_ = 0;  // of every table's CMD_listedtable together
  net::ReceiveQueue inbox_{kPeerInboxLimits};
  net::CommandTable<int> commands_;
};

}  // namespace zp::directory
