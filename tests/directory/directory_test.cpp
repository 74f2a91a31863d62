// The directory's logic with an in-memory world: registration, refresh, expiry, the limits,
// and a fair share for every peer.
#include <gtest/gtest.h>

#include "tests/directory/directory_harness.h"

namespace zp::directory::testing {
namespace {

using Key = TableDirectory::Key;

TEST(Registration, ListsTheTableAtItsSourceAddressAndTheNamedPort) {
  Directory d;
  const int host = d.connect("10.0.0.5");
  d.registerTable(host, 7772, "Club");
  EXPECT_EQ(d.last(host), "CMD_registered+10.0.0.5+7772+");
  const int lobby = d.connect("2001:db8::7");
  bool complete = false;
  const auto tables = d.list(lobby, &complete);
  EXPECT_TRUE(complete);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0], (net::ListedTable{"10.0.0.5", 7772, d.info("Club")}));
  EXPECT_EQ(d.shell.newsLines, std::vector<std::string>{"Listed 10.0.0.5:7772 \"Club\""});
}

TEST(Registration, AnotherAddressNeverTouchesATableItDoesNotOwn) {
  Directory d;
  const int owner = d.connect("10.0.0.5");
  const int other = d.connect("10.0.0.6");
  d.registerTable(owner, 7772, "Mine");
  d.registerTable(other, 7772, "Theirs");  // lists its own table, at its own address
  d.deliver(other, net::to_directory::withdrawtable({7772}));
  ASSERT_EQ(d.directory.tables().size(), 1u);
  EXPECT_EQ(d.directory.tables().begin()->first, (Key{"10.0.0.5", 7772}));
  EXPECT_EQ(d.directory.tables().begin()->second.info.name, "Mine");
  // The owner's take-back counts, from any of its connections.
  d.deliver(d.connect("10.0.0.5"), net::to_directory::withdrawtable({7772}));
  EXPECT_TRUE(d.directory.tables().empty());
  EXPECT_EQ(d.shell.newsLines.back(), "Dropped 10.0.0.5:7772 (withdrawn)");

  // A take-back that arrives with the close, before its turn to be served, still counts.
  const int leaving = d.connect("10.0.0.5");
  d.registerTable(leaving, 7773, "Leaving");
  d.directory.bytesReceived(leaving, net::to_directory::withdrawtable({7773}));
  d.directory.peerClosed(leaving);
  EXPECT_TRUE(d.directory.tables().empty());
  EXPECT_FALSE(d.directory.serveOne()) << "nothing of it is left for the next connection";
}

TEST(Registration, ATableNotRefreshedFor60SecondsIsDropped) {
  Directory d;
  const int host = d.connect("10.0.0.5");
  d.registerTable(host, 1000, "Old");
  d.seconds(30);
  d.registerTable(host, 2000, "Kept");
  d.seconds(29);
  EXPECT_EQ(d.directory.tables().size(), 2u);
  d.seconds(1);
  ASSERT_EQ(d.directory.tables().size(), 1u) << "60 s after its registration";
  d.registerTable(host, 2000, "Renamed");  // a refresh, which may change what it holds
  d.seconds(59);
  const int lobby = d.connect("10.0.0.9");
  const auto tables = d.list(lobby);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].info.name, "Renamed");
  d.seconds(1);
  EXPECT_TRUE(d.directory.tables().empty());
  EXPECT_EQ(d.directory.tablesAt("10.0.0.5"), 0);
}

TEST(Limits, OneAddressHolds64TablesAndTheDirectory10000) {
  Directory d;
  const int crowded = d.connect("10.0.0.5");
  for (int port = 1; port <= kMaxTablesPerAddress; ++port) d.registerTable(crowded, port);
  d.registerTable(crowded, 65);
  EXPECT_EQ(d.last(crowded), "CMD_refused+65+this address already has 64 tables listed+");
  d.registerTable(crowded, 5, "Refreshed");
  EXPECT_EQ(d.last(crowded), "CMD_registered+10.0.0.5+5+") << "a listed table still refreshes";

  int peer = -1;
  for (int n = 0; d.directory.tables().size() < static_cast<std::size_t>(kMaxTables); ++n) {
    if (n % kMaxTablesPerAddress == 0)
      peer = d.connect("10.1." + std::to_string(n / 256 / 64) + "." + std::to_string(n / 64 % 256));
    d.registerTable(peer, 1 + n % kMaxTablesPerAddress);
  }
  const int late = d.connect("192.168.1.1");
  d.registerTable(late, 7772);
  EXPECT_EQ(d.last(late), "CMD_refused+7772+the directory is full: 10000 tables are listed+");
  d.deliver(crowded, net::to_directory::withdrawtable({1}));
  d.registerTable(late, 7772);
  EXPECT_EQ(d.last(late), "CMD_registered+192.168.1.1+7772+") << "room again";
  bool complete = false;
  EXPECT_EQ(d.list(late, &complete).size(), static_cast<std::size_t>(kMaxTables));
  EXPECT_TRUE(complete);
}

