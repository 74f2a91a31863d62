// The directory's logic with an in-memory world: registration, refresh, expiry, the limits,
// and a fair share for every peer.
#include <gtest/gtest.h>

#include <set>

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

  // A take-back that arrives with the close still counts; an unfinished message does not
  // reach the next connection with the same number.
  const int leaving = d.connect("10.0.0.5");
  d.registerTable(leaving, 7773, "Leaving");
  d.directory.bytesReceived(leaving, net::to_directory::withdrawtable({7773}) + "CMD_tabl");
  d.directory.peerClosed(leaving);
  EXPECT_TRUE(d.directory.tables().empty());
  const int next = d.connect("10.0.0.5");
  ASSERT_EQ(next, leaving);
  d.deliver(next, "elist+\xFF");
  EXPECT_TRUE(d.shell.inbox[next].empty());
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

TEST(Messages, EveryWholeMessageIsAnsweredAsItArrivesHoweverManyComeAtOnce) {
  Directory d;
  const int host = d.connect("10.0.0.5");
  std::string burst;
  for (int port = 1; port <= 70; ++port)
    burst += net::to_directory::registertable({port, d.info("T")});
  d.deliver(host, burst);
  const std::vector<std::string>& answers = d.shell.inbox[host];
  ASSERT_EQ(answers.size(), 70u) << "no registration goes unanswered";
  EXPECT_EQ(answers[63], "CMD_registered+10.0.0.5+64+");
  EXPECT_EQ(answers[64], "CMD_refused+65+this address already has 64 tables listed+");
  EXPECT_EQ(d.directory.tablesAt("10.0.0.5"), kMaxTablesPerAddress);
}

TEST(Lists, APeerThatDoesNotReadHoldsTwoPiecesAndEveryOtherStillGetsTheWholeList) {
  Directory d;
  d.fill(kMaxTables);
  std::vector<int> askers;
  for (int n = 0; n < 600; ++n) {
    const int peer = d.connect("10.9." + std::to_string(n / 6) + ".1");
    d.shell.notReading.insert(peer);
    d.deliver(peer, net::to_directory::tablelist());
    askers.push_back(peer);
  }
  std::size_t held = 0;
  for (const int peer : askers) {
    ASSERT_LE(d.shell.unsentBytes(peer), 2 * kListPieceBytes + 1024);
    held += d.shell.unsentBytes(peer);
  }
  EXPECT_LE(held, 600 * (2 * kListPieceBytes + 1024));
  bool complete = false;
  EXPECT_EQ(d.list(d.connect("192.168.1.1"), &complete).size(), std::size_t{kMaxTables});
  EXPECT_TRUE(complete);

  // One reads at last and gets it all; one asking again before it has read is refused.
  d.shell.notReading.erase(askers[0]);
  while (d.shell.unsentBytes(askers[0]) > 0) {
    d.shell.read(askers[0]);
    d.writeLists();
  }
  EXPECT_EQ(d.listIn(askers[0], &complete).size(), std::size_t{kMaxTables});
  EXPECT_TRUE(complete);
  d.deliver(askers[1], net::to_directory::tablelist());
  d.shell.read(askers[1]);
  EXPECT_EQ(d.last(askers[1]), "CMD_refused+0+the last list has not been read yet+");

  // The others are let go once a list has taken them too long.
  d.seconds(kListSeconds);
  for (std::size_t n = 1; n < askers.size(); ++n) EXPECT_TRUE(d.shell.gone.count(askers[n]));
  EXPECT_FALSE(d.directory.writingLists());
}

// A lobby's idle time runs from the end of its list, however long that list took to read.
TEST(Lists, AReaderIsIdleOnlyFromTheEndOfItsList) {
  Directory d;
  d.fill(kMaxTables / 2);
  const int lobby = d.connect("192.168.1.1");
  d.shell.notReading.insert(lobby);
  d.deliver(lobby, net::to_directory::tablelist());
  d.seconds(kAskIdleSeconds + 2);
  ASSERT_FALSE(d.shell.gone.count(lobby)) << "not idle while its list is written";
  d.shell.notReading.erase(lobby);
  while (d.shell.unsentBytes(lobby) > 0) {
    d.shell.read(lobby);
    d.writeLists();
  }
  d.seconds(kAskIdleSeconds - 1);
  EXPECT_FALSE(d.shell.gone.count(lobby));
  d.seconds(1);
  EXPECT_TRUE(d.shell.gone.count(lobby));
}

