// The lobby's list without sockets or a clock: the shell records what is asked, the test
// answers for the network and passes the time.
#include "lobby/table_finder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zp::lobby {
namespace {

using net::HostPort;

class RecordingShell : public FinderShell {
 public:
  void askTable(int ask, const HostPort& where) override { tables[ask] = where; }
  void askDirectory(int ask, const HostPort& where) override { directories[ask] = where; }
  void cancel(int ask) override { cancelled.push_back(ask); }
  void listChanged() override { ++changes; }

  // The ask under way for `where`, the last one made.
  int askFor(const HostPort& where) const {
    int found = 0;
    for (const auto& [ask, w] : tables)
      if (w == where) found = ask;
    for (const auto& [ask, w] : directories)
      if (w == where) found = ask;
    return found;
  }
  int asksOf(const HostPort& where) const {
    int n = 0;
    for (const auto& [ask, w] : tables) n += w == where;
    return n;
  }

  std::map<int, HostPort> tables;
  std::map<int, HostPort> directories;
  std::vector<int> cancelled;
  int changes = 0;
};

net::TableInfo table(const std::string& name, std::array<std::string, kSeats> seats = {},
                     bool playing = false, int spectators = 0) {
  return net::TableInfo{name,       "1.0.15", playing,     playing ? 110 : 0, playing ? 70 : 0,
                        spectators, seats,    std::nullopt};
}

net::ListedTable listed(const std::string& address, int port, const std::string& name) {
  return net::ListedTable{address, port, table(name)};
}

const TableRow* rowAt(const TableFinder& finder, const HostPort& where) {
  for (const TableRow& row : finder.rows())
    if (row.where == where) return &row;
  return nullptr;
}

const HostPort kHere{"127.0.0.1", 7772};
const HostPort kDirA{"dir-a.example", 7771};
const HostPort kDirB{"dir-b.example", 7771};

TEST(TableFinder, MergesTheThreeSourcesIntoOneRowPerTable) {
  RecordingShell shell;
  TableFinder finder(shell);
  finder.setDirectories({kDirA, kDirB});
  finder.setAdded({{"10.0.0.5", 7772}, {"za.club.example", 7800}});
  finder.setThisComputer(kHere);
  finder.refresh(0);
  // The directories and the directly asked tables, each once.
  ASSERT_EQ(shell.directories.size(), 2u);
  ASSERT_EQ(shell.tables.size(), 3u);

  finder.directoryListed(shell.askFor(kDirA),
                         {listed("10.0.0.5", 7772, "Listed five"), listed("10.0.0.9", 7772, "Nine"),
                          listed("127.0.0.1", 7772, "Here, as listed")});
  finder.directoryListed(shell.askFor(kDirB), {listed("10.0.0.9", 7772, "Nine again"),
                                               listed("ZA.CLUB.example", 7800, "Club")});
  finder.tableAnswered(shell.askFor(kHere), table("Here", {"Ann", "Tobo", "", ""}));
  finder.tableAnswered(shell.askFor({"10.0.0.5", 7772}), table("Five", {"Bob"}, true, 2));
  finder.askFailed(shell.askFor({"za.club.example", 7800}), false);
  // A burst of answers is told once, until the list is read.
  EXPECT_EQ(shell.changes, 1);

  // Plain text, not strings: GCC 12 at -O3 takes a table of strings for uninitialised.
  struct Expected {
    const char* host;
    std::uint16_t port;
    unsigned sources;
    TableState state;
    const char* name;
  };
  const Expected expected[] = {
      // The table's own answer wins over a directory's listing.
      {kHere.host.c_str(), kHere.port, kOnThisComputer | kFromDirectory, TableState::kKnown,
       "Here"},
      {"10.0.0.5", 7772, kAddedByPlayer | kFromDirectory, TableState::kKnown, "Five"},
      // Silent when asked directly, but a directory that answered lists it: known. Host
      // names match without regard to case, from A to Z.
      {"za.club.example", 7800, kAddedByPlayer | kFromDirectory, TableState::kKnown, "Club"},
      // Listed by both directories: one row, the first directory's information.
      {"10.0.0.9", 7772, kFromDirectory, TableState::kKnown, "Nine"},
  };
  ASSERT_EQ(finder.rows().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const HostPort where{expected[i].host, expected[i].port};
    SCOPED_TRACE(net::hostPortText(where));
    const TableRow& row = finder.rows()[i];
    EXPECT_EQ(row.where, where);
    EXPECT_EQ(row.sources, expected[i].sources);
    EXPECT_EQ(row.state, expected[i].state);
    ASSERT_TRUE(row.info);
    EXPECT_EQ(row.info->name, expected[i].name);
  }
  const TableRow& five = finder.rows()[1];
  EXPECT_EQ(columnText(five, Column::kPlayers), "Bob");
  EXPECT_EQ(columnText(five, Column::kFreeSeats), "3");
  EXPECT_EQ(columnText(five, Column::kSpectators), "2");
  EXPECT_EQ(columnText(five, Column::kState), "playing");
  EXPECT_EQ(columnText(finder.rows()[0], Column::kPlayers), "Ann, Tobo");
  EXPECT_EQ(columnText(finder.rows()[0], Column::kFreeSeats), "2");
  EXPECT_EQ(columnText(finder.rows()[0], Column::kState), "waiting");
}

TEST(TableFinder, ATableThatAnswersLateOrNeverIsUnknownAndKeepsItsAddress) {
  RecordingShell shell;
  TableFinder finder(shell);
  const HostPort late{"10.0.0.7", 7772};
  const HostPort never{"fe80::7", 7772};
  finder.setAdded({late, never});
  finder.tick(0);  // the first tick starts the first round
  ASSERT_EQ(shell.tables.size(), 2u);
  ASSERT_TRUE(rowAt(finder, late));
  EXPECT_EQ(rowAt(finder, late)->state, TableState::kAsking);
  EXPECT_EQ(columnText(*rowAt(finder, late), Column::kState), "asking…");

  const int lateAsk = shell.askFor(late);
  const int neverAsk = shell.askFor(never);
  finder.connected(lateAsk, 0);
  finder.connected(neverAsk, 0);
  finder.tick(kAnswerLimitMs - 1);
  EXPECT_TRUE(shell.cancelled.empty());
  finder.tick(kAnswerLimitMs);
  // Both given up on: their connections dropped, their rows unknown, nothing else.
  EXPECT_EQ(shell.cancelled, (std::vector<int>{lateAsk, neverAsk}));
  for (const HostPort& where : {late, never}) {
    const TableRow* row = rowAt(finder, where);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->state, TableState::kUnknown);
    EXPECT_EQ(columnText(*row, Column::kState), "unreachable");
    EXPECT_EQ(columnText(*row, Column::kFreeSeats), "");
  }
  EXPECT_EQ(columnText(*rowAt(finder, never), Column::kAddress), "[fe80::7]:7772");