TEST(Limits, ConnectionsPerAddressAndOverallAreBounded) {
  Directory d;
  for (int i = 0; i < kMaxPeersPerAddress; ++i) ASSERT_GE(d.connect("10.0.0.5"), 0);
  const auto refused = d.directory.acceptPeer("10.0.0.5");
  EXPECT_EQ(refused.peer, -1);
  EXPECT_EQ(refused.refusal, net::from_directory::refused({0, "too many connections"}));
  EXPECT_GE(d.connect("10.0.0.6"), 0);
  EXPECT_EQ(d.connect("not an address"), -1);
  d.directory.peerClosed(3);
  EXPECT_EQ(d.connect("10.0.0.5"), 3) << "the lowest free number, and room for the address";
}

TEST(Messages, UnreadableOnesAreRefusedAndUnknownOnesIgnored) {
  Directory d;
  const int peer = d.connect("10.0.0.5");
  d.deliver(peer, "CMD_registertable+99999+T+1.0.15+waiting+0+0+0+++++\xFF");
  EXPECT_EQ(d.last(peer), "CMD_refused+0+the message does not read+");
  d.shell.inbox.clear();
  d.deliver(peer,
            "CMD_chat+1+hello\xFF"
            "no command\xFF\xFF");
  EXPECT_TRUE(d.shell.inbox[peer].empty());
  EXPECT_TRUE(d.directory.tables().empty());
}

TEST(Fairness, AFloodingPeerDelaysNobodyElsesAnswer) {
  Directory d;
  const int flooder = d.connect("10.0.0.66");
  const int host = d.connect("10.0.0.5");
  std::string flood;
  for (int i = 0; i < 1000; ++i) flood += net::to_directory::tablelist();
  d.directory.bytesReceived(flooder, flood);
  d.directory.bytesReceived(host, net::to_directory::registertable({7772, d.info("T")}));
  // The flooder's share waits; the host's one message is served within two turns.
  EXPECT_TRUE(d.directory.serveOne());
  EXPECT_TRUE(d.directory.serveOne());
  EXPECT_EQ(d.last(host), "CMD_registered+10.0.0.5+7772+");
  int served = 2;
  while (d.directory.serveOne()) ++served;
  EXPECT_EQ(served, 1 + static_cast<int>(kPeerInboxLimits.maxMessages))
      << "the flooder lost what was past its share";
}

TEST(Fairness, APeerThatFillsItsShareWithLongMessagesIsLetGo) {
  Directory d;
  const int flooder = d.connect("10.0.0.66");
  std::string junk;
  for (int i = 0; i < 16; ++i) junk += "CMD_x+" + std::string(4000, 'j') + '\xFF';
  d.directory.bytesReceived(flooder, junk);
  EXPECT_EQ(d.shell.closed, std::vector<int>{flooder});
  EXPECT_EQ(d.directory.peers(), 0);
  EXPECT_FALSE(d.directory.hasWaitingMessages());
}

TEST(Fairness, AListIsNotSentAgainBeforeTheLastOneIsRead) {
  Directory d;
  const int lobby = d.connect("10.0.0.9");
  d.shell.unsent[lobby] = kListBacklogBytes + 1;
  d.deliver(lobby, net::to_directory::tablelist());
  EXPECT_EQ(d.last(lobby), "CMD_refused+0+the last list has not been read yet+");
  d.shell.unsent[lobby] = 0;
  bool complete = false;
  d.list(lobby, &complete);
  EXPECT_TRUE(complete);
}

TEST(Peers, ASilentConnectionIsLetGoButItsTableStaysUntilItExpires) {
  Directory d;
  const int quiet = d.connect("10.0.0.5");
  const int busy = d.connect("10.0.0.6");
  d.registerTable(quiet, 7772);
  for (int second = 1; second <= kIdleSeconds; ++second) {
    if (second % 15 == 0) d.registerTable(busy, 7772);
    d.seconds(1);
  }
  EXPECT_EQ(d.shell.closed, std::vector<int>{quiet});
  EXPECT_EQ(d.directory.peers(), 1);
  EXPECT_EQ(d.directory.tablesAt("10.0.0.6"), 1);
  EXPECT_EQ(d.directory.tablesAt("10.0.0.5"), 0) << "expired at the same 60 s";
  d.directory.bytesReceived(quiet, net::to_directory::tablelist());
  EXPECT_FALSE(d.directory.hasWaitingMessages()) << "nothing is taken from a closed peer";
}

}  // namespace
}  // namespace zp::directory::testing
