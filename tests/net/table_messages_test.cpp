// The messages that find tables: a table's information, and the directory's messages.
#include <gtest/gtest.h>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/host_port.h"
#include "tests/net/message_text.h"

namespace zp::net {
namespace {

using testing::argsOf;
using testing::framed;

TableInfo sample() {
  return {"Club night", "1.0.15", true, 300, 60, 2, {"Ann", "Tobo", "", "Cy"}, std::nullopt};
}

TEST(TableMessages, BuildByteForByte) {
  EXPECT_EQ(to_server::tableinfo(), framed("CMD_tableinfo+"));
  EXPECT_EQ(to_players::tableinfo(sample()),
            framed("CMD_tableinfo+Club night+1.0.15+playing+300+60+2+Ann+Tobo++Cy+"));
  EXPECT_EQ(to_players::tableinfo(TableInfo{"T", "1.0.15", false, 0, 0, 0, {}, std::nullopt}),
            framed("CMD_tableinfo+T+1.0.15+waiting+0+0+0+++++"));
  EXPECT_EQ(to_directory::registertable({7772, sample()}),
            framed("CMD_registertable+7772+Club night+1.0.15+playing+300+60+2+Ann+Tobo++Cy+"));
  EXPECT_EQ(to_directory::withdrawtable({7772}), framed("CMD_withdrawtable+7772+"));
  EXPECT_EQ(to_directory::tablelist(), framed("CMD_tablelist+"));
  EXPECT_EQ(from_directory::registered({"10.0.0.5", 7772}),
            framed("CMD_registered+10.0.0.5+7772+"));
  EXPECT_EQ(from_directory::refused({7772, "the directory is full"}),
            framed("CMD_refused+7772+the directory is full+"));
  EXPECT_EQ(from_directory::listedtable({"2001:db8::1", 7000, sample()}),
            framed("CMD_listedtable+2001:db8::1+7000+Club night+1.0.15+playing+300+60+2+Ann+Tobo++"
                   "Cy+"));
  EXPECT_EQ(from_directory::tablelistend({2}), framed("CMD_tablelistend+2+"));
}

TEST(TableMessages, TheComputersStrengthIsALastFieldOthersMayLeaveOut) {
  TableInfo expert = sample();
  expert.computer = ComputerStrength::Expert;
  EXPECT_EQ(to_players::tableinfo(expert),
            framed("CMD_tableinfo+Club night+1.0.15+playing+300+60+2+Ann+Tobo++Cy+expert+"));
  struct Case {
    const char* tail;  // after the seats
    bool reads;
    std::optional<ComputerStrength> computer;
  };
  const Case cases[] = {
      {"+strong+", true, ComputerStrength::Strong},
      {"+Easy", true, ComputerStrength::Easy},
      {"+", true, std::nullopt},  // an older table's last empty field
      {"", true, std::nullopt},
      // What a newer table may send there is left unread.
      {"+mighty+", true, std::nullopt},
      {"++classic", true, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::string args =
        std::string("Club night+1.0.15+playing+300+60+2+Ann+Tobo++Cy") + c.tail;
    const auto info = to_players::parseTableInfo(args);
    EXPECT_EQ(info.has_value(), c.reads) << args;
    if (info) {
      EXPECT_EQ(info->computer, c.computer) << args;
    }
  }
}

TEST(TableMessages, ATableNameIsCleanedAndCutToItsCharacters) {
  EXPECT_EQ(cleanTableName("  Ann's table \n"), "Ann's table");
  EXPECT_EQ(cleanTableName("A+B\x01"),
            "A\xEF\xBC\x8B"
            "B");
  EXPECT_EQ(cleanTableName(" \t "), "");
  // 41 two-byte characters keep 40, never half of one.
  std::string long_;
  for (int i = 0; i < 41; ++i) long_ += "\xC3\xA9";
  EXPECT_EQ(cleanTableName(long_), long_.substr(0, 80));
}

template <typename Message>
void expectRoundTrip(const std::string& bytes, std::optional<Message> (*read)(std::string_view),
                     const Message& expected) {
  const std::optional<Message> back = read(argsOf(bytes));
  ASSERT_TRUE(back.has_value()) << bytes;
  EXPECT_TRUE(*back == expected) << bytes;
}

TEST(TableMessages, ReadBackAsBuilt) {
  expectRoundTrip(to_players::tableinfo(sample()), to_players::parseTableInfo, sample());
  expectRoundTrip(to_directory::registertable({1, sample()}), to_directory::parseRegisterTable,
                  TableRegistration{1, sample()});
  expectRoundTrip(to_directory::withdrawtable({65535}), to_directory::parseWithdrawTable,
                  TablePort{65535});
  expectRoundTrip(from_directory::registered({"::1", 7772}), from_directory::parseRegistered,
                  TableAddress{"::1", 7772});
  expectRoundTrip(from_directory::refused({0, "why"}), from_directory::parseRefused,
                  Refusal{0, "why"});
  expectRoundTrip(from_directory::listedtable({"127.0.0.1", 9, sample()}),
                  from_directory::parseListedTable, ListedTable{"127.0.0.1", 9, sample()});
  // An empty directory's list ends too.
  for (const int count : {0, 10000})
    expectRoundTrip(from_directory::tablelistend({count}), from_directory::parseTableListEnd,
                    TableCount{count});
  EXPECT_TRUE(to_server::parseTableInfoRequest(argsOf(to_server::tableinfo())));
  EXPECT_TRUE(to_directory::parseTableList(argsOf(to_directory::tablelist())));
}

// Names come from players and hosts: whatever they hold, the message keeps its fields and
// reads back as the cleaned text.
TEST(TableMessages, FreeTextsAreCleanedSoTheyReadBack) {
  TableInfo info = sample();
  info.name = "A+B\tclub\x7F";
  info.seats[0] = "Ann+" + std::string(100, 'x');
  info.seats[1] = std::string(62, 'y') + "\xC3\xA9";  // é ends at byte 64: kept
  info.seats[2] = std::string(63, 'z') + "\xC3\xA9";  // é would cross byte 64: dropped whole
  info.seats[3] = "Bo\xFF";
  const auto back = to_players::parseTableInfo(argsOf(to_players::tableinfo(info)));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->name,
            "A\xEF\xBC\x8B"
            "B club ");
  EXPECT_EQ(back->seats[0], "Ann\xEF\xBC\x8B" + std::string(58, 'x'));
  EXPECT_EQ(back->seats[1], info.seats[1]);
  EXPECT_EQ(back->seats[2], std::string(63, 'z'));
  EXPECT_EQ(back->seats[3], "Bo ");
  EXPECT_EQ(cleanText(std::string(500, 'n'), kMaxTableNameBytes).size(), kMaxTableNameBytes);
  const auto refusal = from_directory::parseRefused(
      argsOf(from_directory::refused({1, "a\nb+" + std::string(300, 'r')})));
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->reason.size(), kMaxReasonBytes);
  EXPECT_EQ(refusal->reason.substr(0, 6), "a b\xEF\xBC\x8B");
}

// A text too long is cut before the character that crosses its bound, whatever its length in
// UTF-8 and wherever it starts, so what is sent is never half a character.
TEST(TableMessages, AFreeTextIsCutBeforeTheCharacterThatCrossesItsBound) {
  constexpr std::size_t kBound = 8;
  for (const std::string character : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
    const std::string fits = std::string(kBound - character.size(), 'x') + character;
    EXPECT_EQ(cleanText(fits + "y", kBound), fits);
    for (std::size_t start = kBound - character.size() + 1; start < kBound; ++start) {
      const std::string before(start, 'x');
      EXPECT_EQ(cleanText(before + character + "yyyy", kBound), before)
          << character.size() << "-byte character at byte " << start;
    }
  }
}

TEST(TableMessages, ReadersRefuseFieldsOutOfFormOrRange) {
  const std::string seats = "+Ann+Tobo++Cy+";
  const std::string good = "Club+1.0.15+playing+300+60+2" + seats;
  ASSERT_TRUE(to_players::parseTableInfo(good));
  struct Case {
    const char* what;
    bool reads;
  };
  using to_players::parseTableInfo;
  const Case cases[] = {
      {"state", parseTableInfo("Club+1.0.15+Playing+300+60+2" + seats).has_value()},
      {"play-to negative", parseTableInfo("Club+1.0.15+waiting+-1+60+2" + seats).has_value()},
      {"seconds too many", parseTableInfo("Club+1.0.15+waiting+0+3601+2" + seats).has_value()},
      {"spectators 100", parseTableInfo("Club+1.0.15+waiting+0+0+100" + seats).has_value()},
      {"three seats", parseTableInfo("Club+1.0.15+waiting+0+0+0+Ann+Bo+Cy").has_value()},
      {"name too long",
       parseTableInfo(std::string(161, 'n') + "+1.0.15+waiting+0+0+0" + seats).has_value()},
      {"version too long",
       parseTableInfo("Club+" + std::string(17, '1') + "+waiting+0+0+0" + seats).has_value()},
      {"control byte in a name",
       parseTableInfo("Cl\x01ub+1.0.15+waiting+0+0+0" + seats).has_value()},
      {"seat too long",
       parseTableInfo("Club+1.0.15+waiting+0+0+0+" + std::string(65, 's') + "+++").has_value()},
      {"port 0", to_directory::parseRegisterTable("0+" + good).has_value()},
      {"port 65536", to_directory::parseRegisterTable("65536+" + good).has_value()},
      {"withdraw no port", to_directory::parseWithdrawTable("").has_value()},
      {"address a name", from_directory::parseListedTable("example.org+7772+" + good).has_value()},
      {"address with scope",
       from_directory::parseListedTable("fe80::1%eth0+7772+" + good).has_value()},
      {"address with port", from_directory::parseRegistered("10.0.0.1:80+7772").has_value()},
      {"address empty", from_directory::parseRegistered("+7772").has_value()},
      {"reason control byte", from_directory::parseRefused("0+a\rb").has_value()},
      {"count negative", from_directory::parseTableListEnd("-1+").has_value()},
  };
  for (const Case& c : cases) EXPECT_FALSE(c.reads) << c.what;
  // Fields a later version adds after these are ignored.
  EXPECT_TRUE(parseTableInfo(good + "+more+fields"));
}

TEST(HostPort, ReadsWhatAUserWrites) {
  struct Case {
    const char* text;
    std::optional<HostPort> expected;
  };
  const Case cases[] = {
      {"dir.example.org", HostPort{"dir.example.org", 7771}},
      {"dir.example.org:7000", HostPort{"dir.example.org", 7000}},
      {"10.0.0.5:1", HostPort{"10.0.0.5", 1}},
      {"[2001:db8::1]:65535", HostPort{"2001:db8::1", 65535}},
      {"[::1]", HostPort{"::1", 7771}},
      {"2001:db8::1", HostPort{"2001:db8::1", 7771}},
      {"", std::nullopt},
      {"host:", std::nullopt},
      {"host:0", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:-5", std::nullopt},
      {"host:80x", std::nullopt},
      {":80", std::nullopt},
      {"[10.0.0.1]:80", std::nullopt},
      {"[::1]80", std::nullopt},
      {"[::1]#7000", std::nullopt},
      {"[::1", std::nullopt},
      {"two words", std::nullopt},
      {"dir+evil.example.org", std::nullopt},  // '+' parts the fields of a message
      {"dir/x.example.org", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parseHostPort(c.text, 7771), c.expected) << c.text;
  EXPECT_EQ(hostPortText({"2001:db8::1", 7000}), "[2001:db8::1]:7000");
  EXPECT_EQ(hostPortText({"dir.example.org", 7771}), "dir.example.org:7771");
}

}  // namespace
}  // namespace zp::net
