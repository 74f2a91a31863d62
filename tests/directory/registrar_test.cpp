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
  void send(std::string_view bytes) override { sent.emplace_back(bytes); }
  void report(std::string_view line) override { reports.emplace_back(line); }

  int connects = 0;
  int aborts = 0;
  std::vector<std::string> sent;
  std::vector<std::string> reports;
};

net::TableInfo info(const std::string& seat1) {
  return {"Club", "1.0.15", false, 0, 0, 0, {seat1, "", "", ""}};
}

struct Registering : ::testing::Test {
  FakeLink link;
  Registrar registrar{link, "dir.example.org:7771", 7772, info("")};
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
  EXPECT_EQ(link.reports, (std::vector<std::string>{
                              "Listed by the directory dir.example.org:7771 as 203.0.113.9:7772",
                              "The directory dir.example.org:7771 refused the table: the "
                              "directory is full"}));
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
  // Listed again: the next loss waits the first time again.
  registrar.connected();
  registrar.bytesReceived(net::from_directory::registered({"203.0.113.9", 7772}));
  registrar.lost();
  EXPECT_EQ(link.reports.back(),
            "Lost the connection to the directory dir.example.org:7771; trying again in 5 s");
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

// A table that keeps refreshing stays listed for as long as it runs, through the directory's
// own logic; once it takes itself back it is gone from the list.
TEST(RegistrarAndDirectory, ATableStaysListedWhileItRunsAndGoesWhenItStops) {
  Directory d;
  const int peer = d.connect("198.51.100.4");
  struct Wire : RegistrarShell {
    Directory& d;
    int peer;
    Registrar* registrar = nullptr;
    Wire(Directory& directory, int p) : d(directory), peer(p) {}
    void connect() override {}
    void abort() override {}
    void send(std::string_view bytes) override {
      d.deliver(peer, bytes);
      for (const std::string& answer : d.shell.inbox[peer])
        registrar->bytesReceived(answer + '\xFF');
      d.shell.inbox[peer].clear();
    }
    void report(std::string_view) override {}
  } wire(d, peer);
  Registrar registrar(wire, "d", 7772, info(""));
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

}  // namespace
}  // namespace zp::directory::testing
