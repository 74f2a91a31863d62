// The table's side of a registration, alone with a fake connection and together with the
// directory's logic in memory.
#include "directory/registrar.h"

#include <gtest/gtest.h>

#include "tests/directory/directory_harness.h"

namespace zp::directory::testing {
namespace {

// A connection that records what the registrar asked for.
class FakeLink : public RegistrarShell {
 public:
  void connect() override { ++connects; }
  void abort() override { ++aborts; }
  // CMD_reachme is kept apart from the registrations.
  void send(std::string_view bytes) override {
    (bytes.starts_with(net::cmd::reachme) ? asks : sent).emplace_back(bytes);
  }
  void report(std::string_view line) override { reports.emplace_back(line); }
  void openRelay(int relayPort, const std::string& ticket) override {
    opened.push_back(std::to_string(relayPort) + " " + ticket);
  }
  void inviteCode(const std::string& code) override { codes.push_back(code); }

  int connects = 0;
  int aborts = 0;
  std::vector<std::string> sent;
  std::vector<std::string> asks;
  std::vector<std::string> reports;
  std::vector<std::string> opened;
  std::vector<std::string> codes;
};

net::TableInfo info(const std::string& seat1) {
  return {"Club", "1.0.15", false, 0, 0, 0, {seat1, "", "", ""}, std::nullopt};
}

struct Registering : ::testing::Test {
  FakeLink link;
  Registrar registrar{link, "dir.example.org:7771", 7772, info(""), net::Visibility::kPublic};
  void seconds(int count) {
    for (int i = 0; i < count; ++i) registrar.tick();
  }
};

TEST_F(Registering, SendsWhenConnectedOnEveryChangeAndAtLeastEvery15Seconds) {
  registrar.start();
  EXPECT_EQ(link.connects, 1);
  EXPECT_TRUE(link.sent.empty());
  registrar.connected();
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0], net::to_directory::registertable({7772, info("")}));
  registrar.update(info(""));
  seconds(kRefreshSeconds - 1);
  EXPECT_EQ(link.sent.size(), 1u) << "nothing new to say yet";
  registrar.update(info("Ann"));  // an arrival
  ASSERT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(link.sent[1], net::to_directory::registertable({7772, info("Ann")}));
  seconds(kRefreshSeconds - 1);
  EXPECT_EQ(link.sent.size(), 2u);
  seconds(1);
  EXPECT_EQ(link.sent.size(), 3u) << "the refresh";
  EXPECT_EQ(link.sent[2], link.sent[1]);
}

TEST_F(Registering, ReportsWhereItIsListedAndWhyItIsRefusedOnce) {
  registrar.start();
  registrar.connected();
  const std::string listed = net::from_directory::registered({"203.0.113.9", 7772});
  registrar.bytesReceived(listed + listed);
  EXPECT_TRUE(registrar.isListed());
  registrar.bytesReceived(net::from_directory::registered({"203.0.113.9", 9999}));  // not ours
  const std::string refused = net::from_directory::refused({7772, "the directory is full"});
  registrar.bytesReceived(refused.substr(0, 10));
  registrar.bytesReceived(refused.substr(10) + refused);
  EXPECT_FALSE(registrar.isListed());
  // Another table's refusal on the same link is not ours to report.
  registrar.bytesReceived(net::from_directory::refused({9999, "not yours"}));
  // One that names no port is the whole link's, so ours too.
  registrar.bytesReceived(net::from_directory::refused({0, "too many connections"}));
  EXPECT_EQ(link.reports, (std::vector<std::string>{
                              "Listed by the directory dir.example.org:7771 as 203.0.113.9:7772",
                              "The directory dir.example.org:7771 refused the table: the "
                              "directory is full",
                              "The directory dir.example.org:7771 refused the table: too many "
                              "connections"}));
}

