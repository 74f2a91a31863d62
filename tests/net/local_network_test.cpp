// The question and answer that find tables on the local network, and the addresses they may
// come from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/catalogue.h"
#include "net/ip_address.h"

namespace zp::net {
namespace {

const std::string kToken = "0123456789abcdef";
const std::string kTable = "fedcba9876543210";

TableInfo sample() {
  return {"Club night",
          "1.0.15",
          true,
          300,
          60,
          2,
          {"Ann", "Tobo", "", "Cy"},
          ComputerStrength::Expert};
}

// The most a table can say: every free text at its bound, in characters that grow when cleaned.
TableInfo largest() {
  TableInfo info;
  info.name = std::string(kMaxTableNameBytes, '+');
  info.version = std::string(kMaxVersionBytes, '+');
  info.playing = true;
  info.playTo = kMaxPlayTo;
  info.seconds = kMaxSeconds;
  info.spectators = kMaxSpectators;
  for (std::string& seat : info.seats) seat = std::string(kMaxSeatNameBytes, '+');
  info.computer = ComputerStrength::Classic;  // the longest name of a strength
  return info;
}

TEST(LocalNetworkMessages, QueryIsPaddedToItsFixedLengthAndReadsBack) {
  const std::string query = local_network::findtables({kToken});
  EXPECT_EQ(query.size(), kLocalQueryBytes);
  EXPECT_EQ(query.substr(0, 32), "CMD_findtables+" + kToken + "+");
  EXPECT_EQ(query.back(), '\xFF');
  EXPECT_EQ(local_network::parseFindTables(query), TableQuery{kToken});
}

TEST(LocalNetworkMessages, AnswerReadsBackAndTheLargestFitsTheQuery) {
  const FoundTable found{kToken, kTable, 7772, sample()};
  const std::string answer = local_network::foundtable(found);
  EXPECT_EQ(answer, "CMD_foundtable+" + kToken + "+" + kTable +
                        "+7772+Club night+1.0.15+playing+300+60+2+Ann+Tobo++Cy+expert+\xFF");
  EXPECT_EQ(local_network::parseFoundTable(answer), found);

  const std::string biggest = local_network::foundtable({kToken, kTable, 65535, largest()});
  EXPECT_LE(biggest.size(), kLocalQueryBytes);
  const auto back = local_network::parseFoundTable(biggest);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->info.name.size(), kMaxTableNameBytes - kMaxTableNameBytes % 3);
}

TEST(LocalNetworkMessages, AnythingButAWholeQueryIsNoQuery) {
  const std::string query = local_network::findtables({kToken});
  auto edited = [&](std::size_t at, char c) {
    std::string q = query;
    q[at] = c;
    return q;
  };
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"one byte short", query.substr(0, query.size() - 2) + '\xFF'},
      {"one byte long", query.substr(0, query.size() - 1) + ".\xFF"},
      {"no terminator", query.substr(0, query.size() - 1) + "."},
      {"a terminator inside", edited(100, '\xFF')},
      {"upper-case token", edited(15, 'A')},
      {"a blank in the token", edited(20, ' ')},
      {"short token",
       "CMD_findtables+0123456789abcde+" + std::string(kLocalQueryBytes - 32, '.') + '\xFF'},
      {"other padding", edited(300, '-')},
      {"a field in the padding", edited(40, '+')},
      {"another command", "CMD_findtablez" + query.substr(14)},
      {"no padding", "CMD_findtables+" + kToken + '\xFF'},
      {"an answer", local_network::foundtable({kToken, kTable, 7772, sample()})},
  };
  for (const auto& [what, bytes] : cases)
    EXPECT_FALSE(local_network::parseFindTables(bytes).has_value()) << what;
}

TEST(LocalNetworkMessages, AnAnswerOutOfShapeIsRefused) {
  const std::string good = local_network::foundtable({kToken, kTable, 7772, sample()});
  const std::string body = good.substr(0, good.size() - 1);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"no terminator", body},
      {"a field more", body + "extra+\xFF"},
      {"longer than a query", body + std::string(kLocalQueryBytes, ' ') + '\xFF'},
      {"bad token", "CMD_foundtable+0123+" + good.substr(32)},
      {"bad identity", "CMD_foundtable+" + kToken + "+TABLE" + good.substr(48)},
      {"port 0", "CMD_foundtable+" + kToken + "+" + kTable + "+0+" + good.substr(54)},
      {"a query", local_network::findtables({kToken})},
  };
  for (const auto& [what, bytes] : cases)
    EXPECT_FALSE(local_network::parseFoundTable(bytes).has_value()) << what;

  // A word this lobby does not know where the strength goes reads, but never makes the answer
  // longer than the question.
  const std::string head = body.substr(0, body.size() - std::string("expert+").size());
  const auto answerOf = [&](std::size_t size) {
    return head + std::string(size - head.size() - 2, 'z') + "+\xFF";
  };
  EXPECT_TRUE(local_network::parseFoundTable(answerOf(kLocalQueryBytes)).has_value());
  EXPECT_FALSE(local_network::parseFoundTable(answerOf(kLocalQueryBytes + 1)).has_value());
}

