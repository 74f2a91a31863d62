// The lobby's settings section, the game's command lines and the games' links, without
// sockets or a clock.
#include <gtest/gtest.h>

#include "client/profile.h"
#include "lobby/command_lines.h"
#include "lobby/game_links.h"
#include "lobby/lobby_settings.h"
#include "tests/support/temp_dir.h"

namespace zp::lobby {
namespace {

using net::HostPort;
using zp::testing::Put;
using zp::testing::Slurp;
using zp::testing::TempDir;

TEST(CommandLines, JoinAndHostAsTheGameReadsThem) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
  };
  const std::string longName(40, 'x');
  const std::vector<Case> cases = {
      {joinArguments("Ann", {"192.168.1.20", 7772}), {"Ann", "192.168.1.20:7772", "false"}},
      {joinArguments("Ann", {"club.example.org", 7800}), {"Ann", "club.example.org:7800", "false"}},
      {joinArguments("Ann", {"2001:db8::7", 7772}), {"Ann", "[2001:db8::7]:7772", "false"}},
      // The name as the game would clean it: no "+", no line break, 32 characters at most.
      {joinArguments("A+nn\n", {"10.0.0.1", 7772}), {"Ann", "10.0.0.1:7772", "false"}},
      {joinArguments(longName, {"10.0.0.1", 7772}),
       {std::string(32, 'x'), "10.0.0.1:7772", "false"}},
      {hostArguments("Bob Smith"), {"Bob Smith", "127.0.0.1", "true"}},
      // A named table: the name cleaned as a table's and cut to its 40 characters.
      {hostArguments("Bob", " Thursday+club\n"),
       {"Bob", "127.0.0.1", "true", "--table-name",
        "Thursday\xEF\xBC\x8B"
        "club"}},
      {hostArguments("Bob", std::string(50, 'y')),
       {"Bob", "127.0.0.1", "true", "--table-name", std::string(40, 'y')}},
      {hostArguments("Bob", " \t"), {"Bob", "127.0.0.1", "true"}},
      // A relayed table, by its code through the directory that lists it.
      {joinByCodeArguments("Ann", "K7Q2M9", {"dir.example.org", 7771}),
       {"Ann", "K7Q2M9@dir.example.org:7771", "false"}},
      {joinByCodeArguments("Ann", "K7Q2M9", {"2001:db8::7", 7771}),
       {"Ann", "K7Q2M9@[2001:db8::7]:7771", "false"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.arguments, c.expected);
  // A table named for its host takes the name as the game cleans it, then cleans the whole.
  EXPECT_EQ(defaultTableName("Ann"), "Ann's table");
  EXPECT_EQ(defaultTableName("A+nn\n"), "Ann's table");
  EXPECT_EQ(defaultTableName(longName), std::string(32, 'x') + "'s table");
}

TEST(LobbySettings, AddressListsReadBackAndSkipWhatDoesNotRead) {
  const std::vector<HostPort> list = {{"dir.example.org", 7771}, {"2001:db8::7", 7000}};
  EXPECT_EQ(addressListText(list), "dir.example.org:7771 [2001:db8::7]:7000");
  EXPECT_EQ(readAddressList(addressListText(list), 7771), list);
  // By hand: commas, no ports, a repeat, rubbish.
  EXPECT_EQ(readAddressList(" a.example,b.example:80  a.example x:99999 [::1]", 7772),
            (std::vector<HostPort>{{"a.example", 7772}, {"b.example", 80}, {"::1", 7772}}));
  EXPECT_TRUE(readAddressList("", 7772).empty());
}

TEST(LobbySettings, ItsOwnSectionComesAndGoesWithoutTouchingAnyOther) {
  TempDir dir;
  // The game's section as the game writes it, another program's with a comment, a value the
  // lobby's layer must not rewrite, and a line ending of the other kind.
  const std::string others =
      "; shared with the lobby\r\n"
      "[ZanduPelix]\r\n"
      "Textsize=12\r\n"
      "Phrase1=  \"Nice Try!\"  \r\n"
      "Top=40\r\n"
      "\r\n"
      "[OtherGame]\n"
      "Path=C:\\Games\\lobby\n"
      "# not a comment here\n";
  Put(dir / "qelmlobby.ini", others);
  const client::ProfileFile file(dir / "qelmlobby.ini");
  EXPECT_EQ(readLobbySettings(file), LobbySettings{});

  const LobbySettings settings{"Ann",
                               {{"dir.example.org", 7771}, {"2001:db8::7", 7771}},
                               {{"192.168.1.20", 7772}, {"club.example.org", 7800}}};
  ASSERT_FALSE(writeLobbySettings(file, settings));
  const std::string written = Slurp(dir / "qelmlobby.ini");
  EXPECT_EQ(written.substr(0, others.size()), others) << "every byte before ours as it was";
  EXPECT_EQ(written.substr(others.size()),
            "[ZanduPelixLobby]\r\n"
            "Name=Ann\r\n"
            "Directory=dir.example.org:7771 [2001:db8::7]:7771\r\n"
            "Table1=192.168.1.20:7772\r\n"
            "Table2=club.example.org:7800\r\n");
  EXPECT_EQ(readLobbySettings(file), settings);
  // The game reads its own keys as before.
  EXPECT_EQ(file.ReadString("ZanduPelix", "Textsize", "8"), "12");
  EXPECT_EQ(file.ReadString("ZanduPelix", "Phrase1", ""), "Nice Try!");

  // The game writes its section after the lobby wrote: the lobby's stays as it was.
  ASSERT_FALSE(file.WriteString("ZanduPelix", "Top", "55"));
  EXPECT_EQ(readLobbySettings(file), settings);

  // A smaller list: the section is rewritten in place, the rest still untouched.
  LobbySettings fewer = settings;
  fewer.tables.erase(fewer.tables.begin());
  fewer.name = "Ann+Bob";  // cleaned as the game cleans a name
  ASSERT_FALSE(writeLobbySettings(file, fewer));
  fewer.name = "AnnBob";
  EXPECT_EQ(readLobbySettings(file), fewer);
  const std::string after = Slurp(dir / "qelmlobby.ini");
  EXPECT_EQ(after.substr(0, after.find("[ZanduPelixLobby]")),
            std::string(others).replace(others.find("Top=40"), 6, "Top=55"));
  EXPECT_NE(after.find("Table1=club.example.org:7800\r\nTable2=\r\n"), std::string::npos);
}

TEST(LobbySettings, KeepsManyAddedTablesAndReadsAHandEditedSection) {
  TempDir dir;
  const client::ProfileFile file(dir / "qelmlobby.ini");
  LobbySettings many{"Ann", {}, {}};
  for (int n = 0; n < 300; ++n)
    many.tables.push_back({"table" + std::to_string(n) + ".club.example.org", 7772});
  ASSERT_FALSE(writeLobbySettings(file, many));
  EXPECT_EQ(readLobbySettings(file), many);

  Put(dir / "qelmlobby.ini",
      "[zandupelixlobby]\n"
      "name = Bob\n"
      "directory=a.example, b.example:80\n"
      "Table1=10.0.0.1\n"
      "Table2=\n"             // emptied: skipped
      "Table3=not a table\n"  // skipped
      "Table4=[::1]:7800\n"
      "Table5=a\n"           // a host named "a": a table like any other
      "Table7=10.0.0.7\n");  // after a gap: not read
  EXPECT_EQ(readLobbySettings(file),
            (LobbySettings{"Bob",
                           {{"a.example", 7771}, {"b.example", 80}},
                           {{"10.0.0.1", 7772}, {"::1", 7800}, {"a", 7772}}}));

  // A section edited to hold more tables than the lobby keeps: the first ones are read.
  std::string longer = "[zandupelixlobby]\n";
  for (std::size_t n = 1; n <= kMaxAddedTables + 5; ++n)
    longer += "Table" + std::to_string(n) + "=10.1." + std::to_string(n / 256) + "." +
              std::to_string(n % 256) + "\n";
  Put(dir / "qelmlobby.ini", longer);
  const LobbySettings read = readLobbySettings(file);
  ASSERT_EQ(read.tables.size(), kMaxAddedTables);
  EXPECT_EQ(read.tables.back(), (HostPort{"10.1.3.232", 7772}));
}

TEST(GameLinks, OnlyAStartedGamesTokenOpensALink) {
  GameLinks links;
  links.started(GameKind::kJoin, "join-token", 0);
  links.started(GameKind::kHost, "host-token", 100);
  EXPECT_EQ(links.waitingGames(), 2);
  EXPECT_FALSE(links.hosting());
  EXPECT_TRUE(links.hostStartedOrRunning());

  // Strangers first, right after Host a Table: no token, a wrong one, a prefix.
  EXPECT_FALSE(links.linkOpened(1, "", 200));
  EXPECT_FALSE(links.linkOpened(2, "guess", 200));
  EXPECT_FALSE(links.linkOpened(3, "host-toke", 200));
  EXPECT_EQ(links.openGames(), 0);
  EXPECT_FALSE(links.hosting());

  // Each game by its own token, whatever the order.
  EXPECT_TRUE(links.linkOpened(4, "host-token", 500));
  EXPECT_TRUE(links.hosting());
  EXPECT_FALSE(links.linkOpened(5, "host-token", 600)) << "a token opens one link";
  EXPECT_TRUE(links.linkOpened(6, "join-token", 700));
  EXPECT_EQ(links.openGames(), 2);
  EXPECT_EQ(links.waitingGames(), 0);

  links.linkClosed(4);
  EXPECT_FALSE(links.hosting());
  EXPECT_FALSE(links.hostStartedOrRunning());
  EXPECT_FALSE(links.linkOpened(7, "host-token", 800)) << "the game has ended";
  links.linkClosed(99);  // never opened
  EXPECT_EQ(links.openGames(), 1);
}

TEST(GameLinks, AGameThatNeverLinksBackIsForgotten) {
  GameLinks links;
  links.started(GameKind::kHost, "late", 0);
  links.tick(kLinkWaitMs - 1);
  EXPECT_TRUE(links.hostStartedOrRunning());
  EXPECT_FALSE(links.linkOpened(1, "late", kLinkWaitMs)) << "too late to link";
  links.tick(kLinkWaitMs);
  EXPECT_FALSE(links.hostStartedOrRunning());
  EXPECT_EQ(links.waitingGames(), 0);
  EXPECT_EQ(links.openGames(), 0);

  // One that cannot link back is given up as its table answers; other games wait on.
  links.started(GameKind::kHost, "unlinked", 0);
  links.started(GameKind::kJoin, "joining", 0);
  links.forgetWaiting(GameKind::kHost);
  EXPECT_FALSE(links.hostStartedOrRunning());
  EXPECT_EQ(links.waitingGames(), 1);

  // One that did link back runs for as long as its game lasts.
  GameLinks running;
  running.started(GameKind::kHost, "prompt", 0);
  ASSERT_TRUE(running.linkOpened(1, "prompt", 100));
  running.tick(10 * kLinkWaitMs);
  running.forgetWaiting(GameKind::kHost);
  EXPECT_TRUE(running.hosting());
  EXPECT_EQ(running.openGames(), 1);
}

TEST(GameLinks, EveryGameGetsATokenNobodyCanGuess) {
  const std::string a = newGameToken();
  const std::string b = newGameToken();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
}

TEST(LobbySettings, TheDirectoryListReadsBackExactlyUpToTheLongestValue) {
  TempDir dir;
  const client::ProfileFile file(dir / "qelmlobby.ini");
  // Addresses that fill the value to exactly its longest, then one byte past it.
  LobbySettings settings{"Ann", {}, {}};
  std::size_t length = 0;
  // Each of these takes 24 bytes and a blank; room is left for a last one of 1 to 25.
  for (int n = 0; length + 1 + 24 + 1 + 6 <= client::ProfileText::kMaxValue; ++n) {
    settings.directories.push_back({"dir" + std::to_string(1000 + n) + ".example.org", 7771});
    length += (length ? 1 : 0) + net::hostPortText(settings.directories.back()).size();
  }
  const std::size_t rest =
      client::ProfileText::kMaxValue - length - 1 - std::string(":7771").size();
  settings.directories.push_back({std::string(rest, 'z'), 7771});
  ASSERT_EQ(addressListText(settings.directories).size(), client::ProfileText::kMaxValue);
  ASSERT_FALSE(writeLobbySettings(file, settings));
  EXPECT_EQ(readLobbySettings(file), settings);

  settings.directories.back().host += 'z';
  ASSERT_FALSE(writeLobbySettings(file, settings));
  LobbySettings kept = settings;
  kept.directories.pop_back();
  EXPECT_EQ(readLobbySettings(file), kept) << "what would not read back whole is not written";
}

}  // namespace
}  // namespace zp::lobby