TEST_F(Registering, ConnectsAgainAfterALossWaitingLongerEachTime) {
  registrar.start();
  registrar.connected();
  registrar.lost();
  registrar.lost();  // a second report of the same close
  EXPECT_EQ(link.reports,
            (std::vector<std::string>{"Lost the connection to the directory dir.example.org:7771; "
                                      "trying again in 5 s"}));
  std::vector<int> waits;
  int waited = 0;
  while (waits.size() < 6) {
    const int before = link.connects;
    registrar.tick();
    ++waited;
    if (link.connects > before) {
      waits.push_back(waited);
      waited = 0;
      // The directory is away: the connection does not come about in time.
      for (int i = 0; i < kConnectSeconds; ++i) registrar.tick();
    }
  }
  EXPECT_EQ(waits, (std::vector<int>{5, 10, 20, 40, 60, 60}));
  EXPECT_EQ(link.aborts, 6);
  EXPECT_EQ(link.reports.size(), 1u) << "once per outage";
  // Back and listed again: the next loss waits the first time again.
  for (const int before = link.connects; link.connects == before;) registrar.tick();
  registrar.connected();
  registrar.bytesReceived(net::from_directory::registered({"203.0.113.9", 7772}));
  EXPECT_TRUE(registrar.isListed());
  registrar.lost();
  ASSERT_EQ(link.reports.size(), 3u);
  EXPECT_EQ(link.reports.back(),
            "Lost the connection to the directory dir.example.org:7771; trying again in 5 s");
  EXPECT_FALSE(registrar.isListed()) << "not while it is away";
  // Back once more: where it is listed is reported anew.
  for (const int before = link.connects; link.connects == before;) registrar.tick();
  registrar.connected();
  registrar.bytesReceived(net::from_directory::registered({"203.0.113.9", 7772}));
  EXPECT_EQ(link.reports.back(),
            "Listed by the directory dir.example.org:7771 as 203.0.113.9:7772");
}

TEST_F(Registering, TakesTheTableBackAndStops) {
  registrar.start();
  registrar.connected();
  EXPECT_TRUE(registrar.withdraw());
  EXPECT_EQ(link.sent.back(), net::to_directory::withdrawtable({7772}));
  const std::size_t sent = link.sent.size();
  registrar.update(info("Ann"));
  registrar.lost();
  seconds(200);
  EXPECT_EQ(link.sent.size(), sent);
  EXPECT_EQ(link.connects, 1);
  // Not connected: nothing to take back, and a connection under way is dropped.
  FakeLink other;
  Registrar connecting(other, "d", 7772, info(""));
  connecting.start();
  EXPECT_FALSE(connecting.withdraw());
  EXPECT_EQ(other.aborts, 1);
}

TEST_F(Registering, AsksToBeReachedOncePerConnectionAndOpensWhatTheDirectoryAsks) {
  FakeLink invited;
  Registrar hidden(invited, "dir.example.org:7771", 7772, info(""), net::Visibility::kInvite);
  hidden.start();
  hidden.connected();
  hidden.update(info("Ann"));
  EXPECT_EQ(invited.asks,
            std::vector<std::string>{net::to_directory::reachme({7772, net::Visibility::kInvite})});
  hidden.lost();
  for (int i = 0; i < kFirstRetrySeconds; ++i) hidden.tick();
  hidden.connected();
  EXPECT_EQ(invited.asks.size(), 2U) << "again on the new connection";

  const std::size_t before = invited.reports.size();
  hidden.bytesReceived(net::from_directory::reach({7772, net::Reach::kRelayed, "K7Q2M9"}) +
                       net::from_directory::reach({7772, net::Reach::kRelayed, "K7Q2M9"}) +
                       net::from_directory::reach({9999, net::Reach::kDirect, "222222"}));
  EXPECT_EQ(hidden.inviteCode(), "K7Q2M9");
  EXPECT_EQ(hidden.reach(), net::Reach::kRelayed);
  EXPECT_EQ(invited.codes, std::vector<std::string>{"K7Q2M9"});
  EXPECT_EQ(invited.reports.back(),
            "The directory dir.example.org:7771 cannot reach the table on port 7772 and relays its "
            "players; invite code K7Q-2M9 (join with K7Q2M9@dir.example.org:7771)");
  EXPECT_EQ(invited.reports.size(), before + 1) << "the same reach is reported once";
  const std::size_t reports = invited.reports.size();
  hidden.bytesReceived(net::from_directory::relayopen({7772, 7770, "0123456789abcdef"}) +
                       net::from_directory::relayopen({9999, 7770, "0123456789abcdee"}));
  EXPECT_EQ(invited.opened, std::vector<std::string>{"7770 0123456789abcdef"});
  EXPECT_EQ(invited.reports.size(), reports);
  // The directory lost, its reach is checked again.
  hidden.lost();
  EXPECT_EQ(hidden.reach(), net::Reach::kChecking);
}