TEST(LocalNetworkMessages, TokensAreSixteenHexDigits) {
  EXPECT_EQ(local_network::tokenText(0), "0000000000000000");
  EXPECT_EQ(local_network::tokenText(0xFEDCBA9876543210ULL), kTable);
  EXPECT_TRUE(local_network::isToken(kToken));
  EXPECT_FALSE(local_network::isToken("0123456789ABCDEF"));
  EXPECT_FALSE(local_network::isToken("0123456789abcdef0"));
}

IpAddress ip(const char* text) {
  const auto address = IpAddress::parse(text);
  EXPECT_TRUE(address.has_value()) << text;
  return address.value_or(IpAddress{});
}

TEST(IpAddresses, ReadAndWriteTheirText) {
  EXPECT_EQ(ip("10.77.1.11"), IpAddress::v4(10, 77, 1, 11));
  EXPECT_EQ(ip("10.77.1.11").text(), "10.77.1.11");
  EXPECT_EQ(ip("fe80::1%3").scope, 3u);
  EXPECT_EQ(ip("fe80::1%3").text(), "fe80::1%3");
  EXPECT_EQ(unmapped(ip("::ffff:192.168.1.20")), IpAddress::v4(192, 168, 1, 20));
  for (const char* bad : {"", "10.77.1", "10.77.1.256", "10.0.0.1%2", "fe80::1%", "fe80::1%eth0",
                          "host.example", "[::1]"})
    EXPECT_FALSE(IpAddress::parse(bad).has_value()) << bad;
}

TEST(IpAddresses, OnlyLocalSendersMayAskOrAnswer) {
  struct Case {
    const char* address;
    bool local;
  };
  const Case cases[] = {
      {"10.1.2.3", true},        {"172.16.0.1", true},
      {"172.31.255.255", true},  {"172.32.0.1", false},
      {"192.168.1.20", true},    {"192.169.1.20", false},
      {"169.254.10.1", true},    {"127.0.0.1", true},
      {"127.8.9.10", true},      {"198.51.100.7", false},
      {"8.8.8.8", false},        {"100.64.0.1", false},
      {"fe80::1%2", true},       {"fd12:3456::1", true},
      {"fc00::1", true},         {"::1", true},
      {"2001:db8::1", false},    {"ff02::1", false},
      {"::ffff:10.0.0.1", true}, {"::ffff:203.0.113.5", false},
      // Link-local is fe80::/10, through febf; fec0:: is past it. Mapped loopback is loopback.
      {"febf::1%2", true},       {"fec0::1", false},
      {"::ffff:127.0.0.1", true},
  };
  for (const Case& c : cases) EXPECT_EQ(isLocalNetworkAddress(ip(c.address)), c.local) << c.address;
}

TEST(IpAddresses, ANetworkHoldsItsOwnAddressesAlone) {
  const IpNetwork lan{ip("10.77.1.11"), 24};
  EXPECT_TRUE(contains(lan, ip("10.77.1.200")));
  EXPECT_TRUE(contains(lan, ip("::ffff:10.77.1.13")));
  EXPECT_FALSE(contains(lan, ip("10.77.2.11")));
  EXPECT_FALSE(contains(lan, ip("fe80::1")));
  const IpNetwork odd{ip("172.20.5.1"), 20};
  EXPECT_TRUE(contains(odd, ip("172.20.15.255")));
  EXPECT_FALSE(contains(odd, ip("172.20.16.0")));
  const IpNetwork loopback{ip("127.0.0.1"), 8};
  EXPECT_TRUE(contains(loopback, ip("127.0.0.1")));
  EXPECT_FALSE(contains(IpNetwork{ip("10.0.0.1"), 33}, ip("10.0.0.1")));
  // A point-to-point link (/32, /128) holds its one address.
  EXPECT_TRUE(contains(IpNetwork{ip("10.0.0.1"), 32}, ip("10.0.0.1")));
  EXPECT_FALSE(contains(IpNetwork{ip("10.0.0.1"), 32}, ip("10.0.0.2")));
  EXPECT_TRUE(contains(IpNetwork{ip("2001:db8::1"), 128}, ip("2001:db8::1")));
  // A link-local sender belongs to the link it came in on.
  const IpNetwork link{ip("fe80::aa%2"), 64};
  EXPECT_TRUE(contains(link, ip("fe80::bb%2")));
  EXPECT_FALSE(contains(link, ip("fe80::bb%3")));
  EXPECT_FALSE(contains(link, ip("fe81::bb%2")));
}

}  // namespace
}  // namespace zp::net
