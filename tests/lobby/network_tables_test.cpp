// Tables found on the local network, without a socket or a clock: the test reads the lobby's
// question and answers it as tables (and strangers) would.
#include "lobby/network_tables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "lobby/table_finder.h"

namespace zp::lobby {
namespace {

using net::IpAddress;

IpAddress ip(const char* text) {
  return IpAddress::parse(text).value();
}

net::TableInfo info(const std::string& name) {
  return {name, "1.0.15", false, 0, 0, 0, {"Ann", "", "", ""}, std::nullopt};
}

std::string tokenOf(const std::string& query) {
  const auto parsed = net::local_network::parseFindTables(query);
  EXPECT_TRUE(parsed.has_value());
  return parsed ? parsed->token : std::string();
}

std::string answer(const std::string& query, const char* identity, int port,
                   const std::string& name) {
  return net::local_network::foundtable({tokenOf(query), identity, port, info(name)});
}

constexpr const char* kA = "000000000000000a";
constexpr const char* kB = "000000000000000b";
constexpr const char* kC = "000000000000000c";

std::vector<std::string> shown(const NetworkTables& network) {
  std::vector<std::string> out;
  for (const NetworkTable& t : network.tables())
    out.push_back(net::hostPortText(t.where) + " " + t.info.name);
  return out;
}

TEST(NetworkTables, ListsEachTableOnceAtItsBestAddress) {
  NetworkTables network(2000, 1);
  const std::string q = network.startRound(0);
  EXPECT_EQ(q.size(), net::kLocalQueryBytes);
  // A table answering over IPv6 and IPv4 is one table, shown at its IPv4 address.
  EXPECT_TRUE(network.received(ip("fe80::11%2"), answer(q, kA, 7800, "A")));
  EXPECT_TRUE(network.received(ip("::ffff:10.77.1.11"), answer(q, kA, 7800, "A")));
  EXPECT_FALSE(network.received(ip("10.77.1.11"), answer(q, kA, 7800, "A")));
  // One on this computer is shown at the loopback address, as the lobby asks it directly.
  EXPECT_TRUE(network.received(ip("10.77.1.13"), answer(q, kB, 7801, "B")));
  EXPECT_TRUE(network.received(ip("127.0.0.1"), answer(q, kB, 7801, "B")));
  // Over IPv6 alone, at an address of its network rather than of its link.
  EXPECT_TRUE(network.received(ip("fe80::13%2"), answer(q, kC, 7802, "C")));
  EXPECT_TRUE(network.received(ip("fd77::13"), answer(q, kC, 7802, "C")));
  EXPECT_EQ(shown(network), (std::vector<std::string>{"10.77.1.11:7800 A", "127.0.0.1:7801 B",
                                                      "[fd77::13]:7802 C"}));
  // What it says changes with its latest answer.
  EXPECT_TRUE(network.received(ip("10.77.1.11"), answer(q, kA, 7800, "A, renamed")));
  EXPECT_EQ(shown(network)[0], "10.77.1.11:7800 A, renamed");
}

TEST(NetworkTables, ATableIsShownWhereItAnsweredItsLatestQuestion) {
  NetworkTables network(2000, 1);
  std::string q = network.startRound(0);
  network.received(ip("10.77.1.11"), answer(q, kA, 7800, "A"));
  network.received(ip("fe80::11%2"), answer(q, kA, 7800, "A"));
  network.tick(2000);
  // Its IPv4 address is gone (it moved to another network): the one it answers from now.
  q = network.startRound(5000);
  EXPECT_TRUE(network.received(ip("fe80::11%2"), answer(q, kA, 7800, "A")));
  EXPECT_EQ(shown(network), std::vector<std::string>{"[fe80::11%2]:7800 A"});
}

TEST(NetworkTables, ReadsOnlyAnswersToItsOwnQuestionsFromLocalSenders) {
  NetworkTables network(2000, 1);
  const std::string q = network.startRound(0);
  NetworkTables other(2000, 2);
  const std::string notOurs = other.startRound(0);
  ASSERT_NE(tokenOf(q), tokenOf(notOurs));
  EXPECT_FALSE(network.received(ip("10.77.1.11"), answer(notOurs, kA, 7800, "Forged")));
  EXPECT_FALSE(network.received(ip("198.51.100.7"), answer(q, kA, 7800, "From afar")));
  EXPECT_FALSE(network.received(ip("2001:db8::7"), answer(q, kA, 7800, "From afar")));
  EXPECT_FALSE(network.received(ip("10.77.1.11"), q));
  EXPECT_FALSE(network.received(ip("10.77.1.11"), "CMD_foundtable+junk\xFF"));
  // An answer after its round has ended comes too late.
  network.tick(2000);
  EXPECT_FALSE(network.received(ip("10.77.1.11"), answer(q, kA, 7800, "Late")));
  EXPECT_TRUE(network.tables().empty());
}

TEST(NetworkTables, DropsATableSilentForTwoWholeRounds) {
  NetworkTables network(2000, 1);
  std::string q = network.startRound(0);
  network.received(ip("10.77.1.11"), answer(q, kA, 7800, "A"));
  network.received(ip("10.77.1.12"), answer(q, kB, 7800, "B"));
  // B answers every other round: missing one round keeps it listed.
  for (int round = 1; round <= 4; ++round) {
    EXPECT_FALSE(network.tick(round * 5000 - 1));
    q = network.startRound(round * 5000);
    network.received(ip("10.77.1.11"), answer(q, kA, 7800, "A"));
    if (round % 2 == 0) network.received(ip("10.77.1.12"), answer(q, kB, 7800, "B"));
  }
  EXPECT_EQ(network.tables().size(), 2u);
  // A stops: still listed when its first silent round ends, gone when the second does.
  q = network.startRound(25000);
  network.received(ip("10.77.1.12"), answer(q, kB, 7800, "B"));
  EXPECT_FALSE(network.tick(27000));
  q = network.startRound(30000);
  network.received(ip("10.77.1.12"), answer(q, kB, 7800, "B"));
  EXPECT_TRUE(network.tick(32000));
  EXPECT_EQ(shown(network), std::vector<std::string>{"10.77.1.12:7800 B"});
}

// A table is held at so many addresses; the ones it stopped answering from make room.
TEST(NetworkTables, ATableKeepsAtMostEightAddressesAndTheOnesItLeftMakeRoom) {
  NetworkTables network(2000, 1);
  std::string q = network.startRound(0);
  for (std::size_t n = 1; n <= kMaxAddressesPerTable; ++n)
    network.received(ip(("fd77::" + std::to_string(n)).c_str()), answer(q, kA, 7800, "A"));
  // A ninth, better address is one too many.
  network.received(ip("10.77.1.9"), answer(q, kA, 7800, "A"));
  EXPECT_EQ(shown(network), std::vector<std::string>{"[fd77::1]:7800 A"});
  // It answers from one of them alone for two whole rounds: the others are gone.
  for (int round = 1; round <= 2; ++round) {
    network.tick(round * 5000 - 1);
    q = network.startRound(round * 5000);
    network.received(ip("fd77::1"), answer(q, kA, 7800, "A"));
  }
  network.tick(12000);
  q = network.startRound(15000);
  network.received(ip("fd77::1"), answer(q, kA, 7800, "A"));
  network.received(ip("10.77.1.9"), answer(q, kA, 7800, "A"));
  EXPECT_EQ(shown(network), std::vector<std::string>{"10.77.1.9:7800 A"});
}

TEST(NetworkTables, QuickRefreshesLoseNoAnswer) {
  NetworkTables network(2000, 1);
  const std::string first = network.startRound(0);
  const std::string second = network.startRound(10);
  const std::string third = network.startRound(20);
  // The answer to the first question, once the third is out, still counts.
  EXPECT_TRUE(network.received(ip("10.77.1.11"), answer(first, kA, 7800, "A")));
  network.received(ip("10.77.1.11"), answer(second, kA, 7800, "A"));
  network.received(ip("10.77.1.11"), answer(third, kA, 7800, "A"));
  EXPECT_FALSE(network.tick(2020));
  EXPECT_EQ(network.tables().size(), 1u);
}

TEST(NetworkTables, RemembersOnlyTheLastFewQuestions) {
  NetworkTables network(2000, 1);
  std::vector<std::string> asked;
  for (int n = 0; n < 5; ++n) asked.push_back(network.startRound(n));
  EXPECT_FALSE(network.received(ip("10.77.1.11"), answer(asked[0], kA, 7800, "A")));
  EXPECT_TRUE(network.received(ip("10.77.1.11"), answer(asked[1], kA, 7800, "A")));
}

TEST(NetworkTables, AFloodOfMadeUpTablesFillsTheListOnlySoFar) {
  NetworkTables network(2000, 1);
  const std::string q = network.startRound(0);
  for (std::uint64_t n = 0; n < 2 * kMaxNetworkTables; ++n) {
    const std::string id = net::local_network::tokenText(n);
    network.received(ip("10.77.1.66"), answer(q, id.c_str(), 7800, "Fake"));
  }
  EXPECT_EQ(network.tables().size(), kMaxNetworkTables);
}

// The finder merges what the network says with its other sources.
class Shell : public FinderShell {
 public:
  void askTable(int ask, const net::HostPort& where) override { tables[where.host] = ask; }
  void askDirectory(int ask, const net::HostPort&) override { directory = ask; }
  void cancel(int) override {}
  void listChanged() override { ++changes; }
  void askNetwork(const std::string& query) override { queries.push_back(query); }
  std::map<std::string, int> tables;
  int directory = 0;
  std::vector<std::string> queries;
  int changes = 0;
};

const TableRow* rowAt(const TableFinder& finder, const net::HostPort& where) {
  for (const TableRow& row : finder.rows())
    if (row.where == where) return &row;
  return nullptr;
}

TEST(NetworkTables, TheFinderShowsThemOnceAmongItsOtherSources) {
  Shell shell;
  TableFinder finder(shell);
  finder.refresh(0);
  EXPECT_TRUE(shell.queries.empty());  // not asked unless the lobby wants it

  finder.setNetworkAsked(true);
  finder.setAdded({{"10.77.1.11", 7800}});
  finder.setDirectories({{"dir.example", 7771}});
  finder.setThisComputer(net::HostPort{"127.0.0.1", 7772});
  finder.refresh(100);
  ASSERT_EQ(shell.queries.size(), 1u);
  const std::string q = shell.queries[0];
  finder.directoryListed(shell.directory, {{"10.77.1.11", 7800, info("A, as listed")},
                                           {"10.77.1.12", 7800, info("B, as listed")}});
  finder.askFailed(shell.tables["10.77.1.11"], false);
  finder.tableAnswered(shell.tables["127.0.0.1"], info("Here, over TCP"));
  finder.networkAnswered(ip("10.77.1.11"), answer(q, kA, 7800, "A"));
  finder.networkAnswered(ip("10.77.1.12"), answer(q, kB, 7800, "B"));
  finder.networkAnswered(ip("127.0.0.1"), answer(q, "00000000000000cc", 7772, "Here"));
  finder.networkAnswered(ip("10.77.1.14"), answer(q, "00000000000000dd", 7800, "D"));

  ASSERT_EQ(finder.rows().size(), 4u);
  const TableRow* a = rowAt(finder, {"10.77.1.11", 7800});
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->sources, kAddedByPlayer | kFromDirectory | kOnThisNetwork);
  EXPECT_EQ(a->state, TableState::kKnown);  // its own answer, though TCP failed
  EXPECT_EQ(a->info->name, "A");
  EXPECT_EQ(columnText(*a, Column::kAddress), "10.77.1.11:7800 (this network)");
  EXPECT_EQ(rowAt(finder, {"10.77.1.12", 7800})->info->name, "B");  // over the directory's
  const TableRow* here = rowAt(finder, {"127.0.0.1", 7772});
  EXPECT_EQ(here->sources, kOnThisComputer | kOnThisNetwork);
  EXPECT_EQ(here->info->name, "Here, over TCP");
  EXPECT_EQ(rowAt(finder, {"10.77.1.14", 7800})->sources, unsigned{kOnThisNetwork});

  // D stops answering: gone after two rounds; the others answer on.
  for (std::int64_t now = 5100; now <= 15100; now += 5000) {
    finder.tick(now);
    const std::string next = shell.queries.back();
    finder.networkAnswered(ip("10.77.1.12"), answer(next, kB, 7800, "B"));
  }
  finder.tick(17100);
  EXPECT_EQ(rowAt(finder, {"10.77.1.14", 7800}), nullptr);
  EXPECT_NE(rowAt(finder, {"10.77.1.12", 7800}), nullptr);
  // A's row stays, as the directory lists it and the player added it.
  EXPECT_EQ(rowAt(finder, {"10.77.1.11", 7800})->sources, kAddedByPlayer | kFromDirectory);
}

}  // namespace
}  // namespace zp::lobby