// A registrar talking to the directory's own logic in memory.
struct Wire : RegistrarShell {
  Directory& d;
  int peer;
  Registrar* registrar = nullptr;
  std::vector<std::string> reports;
  Wire(Directory& directory, int p) : d(directory), peer(p) {}
  void connect() override {}
  void abort() override {}
  void send(std::string_view bytes) override {
    d.deliver(peer, bytes);
    for (const std::string& answer : d.shell.inbox[peer]) registrar->bytesReceived(answer + '\xFF');
    d.shell.inbox[peer].clear();
  }
  void report(std::string_view line) override { reports.emplace_back(line); }
  void openRelay(int relayPort, const std::string& ticket) override {
    opened.push_back(std::to_string(relayPort) + " " + ticket);
  }
  std::vector<std::string> opened;
};

TEST(RegistrarAndDirectory, ARefusedTableIsReportedWithTheDirectorysReason) {
  Directory d;
  const int neighbour = d.connect("198.51.100.4");
  for (int port = 1; port <= kMaxTablesPerAddress; ++port) d.registerTable(neighbour, port);
  Wire wire(d, d.connect("198.51.100.4"));
  Registrar registrar(wire, "d", 7772, info(""), net::Visibility::kPublic);
  wire.registrar = &registrar;
  registrar.start();
  registrar.connected();
  EXPECT_FALSE(registrar.isListed());
  EXPECT_EQ(wire.reports, std::vector<std::string>{
                              "The directory d refused the table: this address already has 64 "
                              "tables listed"});
  // A directory's reason is its own text: shown escaped, it moves no terminal.
  registrar.bytesReceived(net::from_directory::refused({7772, "full\xE2\x80\xAE\xC2\x9B!"}));
  EXPECT_EQ(wire.reports.back(),
            "The directory d refused the table: full\\xE2\\x80\\xAE\\xC2\\x9B!");
}

// A table that keeps refreshing stays listed for as long as it runs, through the directory's
// own logic; once it takes itself back it is gone from the list.
TEST(RegistrarAndDirectory, ATableStaysListedWhileItRunsAndGoesWhenItStops) {
  Directory d;
  Wire wire(d, d.connect("198.51.100.4"));
  Registrar registrar(wire, "d", 7772, info(""), net::Visibility::kPublic);
  wire.registrar = &registrar;
  registrar.start();
  registrar.connected();
  for (int second = 0; second < 600; ++second) {
    if (second == 100) registrar.update(info("Ann"));
    registrar.tick();
    d.seconds(1);
    ASSERT_EQ(d.directory.tables().size(), 1u) << "second " << second;
  }
  EXPECT_TRUE(registrar.isListed());
  EXPECT_EQ(d.directory.tables().begin()->second.info.seats[0], "Ann");
  registrar.withdraw();
  EXPECT_TRUE(d.directory.tables().empty());
}

// A table behind a router: relayed, given its code, and asked for connections back that only
// the relay's request brings.
TEST(RegistrarAndDirectory, ATableTheDirectoryCannotReachIsRelayedAndAskedToOpen) {
  Directory d;
  d.directory.setRelay("", 7770);
  d.shell.unreachable.insert({"198.51.100.4", 7772});
  Wire wire(d, d.connect("198.51.100.4"));
  Registrar registrar(wire, "d", 7772, info(""), net::Visibility::kPublic);
  wire.registrar = &registrar;
  registrar.start();
  registrar.connected();
  EXPECT_EQ(registrar.reach(), net::Reach::kRelayed);
  EXPECT_FALSE(registrar.isListed()) << "not at its own address";
  const std::string code = registrar.inviteCode();
  EXPECT_EQ(code, d.directory.tables().begin()->second.code);
  EXPECT_EQ(d.directory.openBack(code, "0123456789abcdef"), std::nullopt);
  // What the directory sent arrives with the next exchange.
  registrar.tick();
  for (int i = 0; i < kRefreshSeconds; ++i) registrar.tick();
  EXPECT_EQ(wire.opened, std::vector<std::string>{"7770 0123456789abcdef"});
  registrar.withdraw();
  EXPECT_EQ(d.directory.tableWithCode(code), nullptr);
}

}  // namespace
}  // namespace zp::directory::testing