  // An answer after the limit counts for nothing.
  finder.tableAnswered(lateAsk, table("Late"));
  EXPECT_EQ(rowAt(finder, late)->state, TableState::kUnknown);

  // The next round asks again; this time it is in time.
  finder.tick(kRefreshMs - 1);
  EXPECT_EQ(shell.asksOf(late), 1);
  finder.tick(kRefreshMs);
  EXPECT_EQ(shell.asksOf(late), 2);
  finder.tableAnswered(shell.askFor(late), table("Late"));
  EXPECT_EQ(rowAt(finder, late)->state, TableState::kKnown);

  // It stops answering: unknown again, but it keeps its name.
  finder.tick(2 * kRefreshMs);
  finder.askFailed(shell.askFor(late), true);
  ASSERT_EQ(rowAt(finder, late)->state, TableState::kUnknown);
  EXPECT_EQ(columnText(*rowAt(finder, late), Column::kName), "Late");
  EXPECT_EQ(columnText(*rowAt(finder, late), Column::kPlayers), "");
}

TEST(TableFinder, AsksEachTableAtMostOnceAtATime) {
  RecordingShell shell;
  TableFinder finder(shell);
  const HostPort slow{"10.0.0.8", 7772};
  finder.setAdded({slow});
  finder.refresh(0);
  finder.refresh(100);  // the player presses Refresh while the first ask is under way
  finder.tick(200);
  EXPECT_EQ(shell.asksOf(slow), 1);
  finder.tableAnswered(shell.askFor(slow), table("Slow"));
  finder.refresh(300);
  EXPECT_EQ(shell.asksOf(slow), 2);
  // A refresh restarts the 5 s wait.
  finder.tableAnswered(shell.askFor(slow), table("Slow"));
  finder.tick(kRefreshMs);
  EXPECT_EQ(shell.asksOf(slow), 2);
  finder.tick(300 + kRefreshMs);
  EXPECT_EQ(shell.asksOf(slow), 3);
}

