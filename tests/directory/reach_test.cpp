// The directory checks a table before it lists it, relays those it cannot reach, and gives
// every table an invite code; the relay joins players to them.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "directory/relay.h"
#include "tests/directory/directory_harness.h"

namespace zp::directory {
namespace {

using testing::Directory;

constexpr int kRelayPort = 7770;

// What the directory last told the table on `peer` about its reach.
std::optional<net::ReachState> reachTold(Directory& d, int peer) {
  std::optional<net::ReachState> told;
  for (const std::string& m : d.shell.inbox[peer]) {
    const net::SplitMessage split = net::splitMessage(m);
    if (split.command == net::cmd::reach) told = net::from_directory::parseReach(split.args);
  }
  return told;
}

std::vector<net::RelayedTable> relayedIn(Directory& d, int peer) {
  std::vector<net::RelayedTable> tables;
  for (const std::string& m : d.shell.inbox[peer]) {
    const net::SplitMessage split = net::splitMessage(m);
    if (split.command == net::cmd::relayedtable)
      if (auto t = net::from_directory::parseRelayedTable(split.args)) tables.push_back(*t);
  }
  return tables;
}

struct Reached {
  Directory d;
  Reached() { d.directory.setRelay("", kRelayPort); }
  int host(const std::string& address, int port, bool reachable, bool newer,
           net::Visibility visibility = net::Visibility::kPublic) {
    const int peer = d.connect(address);
    if (!reachable) d.shell.unreachable.insert({address, port});
    if (newer) d.deliver(peer, net::to_directory::reachme({port, visibility}));
    d.registerTable(peer, port, "T" + std::to_string(port));
    return peer;
  }
};

TEST(Reachability, ATableIsListedAsTheCheckFindsIt) {
  struct Case {
    const char* what;
    bool reachable;
    bool newer;  // it sent CMD_reachme
    net::Visibility visibility;
    net::Reach reach;
    bool listedDirect;
    bool listedRelayed;
  };
  const Case cases[] = {
      {"reachable, newer", true, true, net::Visibility::kPublic, net::Reach::kDirect, true, false},
      {"reachable, older", true, false, net::Visibility::kPublic, net::Reach::kDirect, true, false},
      {"behind a router", false, true, net::Visibility::kPublic, net::Reach::kRelayed, false, true},
      {"behind a router, older", false, false, net::Visibility::kPublic, net::Reach::kUnreachable,
       false, false},
      {"invite only", true, true, net::Visibility::kInvite, net::Reach::kDirect, false, false},
      {"invite only, relayed", false, true, net::Visibility::kInvite, net::Reach::kRelayed, false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reached r;
    const int peer = r.host("203.0.113.9", 7772, c.reachable, c.newer, c.visibility);
    const auto& table = r.d.directory.tables().at({"203.0.113.9", 7772});
    EXPECT_EQ(table.reach, c.reach);
    const int lobby = r.d.connect("198.51.100.7");
    EXPECT_EQ(r.d.list(lobby).size(), c.listedDirect ? 1U : 0U);
    const auto relayed = relayedIn(r.d, lobby);
    ASSERT_EQ(relayed.size(), c.listedRelayed ? 1U : 0U);
    // The list's end counts what was listed, not every table the directory holds.
    EXPECT_EQ(r.d.last(lobby), "CMD_tablelistend+" +
                                   std::to_string(c.listedDirect || c.listedRelayed ? 1 : 0) + "+");
    if (c.listedRelayed) {
      EXPECT_EQ(relayed[0].relayHost, "");
      EXPECT_EQ(relayed[0].relayPort, kRelayPort);
      EXPECT_EQ(relayed[0].code, table.code);
      EXPECT_EQ(relayed[0].info.name, "T7772");
    }
    // A newer table hears its reach and code; an older one unreached is refused in words.
    if (c.newer) {
      const auto told = reachTold(r.d, peer);
      ASSERT_TRUE(told);
      EXPECT_EQ(*told, (net::ReachState{7772, c.reach, table.code}));
    } else if (!c.reachable) {
      EXPECT_NE(r.d.last(peer).find("cannot reach the table at 203.0.113.9:7772"),
                std::string::npos);
    }
    const bool registered = std::any_of(
        r.d.shell.inbox[peer].begin(), r.d.shell.inbox[peer].end(),
        [](const std::string& m) { return net::splitMessage(m).command == net::cmd::registered; });
    EXPECT_EQ(registered, c.reachable);
  }
}

// How a host asks to be seen holds for the port it names alone: another of its tables is
// listed as an older table is.
TEST(Reachability, AskingToBeReachedHoldsForThePortItNames) {
  Reached r;
  const int peer = r.d.connect("203.0.113.9");
  r.d.deliver(peer, net::to_directory::reachme({7000, net::Visibility::kInvite}));
  r.d.shell.unreachable.insert({"203.0.113.9", 7773});
  r.d.registerTable(peer, 7772, "Open");
  r.d.registerTable(peer, 7773, "Closed");
  const auto& tables = r.d.directory.tables();
  EXPECT_EQ(tables.at({"203.0.113.9", 7772}).visibility, net::Visibility::kPublic);
  EXPECT_EQ(tables.at({"203.0.113.9", 7773}).reach, net::Reach::kUnreachable);
  EXPECT_FALSE(reachTold(r.d, peer)) << "an older table is told in words";
  EXPECT_EQ(r.d.list(r.d.connect("198.51.100.7")).size(), 1U);

  // A port asked for again is asked for once: repeats never crowd out another port.
  const int again = r.d.connect("203.0.113.10");
  for (int n = 0; n < kMaxTablesPerAddress; ++n)
    r.d.deliver(again, net::to_directory::reachme({7000, net::Visibility::kPublic}));
  r.d.deliver(again, net::to_directory::reachme({7772, net::Visibility::kInvite}));
  r.d.registerTable(again, 7772, "Mine");
  EXPECT_EQ(tables.at({"203.0.113.10", 7772}).visibility, net::Visibility::kInvite);
}

TEST(Reachability, WithoutARelayATableThatCannotBeReachedIsNotListed) {
  Directory d;  // no relay
  const int peer = d.connect("203.0.113.9");
  d.shell.unreachable.insert({"203.0.113.9", 7772});
  d.deliver(peer, net::to_directory::reachme({7772, net::Visibility::kPublic}));
  d.registerTable(peer, 7772);
  EXPECT_EQ(d.directory.tables().at({"203.0.113.9", 7772}).reach, net::Reach::kUnreachable);
  EXPECT_EQ(reachTold(d, peer)->reach, net::Reach::kUnreachable);
  const int lobby = d.connect("198.51.100.7");
  EXPECT_TRUE(d.list(lobby).empty());
  EXPECT_TRUE(relayedIn(d, lobby).empty());
}

TEST(Reachability, NothingIsListedWhileTheCheckRunsAndAnUnreachedTableIsCheckedAgain) {
  Reached r;
  r.d.shell.answerProbes = false;
  const int host = r.host("203.0.113.9", 7772, false, true);
  const int lobby = r.d.connect("198.51.100.7");
  EXPECT_TRUE(r.d.list(lobby).empty());
  EXPECT_TRUE(relayedIn(r.d, lobby).empty());
  ASSERT_EQ(r.d.shell.probes.size(), 1U);
  EXPECT_EQ(r.d.shell.probes[0].address, "203.0.113.9");
  EXPECT_EQ(r.d.shell.probes[0].port, 7772);
  // Refreshes while it runs start no second check.
  r.d.registerTable(host, 7772, "T7772");
  EXPECT_EQ(r.d.shell.probes.size(), 1U);
  r.d.directory.probeAnswered(r.d.shell.probes[0].id, false);
  EXPECT_EQ(reachTold(r.d, host)->reach, net::Reach::kRelayed);

  // The host opens its port: the next check lists it direct, and it hears so.
  for (int s = 0; s < kRecheckSeconds; s += 10) {
    r.d.seconds(10);
    r.d.registerTable(host, 7772, "T7772");
  }
  ASSERT_EQ(r.d.shell.probes.size(), 2U);
  r.d.directory.probeAnswered(r.d.shell.probes[1].id, true);
  EXPECT_EQ(reachTold(r.d, host)->reach, net::Reach::kDirect);
  const int later = r.d.connect("198.51.100.7");
  EXPECT_EQ(r.d.list(later).size(), 1U);
  EXPECT_TRUE(relayedIn(r.d, later).empty());
  // A late or forged answer changes nothing.
  r.d.directory.probeAnswered(r.d.shell.probes[1].id, false);
  r.d.directory.probeAnswered(999, false);
  EXPECT_EQ(r.d.directory.tables().begin()->second.reach, net::Reach::kDirect);
}

TEST(Reachability, ChecksRunAFewAtATime) {
  Reached r;
  r.d.shell.answerProbes = false;
  r.d.fill(kMaxProbes + 40);
  EXPECT_EQ(r.d.directory.probesUnderWay(), kMaxProbes);
  for (int answered = 0; answered < 40; ++answered)
    r.d.directory.probeAnswered(r.d.shell.probes[static_cast<std::size_t>(answered)].id, true);
  EXPECT_EQ(r.d.shell.probes.size(), static_cast<std::size_t>(kMaxProbes + 40));
  EXPECT_EQ(r.d.directory.probesUnderWay(), kMaxProbes);
}

// The code's answer as a game reads it: where to connect, or the refusal's reason.
std::string findCode(Directory& d, int peer, const std::string& code) {
  d.shell.inbox[peer].clear();
  d.deliver(peer, net::to_directory::findcode({code}));
  const std::string answer = d.last(peer);
  const net::SplitMessage split = net::splitMessage(answer);
  if (auto at = net::from_directory::parseCodeAt(split.args);
      split.command == net::cmd::codeat && at)
    return std::string(net::reachName(at->reach)) + " " + at->host + ":" + std::to_string(at->port);
  if (auto no = net::from_directory::parseRefused(split.args)) return no->reason;
  return "?";
}

TEST(InviteCodes, ACodeNamesItsTableWhileItLives) {
  Reached r;
  r.host("203.0.113.9", 7772, true, true);
  const int home = r.host("192.0.2.44", 7772, false, true, net::Visibility::kInvite);
  const std::string direct = r.d.directory.tables().at({"203.0.113.9", 7772}).code;
  const std::string relayed = r.d.directory.tables().at({"192.0.2.44", 7772}).code;
  EXPECT_NE(direct, relayed);
  for (const std::string& code : {direct, relayed}) {
    EXPECT_EQ(code.size(), net::kInviteCodeChars);
    EXPECT_EQ(net::inviteCodeFrom(code), code);
  }
  const int friendly = r.d.connect("198.51.100.7");
  EXPECT_EQ(findCode(r.d, friendly, direct), "direct 203.0.113.9:7772");
  EXPECT_EQ(findCode(r.d, friendly, relayed), "relayed :7770");
  EXPECT_EQ(findCode(r.d, friendly, "222222"), std::string(kNoSuchTable));
  // A table still being checked, and one that cannot be reached (an older host, so not
  // relayed): the refusal says which.
  r.d.shell.answerProbes = false;
  r.host("203.0.113.11", 7772, true, true);
  r.d.shell.answerProbes = true;
  r.host("192.0.2.45", 7772, false, false);
  const auto codeAt = [&](const char* address) {
    return r.d.directory.tables().at({address, 7772}).code;
  };
  EXPECT_EQ(findCode(r.d, friendly, codeAt("203.0.113.11")), std::string(kNotReachedYet));
  EXPECT_EQ(findCode(r.d, friendly, codeAt("192.0.2.45")), std::string(kCannotBeReached));

  // The relay may ask the relayed table for a connection back, never the direct one.
  EXPECT_EQ(r.d.directory.openBack(direct, "0123456789abcdef"), kRelayNoSuchTable);
  EXPECT_EQ(r.d.directory.openBack(relayed, "0123456789abcdef"), std::nullopt);
  EXPECT_EQ(r.d.last(home), net::from_directory::relayopen({7772, kRelayPort, "0123456789abcdef"})
                                .substr(0, r.d.last(home).size()));

  // Withdrawn: the code names nothing, and nobody is asked to open anything for it, not even
  // once another table is listed at the same address and port.
  r.d.deliver(home, net::to_directory::withdrawtable({7772}));
  EXPECT_EQ(findCode(r.d, friendly, relayed), std::string(kNoSuchTable));
  EXPECT_EQ(r.d.directory.openBack(relayed, "0123456789abcdef"), kRelayNoSuchTable);
  r.host("192.0.2.44", 7772, false, true);
  EXPECT_NE(r.d.directory.tables().at({"192.0.2.44", 7772}).code, relayed);
  EXPECT_EQ(findCode(r.d, friendly, relayed), std::string(kNoSuchTable));
  EXPECT_EQ(r.d.directory.openBack(relayed, "0123456789abcdef"), kRelayNoSuchTable);
}

TEST(InviteCodes, TwoTablesNeverShareACodeHoweverTheDrawFalls) {
  Reached r;
  r.host("203.0.113.9", 7772, true, true);
  r.d.shell.next = 1;  // the next draw repeats the first
  r.host("203.0.113.10", 7772, true, true);
  const std::string first = r.d.directory.tables().at({"203.0.113.9", 7772}).code;
  const std::string second = r.d.directory.tables().at({"203.0.113.10", 7772}).code;
  EXPECT_NE(first, second);
  const int friendly = r.d.connect("198.51.100.7");
  EXPECT_EQ(findCode(r.d, friendly, first), "direct 203.0.113.9:7772");
  EXPECT_EQ(findCode(r.d, friendly, second), "direct 203.0.113.10:7772");
}

TEST(InviteCodes, OneAddressCannotTryThemAll) {
  Reached r;
  const int guesser = r.d.connect("198.51.100.7");
  for (int n = 0; n < kCodeAsksPerMinute; ++n)
    EXPECT_EQ(findCode(r.d, guesser, net::inviteCodeFromNumber(static_cast<std::uint64_t>(n))),
              std::string(kNoSuchTable));
  EXPECT_EQ(findCode(r.d, guesser, "222222"), std::string(kTooManyCodeAsks));
  r.d.seconds(60);
  EXPECT_EQ(findCode(r.d, r.d.connect("198.51.100.7"), "222222"), std::string(kNoSuchTable));
}

TEST(InviteCodes, AreReadAsPlayersTypeThem) {
  EXPECT_EQ(net::inviteCodeFrom("K7Q-2M9"), "K7Q2M9");
  EXPECT_EQ(net::inviteCodeFrom("k7q2m9"), "K7Q2M9");
  EXPECT_EQ(net::inviteCodeText("K7Q2M9"), "K7Q-2M9");
  for (const char* bad : {"", "K7Q2M", "K7Q2M9X", "K7Q--2M9", "K7-Q2M9", "O7Q2M9", "I7Q2M9",
                          "17Q2M9", "K7Q 2M9", "K7Q2M9-"})
    EXPECT_EQ(net::inviteCodeFrom(bad), std::nullopt) << bad;
  // Every number gives a code that reads back.
  for (std::uint64_t n : {0ULL, 1ULL, 887503680ULL, ~0ULL})
    EXPECT_EQ(net::inviteCodeFrom(net::inviteCodeFromNumber(n)), net::inviteCodeFromNumber(n));
}

// ---- the relay

class FakeTables : public RelayTables {
 public:
  std::optional<std::string_view> openBack(const std::string& code,
                                           const std::string& ticket) override {
    if (!codes.count(code)) return kRelayNoSuchTable;
    asked.push_back(ticket);
    return std::nullopt;
  }
  std::set<std::string> codes{"K7Q2M9"};
  std::vector<std::string> asked;  // tickets
};

class FakeRelayShell : public RelayShell {
 public:
  bool send(int link, std::string_view bytes) override {
    if (closed.count(link)) return false;
    received[link] += bytes;
    return true;
  }
  void close(int link) override { closed.insert(link); }
  void pauseReading(int link) override { paused.insert(link); }
  void resumeReading(int link) override { paused.erase(link); }
  std::size_t unsentBytes(int link) const override {
    return unsent.count(link) ? unsent.at(link) : 0;
  }
  std::uint64_t randomNumber() override { return ++drawn; }
  std::map<int, std::string> received;
  std::set<int> closed;
  std::set<int> paused;
  std::map<int, std::size_t> unsent;
  std::uint64_t drawn = 0;
};

struct RelayWorld {
  FakeTables tables;
  FakeRelayShell shell;
  Relay relay;
  explicit RelayWorld(RelayLimits limits = RelayLimits()) : relay(shell, tables, limits) {}
  // A new connection; a number used before starts with nothing of the last one's.
  int accept(const std::string& from) {
    const int link = relay.acceptLink(from).link;
    shell.closed.erase(link);
    shell.received.erase(link);
    return link;
  }
  int player(const std::string& code = "K7Q2M9", const std::string& from = "198.51.100.7") {
    const int link = accept(from);
    relay.bytesReceived(link, net::to_relay::relayjoin({code}));
    return link;
  }
  // The table answers the last request with a connection of its own.
  int tableBack(const std::string& early = "") {
    const int link = accept("192.0.2.44");
    relay.bytesReceived(link, net::to_relay::relayback({tables.asked.back()}) + early);
    return link;
  }
  std::string refusal(int link) { return shell.received[link]; }
};

std::string refusedWith(std::string_view reason) {
  return net::from_relay::relayrefused({std::string(reason)});
}

TEST(Relay, PassesBytesUnchangedBothWaysOnceTheTableComesBack) {
  RelayWorld w;
  const int player = w.player();
  ASSERT_EQ(w.tables.asked.size(), 1U);
  // What the player says while the table opens its connection waits, then goes first.
  w.relay.bytesReceived(player, "CMD_logininfo+1+1.0.15+Ann\xFF\xFF");
  EXPECT_TRUE(w.shell.received[player].empty());
  const int table = w.tableBack("CMD_sendlogininfo+2+\xFF");
  EXPECT_EQ(w.relay.pairs(), 1);
  EXPECT_EQ(w.shell.received[player], net::from_relay::relayed() + "CMD_sendlogininfo+2+\xFF");
  EXPECT_EQ(w.shell.received[table], "CMD_logininfo+1+1.0.15+Ann\xFF\xFF");
  // Any bytes, cut anywhere, arrive as they were sent.
  std::string odd = std::string("CMD_chat+2+hi|clBlack") + '\xFF' + '\0' + "+half";
  w.relay.bytesReceived(table, odd);
  EXPECT_EQ(w.shell.received[player].substr(w.shell.received[player].size() - odd.size()), odd);
  // One side ends: the other is let go after what it was sent.
  w.relay.linkClosed(table);
  EXPECT_TRUE(w.shell.closed.count(player));
  EXPECT_EQ(w.relay.links(), 0);
  EXPECT_EQ(w.relay.playersAt("K7Q2M9"), 0);
}

TEST(Relay, RefusesInWordsWhatItWillNotJoin) {
  {
    RelayWorld w;
    EXPECT_EQ(w.refusal(w.player("222222")), refusedWith(kRelayNoSuchTable));
  }
  {
    RelayWorld w;
    for (int n = 0; n < w.relay.limits().perTable; ++n)
      w.player("K7Q2M9", "198.51.100." + std::to_string(n));
    const int tenth = w.player("K7Q2M9", "198.51.100.99");
    EXPECT_EQ(w.refusal(tenth), refusedWith(kRelayTableFull));
    EXPECT_TRUE(w.shell.closed.count(tenth));
  }
  {
    RelayWorld w(RelayLimits{.perTable = 9, .playersPerAddress = 2});
    w.tables.codes.insert("222222");
    const int first = w.player("K7Q2M9");
    w.player("222222");
    EXPECT_EQ(w.refusal(w.player("222222")), refusedWith(kRelayBusy));
    w.relay.linkClosed(first);
    const int again = w.player("K7Q2M9");
    EXPECT_FALSE(w.shell.closed.count(again)) << "once one has gone";
  }
  {
    RelayWorld w(RelayLimits{.total = 3});
    for (int n = 0; n < 3; ++n)
      EXPECT_GE(w.relay.acceptLink("203.0.113." + std::to_string(n)).link, 0);
    const auto refused = w.relay.acceptLink("203.0.113.50");
    EXPECT_EQ(refused.link, -1);
    EXPECT_EQ(refused.refusal, refusedWith(kRelayBusy));
  }
  {
    // One address holds only so many connections, whatever they are for.
    RelayWorld w(RelayLimits{.linksPerAddress = 3});
    std::vector<int> links;
    for (int n = 0; n < 3; ++n) links.push_back(w.relay.acceptLink("203.0.113.7").link);
    EXPECT_EQ(w.relay.acceptLink("203.0.113.7").refusal, refusedWith(kRelayBusy));
    EXPECT_GE(w.relay.acceptLink("203.0.113.8").link, 0) << "another address";
    w.relay.linkClosed(links[0]);
    EXPECT_GE(w.relay.acceptLink("203.0.113.7").link, 0) << "once one has gone";
  }
  {
    // Not an open proxy: a first message that names no table is refused; a ticket nobody
    // asked for is closed without a word.
    RelayWorld w;
    const int stray = w.accept("203.0.113.5");
    w.relay.bytesReceived(stray, "CONNECT example.org:25 HTTP/1.1\r\n\r\n\xFF");
    EXPECT_EQ(w.refusal(stray), refusedWith(kRelayUnreadable));
    const int forged = w.accept("203.0.113.5");
    w.relay.bytesReceived(forged, net::to_relay::relayback({"00000000000000aa"}));
    EXPECT_TRUE(w.shell.closed.count(forged));
    EXPECT_TRUE(w.shell.received[forged].empty());
    EXPECT_EQ(w.tables.asked.size(), 0U);
  }
}

TEST(Relay, APlayerWaitingForItsTableHoldsOneMessageAtMost) {
  RelayWorld w;
  const int player = w.player();
  w.relay.bytesReceived(player, std::string(net::kMaxMessageBytes, 'x'));
  EXPECT_FALSE(w.shell.closed.count(player));
  w.relay.bytesReceived(player, "x");
  EXPECT_TRUE(w.shell.closed.count(player));
  EXPECT_EQ(w.relay.playersAt("K7Q2M9"), 0);
}

// A ticket is one player's: once that player has gone, the table's connection with it joins
// nobody, not even whoever has the player's link number since.
TEST(Relay, ATicketDiesWithThePlayerWhoWaitedForIt) {
  RelayWorld w;
  const int gone = w.player();
  const std::string ticket = w.tables.asked.back();
  w.relay.linkClosed(gone);
  const int stranger = w.accept("203.0.113.5");
  ASSERT_EQ(stranger, gone);
  const int table = w.accept("192.0.2.44");
  w.relay.bytesReceived(table, net::to_relay::relayback({ticket}));
  EXPECT_TRUE(w.shell.closed.count(table));
  EXPECT_EQ(w.relay.pairs(), 0);
  EXPECT_TRUE(w.shell.received[stranger].empty());
}

TEST(Relay, DropsWhatWaitsOrSitsIdle) {
  RelayWorld w;
  const int silent = w.accept("203.0.113.5");
  const int waiting = w.player();
  w.relay.secondTick();
  w.relay.secondTick();
  w.relay.secondTick();
  w.relay.secondTick();
  w.relay.secondTick();
  EXPECT_TRUE(w.shell.closed.count(silent));
  EXPECT_FALSE(w.shell.closed.count(waiting));
  for (int s = 0; s < kRelayBackSeconds; ++s) w.relay.secondTick();
  EXPECT_EQ(w.refusal(waiting), refusedWith(kRelayTableSilent));
  // The table's late connection finds nobody.
  const int late = w.tableBack();
  EXPECT_TRUE(w.shell.closed.count(late));

  const int player = w.player();
  const int table = w.tableBack();
  for (int s = 0; s < kRelayIdleSeconds - 1; ++s) w.relay.secondTick();
  w.relay.bytesReceived(table, "CMD_timeup+\xFF");
  for (int s = 0; s < kRelayIdleSeconds - 1; ++s) w.relay.secondTick();
  EXPECT_FALSE(w.shell.closed.count(player));
  w.relay.secondTick();
  EXPECT_TRUE(w.shell.closed.count(player) && w.shell.closed.count(table));
  EXPECT_EQ(w.relay.links(), 0);
}

TEST(Relay, HoldsBackASideThatSendsTooFastOrWhosePartnerDoesNotRead) {
  RelayWorld w(RelayLimits{.bytesPerSecond = 1000, .burstBytes = 4000});
  const int player = w.player();
  const int table = w.tableBack();
  w.relay.bytesReceived(player, std::string(3000, 'x'));
  EXPECT_FALSE(w.shell.paused.count(player));
  w.relay.bytesReceived(player, std::string(3000, 'x'));
  EXPECT_TRUE(w.shell.paused.count(player));  // 2000 over its allowance
  w.relay.secondTick();
  EXPECT_TRUE(w.shell.paused.count(player));
  w.relay.secondTick();
  EXPECT_FALSE(w.shell.paused.count(player));

  w.shell.unsent[player] = kRelayMaxUnsent;
  w.relay.bytesReceived(table, "x");
  EXPECT_TRUE(w.shell.paused.count(table));
  w.relay.secondTick();
  EXPECT_TRUE(w.shell.paused.count(table));
  w.shell.unsent[player] = 0;
  w.relay.secondTick();
  EXPECT_FALSE(w.shell.paused.count(table));

  // A quiet while saves up no more than the burst.
  for (int s = 0; s < 10; ++s) w.relay.secondTick();
  w.relay.bytesReceived(player, std::string(5000, 'x'));
  EXPECT_TRUE(w.shell.paused.count(player));
}

}  // namespace
}  // namespace zp::directory