TEST(Lists, AListChangedWhileItIsWrittenHoldsEveryTableOnceAndCountsThem) {
  Directory d;
  d.fill(3000);
  const int lobby = d.connect("192.168.1.1");
  d.shell.notReading.insert(lobby);
  d.deliver(lobby, net::to_directory::tablelist());
  // Tables come and go behind and ahead of the piece written.
  const int host = d.connect("10.200.0.1");
  d.registerTable(host, 1, "New");                                          // ahead: listed
  d.deliver(d.connect("10.1.0.0"), net::to_directory::withdrawtable({1}));  // behind: was written
  d.shell.notReading.erase(lobby);
  while (d.shell.unsentBytes(lobby) > 0) {
    d.shell.read(lobby);
    d.writeLists();
  }
  bool complete = false;
  const auto tables = d.listIn(lobby, &complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(tables.size(), 3001u);
  std::set<std::pair<std::string, int>> seen;
  for (const auto& t : tables) EXPECT_TRUE(seen.insert({t.address, t.port}).second);
}

TEST(Lists, OneAddressIsWrittenAFewListsAtATime) {
  Directory d;
  d.fill(3000);
  for (int n = 0; n < kMaxListsPerAddress; ++n) {
    const int peer = d.connect("10.9.0.1");
    d.shell.notReading.insert(peer);
    d.deliver(peer, net::to_directory::tablelist());
  }
  const int late = d.connect("10.9.0.1");
  d.deliver(late, net::to_directory::tablelist());
  EXPECT_EQ(d.last(late), "CMD_refused+0+too many lists are being sent to this address+");
  bool complete = false;
  d.list(d.connect("10.9.0.2"), &complete);
  EXPECT_TRUE(complete) << "another address is not held up";
}

TEST(Peers, ADribbleOrNothingUsefulHoldsNoPlace) {
  Directory d;
  const int silent = d.connect("10.0.0.1");
  const int dribble = d.connect("10.0.0.2");
  const int junk = d.connect("10.0.0.3");
  const std::string ask = net::to_directory::tablelist();
  for (int second = 0; second < kWholeMessageSeconds; ++second) {
    d.deliver(dribble, ask.substr(static_cast<std::size_t>(second), 1));
    d.deliver(junk, "CMD_chat+hello\xFF\xFF");
    d.seconds(1);
  }
  EXPECT_EQ(d.shell.closed, (std::vector<int>{silent, dribble}))
      << "no whole message within " << kWholeMessageSeconds << " s";
  const int lobby = d.connect("10.0.0.4");
  d.deliver(lobby, ask);
  EXPECT_EQ(d.last(lobby), "CMD_tablelistend+0+");
  for (int second = kWholeMessageSeconds; second < kAskIdleSeconds; ++second) {
    d.deliver(junk, "CMD_chat+hello\xFF");
    d.seconds(1);
  }
  EXPECT_EQ(d.shell.closed, (std::vector<int>{silent, dribble, junk}))
      << "nothing useful for " << kAskIdleSeconds << " s";
  d.seconds(kWholeMessageSeconds);
  EXPECT_EQ(d.shell.closed, (std::vector<int>{silent, dribble, junk, lobby}))
      << kAskIdleSeconds << " s after its list";
  EXPECT_EQ(d.directory.peers(), 0);
}

TEST(Peers, AMessageBegunWhereTheLastEndsHasItsOwnTimeToFinish) {
  Directory d;
  const int lobby = d.connect("10.0.0.4");
  const std::string ask = net::to_directory::tablelist();
  d.deliver(lobby, ask.substr(0, 4));
  d.seconds(kWholeMessageSeconds - 1);
  // The first ends, and the next begins in the same read.
  d.deliver(lobby, ask.substr(4) + ask.substr(0, 4));
  EXPECT_EQ(d.last(lobby), "CMD_tablelistend+0+");
  d.seconds(kWholeMessageSeconds - 1);
  EXPECT_TRUE(d.shell.closed.empty());
  d.seconds(1);
  EXPECT_EQ(d.shell.closed, std::vector<int>{lobby});
}

TEST(Peers, AFullDirectoryMakesRoomForALobbyAndKeepsRoomForAsks) {
  Directory d(PeerLimits{10, 10, 3});
  for (int n = 1; n <= 8; ++n) d.registerTable(d.connect("10.0.0." + std::to_string(n)), 7772);
  EXPECT_EQ(d.directory.tables().size(), 7u);
  EXPECT_EQ(d.last(7),
            "CMD_refused+7772+the directory holds as many tables' connections as it can+")
      << "the last 3 connections are kept for asks";
  const int idle = d.connect("10.0.0.20");
  d.connect("10.0.0.21");
  EXPECT_EQ(d.directory.peers(), 10);
  // Full: the connection waiting longest that hosts no table makes room.
  const int lobby = d.connect("192.168.1.1");
  EXPECT_EQ(lobby, 7);
  EXPECT_EQ(d.shell.closed, std::vector<int>{7});
  bool complete = false;
  EXPECT_EQ(d.list(lobby, &complete).size(), 7u);
  EXPECT_TRUE(complete);
  EXPECT_EQ(d.connect("192.168.1.2"), idle);
  EXPECT_EQ(d.shell.closed, (std::vector<int>{7, idle}));
  EXPECT_EQ(d.directory.tables().size(), 7u) << "no host made room";
  // A host that leaves gives its place to another (its table stays until it expires).
  d.directory.peerClosed(0);
  d.registerTable(d.connect("10.0.0.30"), 7772);
  EXPECT_EQ(d.directory.tables().size(), 8u);
}

TEST(Peers, TheLimitsFollowTheFilesTheProgramMayOpen) {
  const PeerLimits few = peerLimitsForHandles(1024);
  EXPECT_EQ(few.total, 1024 - kSpareHandles);
  EXPECT_GT(few.forAsks, 0);
  EXPECT_LT(few.forAsks, few.total);
  EXPECT_LE(few.perAddress, few.total);
  const PeerLimits many = peerLimitsForHandles(1'000'000);
  EXPECT_EQ(many.total, kMaxPeers);
  EXPECT_EQ(many.forAsks, kRoomForAsks);
  EXPECT_EQ(many.perAddress, kMaxPeersPerAddress);
  EXPECT_LT(many.perAddress * 10, many.total) << "one address holds a small share";
  EXPECT_GE(peerLimitsForHandles(3).total, 1);
}

TEST(News, ATableNameMovesNoTerminal) {
  Directory d;
  // A C1 control sequence, a right-to-left override and a line separator.
  d.registerTable(d.connect("10.0.0.5"), 7772,
                  "A\xC2\x9B"
                  "2J\xE2\x80\xAE"
                  "B\xE2\x80\xA8"
                  "C\\");
  EXPECT_EQ(d.shell.newsLines,
            std::vector<std::string>{
                "Listed 10.0.0.5:7772 \"A\\xC2\\x9B2J\\xE2\\x80\\xAEB\\xE2\\x80\\xA8C\\x5C\""});
}

TEST(Peers, ASilentConnectionIsLetGoButItsTableStaysUntilItExpires) {
  Directory d;
  const int quiet = d.connect("10.0.0.5");
  const int busy = d.connect("10.0.0.6");
  d.registerTable(quiet, 7772);
  d.registerTable(busy, 7772);
  for (int second = 1; second <= kIdleSeconds; ++second) {
    if (second % 15 == 0) d.registerTable(busy, 7772);
    d.seconds(1);
  }
  EXPECT_EQ(d.shell.closed, std::vector<int>{quiet});
  EXPECT_EQ(d.directory.peers(), 1);
  EXPECT_EQ(d.directory.tablesAt("10.0.0.6"), 1);
  EXPECT_EQ(d.directory.tablesAt("10.0.0.5"), 0) << "expired at the same 60 s";
  d.deliver(quiet, net::to_directory::tablelist());
  EXPECT_EQ(d.shell.inbox[quiet].size(), 1u) << "nothing is answered to a closed peer";
}

}  // namespace
}  // namespace zp::directory::testing