TEST(TableFinder, ShowsTheTableOnThisComputerOnlyWhileSomethingListensThere) {
  struct Case {
    const char* what;
    bool refused;
    bool answered;
    bool shown;
    TableState state;
  };
  const std::vector<Case> cases = {
      {"nothing listens", true, false, false, TableState::kUnknown},
      {"an older table that keeps silent", false, false, true, TableState::kUnknown},
      {"a table that answers", false, true, true, TableState::kKnown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingShell shell;
    TableFinder finder(shell);
    finder.setThisComputer(kHere);
    finder.refresh(0);
    EXPECT_TRUE(finder.rows().empty()) << "not before it is known";
    if (c.answered)
      finder.tableAnswered(shell.askFor(kHere), table("Mine"));
    else
      finder.askFailed(shell.askFor(kHere), c.refused);
    ASSERT_EQ(finder.rows().size(), c.shown ? 1u : 0u);
    if (c.shown) {
      EXPECT_EQ(finder.rows()[0].state, c.state);
    }
    EXPECT_EQ(finder.thisComputersTable().has_value(), c.answered);
  }
}

TEST(TableFinder, ASilentDirectoryLeavesItsTablesUnknownAndAnAnswerWithoutOneDropsIt) {
  RecordingShell shell;
  TableFinder finder(shell);
  finder.setDirectories({kDirA});
  finder.refresh(0);
  finder.directoryListed(shell.askFor(kDirA),
                         {listed("10.0.0.1", 7772, "One"), listed("10.0.0.2", 7772, "Two")});
  ASSERT_EQ(finder.rows().size(), 2u);
  EXPECT_EQ(finder.directories()[0].state, DirectoryStatus::State::kAnswered);
  EXPECT_EQ(finder.directories()[0].tables, 2u);

  finder.tick(kRefreshMs);
  finder.connected(shell.askFor(kDirA), kRefreshMs);
  finder.tick(kRefreshMs + kAnswerLimitMs);
  EXPECT_EQ(finder.directories()[0].state, DirectoryStatus::State::kSilent);
  ASSERT_EQ(finder.rows().size(), 2u);
  EXPECT_EQ(finder.rows()[0].state, TableState::kUnknown);
  EXPECT_EQ(columnText(finder.rows()[0], Column::kName), "One");

  finder.tick(2 * kRefreshMs);
  finder.directoryListed(shell.askFor(kDirA), {listed("10.0.0.2", 7772, "Two")});
  ASSERT_EQ(finder.rows().size(), 1u);
  EXPECT_EQ(finder.rows()[0].where, (HostPort{"10.0.0.2", 7772}));
  EXPECT_EQ(finder.rows()[0].state, TableState::kKnown);
}

// Tables a directory relays share its relay's address: each is a row of its own by its code,
// marked relayed, joined through the directory that lists it.
TEST(TableFinder, RelayedTablesAreOneRowEachByTheirCode) {
  RecordingShell shell;
  TableFinder finder(shell);
  finder.setDirectories({kDirA, kDirB});
  finder.refresh(0);
  const net::RelayedTable home{"", 7770, "K7Q2M9", table("Home")};
  const net::RelayedTable flat{"relay.example.org", 7000, "222222", table("Flat")};
  finder.directoryListed(shell.askFor(kDirA), {listed("10.0.0.1", 7772, "One")}, {home, flat});
  finder.directoryListed(shell.askFor(kDirB), {}, {home});
  ASSERT_EQ(finder.rows().size(), 3u);
  std::map<std::string, const TableRow*> byName;
  for (const TableRow& row : finder.rows()) byName[columnText(row, Column::kName)] = &row;
  ASSERT_TRUE(byName.count("Home") && byName.count("Flat") && byName.count("One"));
  EXPECT_EQ(reachMark(*byName["One"]), "direct");
  EXPECT_EQ(byName["One"]->code, "");
  const TableRow& homeRow = *byName["Home"];
  EXPECT_EQ(reachMark(homeRow), "relayed");
  EXPECT_EQ(homeRow.code, "K7Q2M9");
  EXPECT_EQ(homeRow.via, kDirA);
  EXPECT_EQ(homeRow.where, (HostPort{kDirA.host, 7770})) << "the directory's own host";
  EXPECT_EQ(columnText(homeRow, Column::kAddress), "relayed: K7Q-2M9 via " + kDirA.host + ":7771");
  EXPECT_EQ(byName["Flat"]->where, (HostPort{"relay.example.org", 7000}));
  EXPECT_EQ(columnText(homeRow, Column::kState), "waiting");
}

TEST(TableFinder, ATableRemovedByThePlayerGoesWithItsAsk) {
  RecordingShell shell;
  TableFinder finder(shell);
  const HostPort kept{"10.0.0.3", 7772};
  const HostPort removed{"10.0.0.4", 7772};
  finder.setAdded({kept, removed});
  finder.refresh(0);
  const int ask = shell.askFor(removed);
  ASSERT_EQ(finder.rows().size(), 2u);
  const int changes = shell.changes;
  finder.setAdded({kept});
  EXPECT_EQ(shell.cancelled, std::vector<int>{ask});
  EXPECT_GT(shell.changes, changes);
  ASSERT_EQ(finder.rows().size(), 1u);
  EXPECT_EQ(finder.rows()[0].where, kept);
  finder.tableAnswered(ask, table("Gone"));  // a late report for it is ignored
  EXPECT_EQ(finder.rows().size(), 1u);
}

TEST(TableFinder, TheAnswerLimitRunsFromTheConnectionAndANamesAddressesAreKept) {
  RecordingShell shell;
  TableFinder finder(shell);
  const HostPort slowName{"Slow.example", 7771};
  finder.setDirectories({slowName});
  finder.tick(0);
  const int first = shell.askFor(slowName);
  // The name takes 2.5 s to look up: still asking, not silent.
  finder.tick(2500);
  EXPECT_TRUE(shell.cancelled.empty());
  finder.lookedUp("slow.EXAMPLE", {"192.0.2.7", "2001:db8::7"}, 2500);
  finder.connected(first, 2500);
  finder.tick(2500 + kAnswerLimitMs - 1);
  finder.directoryListed(first, {listed("10.0.0.1", 7772, "One")});
  EXPECT_EQ(finder.directories()[0].state, DirectoryStatus::State::kAnswered);

  // The next rounds go to the address kept, until it has been kept for a while.
  finder.tick(kRefreshMs);
  EXPECT_EQ(shell.directories.rbegin()->second, (HostPort{"192.0.2.7", 7771}));
  finder.directoryListed(shell.directories.rbegin()->first, {});
  finder.tick(2500 + kAddressKeepMs);
  EXPECT_EQ(shell.directories.rbegin()->second, slowName);

  // A look-up and a connection that take too long are given up too.
  const int slow = shell.directories.rbegin()->first;
  finder.tick(2500 + kAddressKeepMs + kConnectLimitMs - 1);
  EXPECT_TRUE(shell.cancelled.empty());
  finder.tick(2500 + kAddressKeepMs + kConnectLimitMs);
  EXPECT_EQ(shell.cancelled, std::vector<int>{slow});
  EXPECT_EQ(finder.directories()[0].state, DirectoryStatus::State::kSilent);

  // A kept address that stops answering is looked up afresh.
  finder.lookedUp("slow.example", {"192.0.2.8"}, 100000);
  finder.tick(100000);
  EXPECT_EQ(shell.directories.rbegin()->second, (HostPort{"192.0.2.8", 7771}));
  finder.askFailed(shell.directories.rbegin()->first, true);
  finder.refresh(100001);
  EXPECT_EQ(shell.directories.rbegin()->second, slowName);
  // So is one that takes the connection and never answers.
  finder.askFailed(shell.directories.rbegin()->first, true);
  finder.lookedUp("slow.example", {"192.0.2.9"}, 110000);
  finder.refresh(110000);
  const int mute = shell.directories.rbegin()->first;
  EXPECT_EQ(shell.directories.rbegin()->second, (HostPort{"192.0.2.9", 7771}));
  finder.connected(mute, 110000);
  finder.tick(110000 + kAnswerLimitMs);
  EXPECT_EQ(shell.cancelled.back(), mute);
  finder.refresh(110000 + kAnswerLimitMs);
  EXPECT_EQ(shell.directories.rbegin()->second, slowName);
}

TEST(TableFinder, ADirectoryIsAskedOnceAtATimeAndRemovingItCancelsItsAsk) {
  RecordingShell shell;
  TableFinder finder(shell);
  // One directory given twice, the second time in capitals, is one directory.
  finder.setDirectories({kDirA, kDirB, {"DIR-A.example", 7771}});
  ASSERT_EQ(finder.directories().size(), 2u);
  finder.refresh(0);
  const int askA = shell.askFor(kDirA);
  finder.refresh(100);  // Refresh while both asks are under way
  finder.tick(kRefreshMs);
  EXPECT_EQ(shell.directories.size(), 2u);
  finder.setDirectories({kDirB});
  EXPECT_EQ(shell.cancelled, std::vector<int>{askA});
  finder.directoryListed(askA, {listed("10.0.0.1", 7772, "Gone")});  // a late report
  EXPECT_TRUE(finder.rows().empty());
  ASSERT_EQ(finder.directories().size(), 1u);
  EXPECT_EQ(finder.directories()[0].where, kDirB);
}

TEST(TableFinder, OneDirectorysListIsCapped) {
  RecordingShell shell;
  TableFinder finder(shell);
  finder.setDirectories({kDirA});
  finder.refresh(0);
  std::vector<net::ListedTable> many;
  for (std::size_t n = 0; n <= kMaxTablesPerDirectory; ++n)
    many.push_back(listed("10." + std::to_string(n / 65536) + "." + std::to_string(n / 256 % 256) +
                              "." + std::to_string(n % 256),
                          7772, "T"));
  finder.directoryListed(shell.askFor(kDirA), many);
  EXPECT_EQ(finder.directories()[0].tables, kMaxTablesPerDirectory);
  EXPECT_EQ(finder.rows().size(), kMaxTablesPerDirectory);

  // The tables it relays count with the listed ones.
  finder.refresh(kRefreshMs);
  many.pop_back();
  std::vector<net::RelayedTable> relayed;
  for (char n = '1'; n <= '3'; ++n)
    relayed.push_back(
        {"", 7770, std::string("K7Q2M") + n, {"R", "1.0.15", false, 0, 0, 0, {}, std::nullopt}});
  finder.directoryListed(shell.askFor(kDirA), many, relayed);
  EXPECT_EQ(finder.rows().size(), kMaxTablesPerDirectory);
}

TEST(TableFinder, EveryNameIsShownCleanedAndPlayersStayApart) {
  RecordingShell shell;
  TableFinder finder(shell);
  finder.setDirectories({kDirA});
  finder.setAdded({{"10.0.0.5", 7772}});
  finder.refresh(0);
  // An override, a line separator, C1 controls, Latin-1 and invisible characters.
  finder.tableAnswered(
      shell.askFor({"10.0.0.5", 7772}),
      table("Club\xE2\x80\xA8hidden", {"\xE2\x80\xAEnnA", "Ann, Bob, Cy, Di", "\xE2\x80\x8B", ""}));
  finder.directoryListed(shell.askFor(kDirA), {listed("10.0.0.9", 7772,
                                                      "Caf\xE9\x9B"
                                                      "2J\x85next")});
  ASSERT_EQ(finder.rows().size(), 2u);
  const net::TableInfo& club = *finder.rows()[0].info;
  EXPECT_EQ(club.name, "Club hidden");
  EXPECT_EQ(seatedPlayers(club),
            (std::vector<std::string>{"nnA", "Ann, Bob, Cy, Di", std::string(kUnnamedPlayer)}));
  EXPECT_EQ(freeSeats(club), 1) << "a name that cleans to nothing still takes its seat";
  EXPECT_EQ(finder.rows()[1].info->name, "Caf\xC3\xA9 2J next");

  // A table's name is shown to its 40 characters, longer than a player's name may be.
  const std::string forty(net::kMaxTableNameChars, 'w');
  finder.tick(kRefreshMs);
  finder.tableAnswered(shell.askFor({"10.0.0.5", 7772}), table(forty + "xyz"));
  EXPECT_EQ(finder.rows()[0].info->name, forty);
}

}  // namespace
}  // namespace zp::lobby
