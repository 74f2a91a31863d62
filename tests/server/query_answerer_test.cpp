// Which questions from the local network a table answers: the rules that keep it from being
// turned into an amplifier, driven with made-up senders and a made-up clock.
#include "server/query_answerer.h"

#include <gtest/gtest.h>

#include <vector>

namespace zp::server {
namespace {

using net::IpAddress;
using net::IpNetwork;

const std::string kIdentity = "00000000000000aa";

IpAddress ip(const char* text) {
  return IpAddress::parse(text).value();
}

// This computer: a LAN, the loopback network and a link-local IPv6 address on interface 2.
const std::vector<IpNetwork> kAttached = {
    {ip("10.77.1.11"), 24}, {ip("127.0.0.1"), 8}, {ip("::1"), 128}, {ip("fe80::11%2"), 64}};

net::TableInfo info() {
  return {"Table A", "1.0.15", false, 0, 0, 0, {"Ann", "", "", ""}, std::nullopt};
}

std::string query(std::uint64_t n) {
  return net::local_network::findtables({net::local_network::tokenText(n)});
}

TEST(QueryAnswerer, AnswersALocalAskerWithNoMoreThanItAsked) {
  int built = 0;
  QueryAnswerer answerer(kIdentity, 7800, [&] {
    ++built;
    return info();
  });
  for (const char* from : {"10.77.1.13", "127.0.0.1", "::1", "fe80::13%2", "::ffff:10.77.1.99"}) {
    const std::string asked = query(7);
    const auto answer = answerer.answer(ip(from), 40000, asked, kAttached, 0);
    ASSERT_TRUE(answer.has_value()) << from;
    EXPECT_LE(answer->size(), asked.size());
    EXPECT_EQ(net::local_network::parseFoundTable(*answer),
              (net::FoundTable{net::local_network::tokenText(7), kIdentity, 7800, info()}));
  }
  EXPECT_EQ(built, 5);
  EXPECT_EQ(answerer.counts().answered, 5u);
}

TEST(QueryAnswerer, SaysNothingToStrangersOrToWhatIsNoQuery) {
  int built = 0;
  QueryAnswerer answerer(kIdentity, 7800, [&] {
    ++built;
    return info();
  });
  struct Case {
    const char* what;
    const char* from;
    std::uint16_t port;
    std::string bytes;
  };
  std::string cut = query(1);
  cut.pop_back();
  const std::vector<Case> cases = {
      {"from the internet", "198.51.100.7", 40000, query(1)},
      {"from a private network elsewhere", "10.77.2.11", 40000, query(1)},
      {"from another unique local network", "fd00::1", 40000, query(1)},
      {"link-local on another interface", "fe80::13%5", 40000, query(1)},
      {"from a multicast address", "ff02::1", 40000, query(1)},
      {"from port 0", "10.77.1.13", 0, query(1)},
      {"cut short", "10.77.1.13", 40000, cut},
      {"an answer sent back", "10.77.1.13", 40000,
       net::local_network::foundtable({net::local_network::tokenText(1), kIdentity, 7800, info()})},
      {"a table's CMD_tableinfo", "10.77.1.13", 40000, net::to_server::tableinfo()},
  };
  for (const Case& c : cases)
    EXPECT_FALSE(answerer.answer(ip(c.from), c.port, c.bytes, kAttached, 0).has_value()) << c.what;
  EXPECT_EQ(built, 0);
  EXPECT_EQ(answerer.counts(), (QueryAnswerer::Counts{0, 4, 5, 0}));
  // Nobody on a network this computer has left is answered.
  EXPECT_FALSE(answerer.answer(ip("10.77.1.13"), 40000, query(1), {}, 0).has_value());
}

TEST(QueryAnswerer, AFloodIsAnsweredOnlyWithinTheAllowance) {
  QueryAnswerer answerer(kIdentity, 7800, info);
  // Ten thousand questions, each its own, spread over one second.
  int answered = 0;
  for (int i = 0; i < 10000; ++i) {
    const std::string asked = query(static_cast<std::uint64_t>(i));
    if (answerer.answer(ip("10.77.1.13"), 40000, asked, kAttached, i / 10)) ++answered;
  }
  EXPECT_EQ(answered, kAnswerBurst + 999 / kAnswerIntervalMs);
  EXPECT_EQ(answerer.counts().limited, static_cast<std::uint64_t>(10000 - answered));

  // A pause gives back the allowance, but never more than the burst.
  int later = 0;
  for (int i = 0; i < 3 * kAnswerBurst; ++i)
    if (answerer.answer(ip("10.77.1.13"), 40000, query(1), kAttached, 60'000)) ++later;
  EXPECT_EQ(later, kAnswerBurst);
  // The allowance is shared: another asker finds it spent.
  EXPECT_FALSE(answerer.answer(ip("10.77.1.14"), 40000, query(2), kAttached, 60'000));
  EXPECT_TRUE(
      answerer.answer(ip("10.77.1.14"), 40000, query(2), kAttached, 60'000 + kAnswerIntervalMs));
}

}  // namespace
}  // namespace zp::server
