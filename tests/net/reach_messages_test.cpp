// The messages that reach a table from outside: the directory's check and relay, and codes.
#include <gtest/gtest.h>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "tests/net/message_text.h"

namespace zp::net {
namespace {

using testing::argsOf;
using testing::framed;

TableInfo sample() {
  return {"Home", "1.0.15", false, 0, 0, 0, {"Ann", "", "", ""}, ComputerStrength::Classic};
}

TEST(ReachMessages, BuildByteForByteAndReadBack) {
  EXPECT_EQ(to_directory::reachme({7772, Visibility::kInvite}), framed("CMD_reachme+7772+invite+"));
  EXPECT_EQ(to_directory::findcode({"K7Q2M9"}), framed("CMD_findcode+K7Q2M9+"));
  EXPECT_EQ(from_directory::reach({7772, Reach::kRelayed, "K7Q2M9"}),
            framed("CMD_reach+7772+relayed+K7Q2M9+"));
  EXPECT_EQ(from_directory::relayopen({7772, 7770, "0123456789abcdef"}),
            framed("CMD_relayopen+7772+7770+0123456789abcdef+"));
  EXPECT_EQ(from_directory::relayedtable({"", 7770, "K7Q2M9", sample()}),
            framed("CMD_relayedtable++7770+K7Q2M9+Home+1.0.15+waiting+0+0+0+Ann++++classic+"));
  EXPECT_EQ(from_directory::codeat({"K7Q2M9", Reach::kDirect, "203.0.113.9", 7772}),
            framed("CMD_codeat+K7Q2M9+direct+203.0.113.9+7772+"));
  EXPECT_EQ(to_relay::relayjoin({"K7Q2M9"}), framed("CMD_relayjoin+K7Q2M9+"));
  EXPECT_EQ(to_relay::relayback({"0123456789abcdef"}), framed("CMD_relayback+0123456789abcdef+"));
  EXPECT_EQ(from_relay::relayed(), framed("CMD_relayed+"));
  EXPECT_EQ(from_relay::relayrefused({"The table is full"}),
            framed("CMD_relayrefused+The table is full+"));
  EXPECT_EQ(from_lobby::invitecode({"K7Q2M9"}), framed("CMD_invitecode+K7Q2M9+"));

  EXPECT_EQ(to_directory::parseReachMe(argsOf(to_directory::reachme({7772, Visibility::kPublic}))),
            (ReachRequest{7772, Visibility::kPublic}));
  EXPECT_EQ(from_directory::parseReach(argsOf(from_directory::reach({7772, Reach::kDirect, ""}))),
            (ReachState{7772, Reach::kDirect, ""}));
  const RelayedTable relayed{"relay.example.org", 7000, "K7Q2M9", sample()};
  EXPECT_EQ(from_directory::parseRelayedTable(argsOf(from_directory::relayedtable(relayed))),
            relayed);
  const CodeAt at{"K7Q2M9", Reach::kRelayed, "", 7770};
  EXPECT_EQ(from_directory::parseCodeAt(argsOf(from_directory::codeat(at))), at);
  EXPECT_EQ(from_relay::parseRelayRefused(argsOf(from_relay::relayrefused({"No such table"}))),
            (RelayRefusal{"No such table"}));
  // The lobby passes a code on, and says so when the table has none any more.
  for (const char* code : {"K7Q2M9", ""})
    EXPECT_EQ(from_lobby::parseInviteCode(argsOf(from_lobby::invitecode({code}))),
              (InviteCode{code}));
}

TEST(ReachMessages, ReadersRefuseWhatIsNoCodeNoTicketNoStateOrNoPlace) {
  for (const char* args : {"7772+local+", "7772+secret+", "0+public+", "70000+public+"})
    EXPECT_FALSE(to_directory::parseReachMe(args)) << args;
  for (const char* args : {"K7Q-2M9+", "k7q2m9+", "O7Q2M9+", "K7Q2M+", ""})
    EXPECT_FALSE(to_directory::parseFindCode(args)) << args;
  for (const char* args : {"K7Q-2M9+", "k7q2m9+", "K7Q2M+", "O7Q2M9+"})
    EXPECT_FALSE(from_lobby::parseInviteCode(args)) << args;
  for (const char* args : {"7772+maybe+K7Q2M9+", "7772+relayed+K7Q2M+"})
    EXPECT_FALSE(from_directory::parseReach(args)) << args;
  for (const char* args :
       {"7772+7770+0123456789ABCDEF+", "7772+7770+0123+", "7772+0+0123456789abcdef+"})
    EXPECT_FALSE(from_directory::parseRelayOpen(args)) << args;
  // A direct table is at an address; a host never holds what would move a terminal or a field.
  for (const char* args : {"K7Q2M9+direct++7772+", "K7Q2M9+direct+dir.example.org+7772+",
                           "K7Q2M9+checking+203.0.113.9+7772+", "K7Q2M9+relayed+a b+7770+",
                           "K7Q2M9+relayed+a\x1b+7770+"})
    EXPECT_FALSE(from_directory::parseCodeAt(args)) << args;
  EXPECT_TRUE(from_directory::parseCodeAt("K7Q2M9+relayed+relay.example.org+7770+"));
  EXPECT_FALSE(to_relay::parseRelayBack("0123456789abcdeg+"));
  EXPECT_FALSE(to_relay::parseRelayJoin("K7Q2M9X+"));
}

TEST(ReachMessages, ACodeWithADirectoryReadsAsTheGameIsGivenIt) {
  const auto plain = parseInviteAddress("K7Q2M9@dir.example.org");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->code, "K7Q2M9");
  EXPECT_EQ(plain->directoryHost, "dir.example.org");
  EXPECT_EQ(plain->directoryPort, kDirectoryPort);
  const auto v6 = parseInviteAddress("k7q-2m9@[2001:db8::1]:7000");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->code, "K7Q2M9");
  EXPECT_EQ(v6->directoryHost, "2001:db8::1");
  EXPECT_EQ(v6->directoryPort, 7000);
  for (const char* bad :
       {"K7Q2M9", "K7Q2M9@", "@dir", "K7Q2M@dir", "K7Q2M9@dir:0", "127.0.0.1:7772"})
    EXPECT_FALSE(parseInviteAddress(bad)) << bad;
}

TEST(ReachMessages, ATablesVisibilityFollowsTheComputersStrength) {
  TableInfo invite = sample();
  invite.visibility = "invite";
  const std::string bytes = to_players::tableinfo(invite);
  EXPECT_EQ(bytes, framed("CMD_tableinfo+Home+1.0.15+waiting+0+0+0+Ann++++classic+invite+"));
  EXPECT_EQ(to_players::parseTableInfo(argsOf(bytes)), invite);
  // Not said without the strength before it, and only the three words read.
  TableInfo older = sample();
  older.computer.reset();
  older.visibility = "public";
  EXPECT_EQ(to_players::tableinfo(older),
            framed("CMD_tableinfo+Home+1.0.15+waiting+0+0+0+Ann++++"));
  const auto odd = to_players::parseTableInfo("Home+1.0.15+waiting+0+0+0+Ann++++classic+secret+");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->visibility, std::nullopt);
}

}  // namespace
}  // namespace zp::net
