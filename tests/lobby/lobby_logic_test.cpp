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
  };
  for (const Case& c : cases) EXPECT_EQ(c.arguments, c.expected);
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
      "Table6=10.0.0.6\n");  // after a gap: not read
  EXPECT_EQ(readLobbySettings(file), (LobbySettings{"Bob",
                                                    {{"a.example", 7771}, {"b.example", 80}},
                                                    {{"10.0.0.1", 7772}, {"::1", 7800}}}));
}

TEST(GameLinks, MatchesLinksToTheGamesStartedInTheirOrder) {
  GameLinks links;
  links.started(GameKind::kJoin, 0);
  links.started(GameKind::kHost, 100);
  EXPECT_EQ(links.waitingGames(), 2);
  EXPECT_FALSE(links.hosting());
  EXPECT_TRUE(links.hostStartedOrRunning());

  links.linkOpened(1, 500);  // the first game started
  EXPECT_FALSE(links.hosting());
  links.linkOpened(2, 600);  // the host
  EXPECT_TRUE(links.hosting());
  EXPECT_EQ(links.openGames(), 2);
  EXPECT_EQ(links.waitingGames(), 0);

  links.linkOpened(3, 700);  // a game nobody here started still counts
  EXPECT_EQ(links.openGames(), 3);
  links.linkClosed(2);
  EXPECT_FALSE(links.hosting());
  EXPECT_FALSE(links.hostStartedOrRunning());
  EXPECT_EQ(links.openGames(), 2);
  links.linkClosed(99);  // never opened
  EXPECT_EQ(links.openGames(), 2);
}

TEST(GameLinks, AGameThatNeverLinksBackIsForgotten) {
  GameLinks links;
  links.started(GameKind::kHost, 0);
  links.tick(kLinkWaitMs - 1);
  EXPECT_TRUE(links.hostStartedOrRunning());
  links.tick(kLinkWaitMs);
  EXPECT_FALSE(links.hostStartedOrRunning());
  EXPECT_EQ(links.waitingGames(), 0);
  // A link after that is a game of its own, not the host.
  links.linkOpened(1, kLinkWaitMs + 1);
  EXPECT_FALSE(links.hosting());
  EXPECT_EQ(links.openGames(), 1);
}

}  // namespace
}  // namespace zp::lobby
