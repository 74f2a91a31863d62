// The messages that bring a dropped player back to the seat.
#include <gtest/gtest.h>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "tests/net/message_text.h"

namespace zp::net {
namespace {

using testing::argsOf;
using testing::framed;

const std::string kToken = "0123456789abcdef0123456789abcdef";

TEST(RejoinMessages, BuildByteForByteAndReadBack) {
  EXPECT_EQ(to_server::goodbye({3}), framed("CMD_goodbye+3+"));
  EXPECT_EQ(to_players::goodbye({3}), framed("CMD_goodbye+3+"));
  EXPECT_EQ(to_server::rejoin({5, "1.0.15", kToken, "Ann+Bo"}),
            framed("CMD_rejoin+5+1.0.15+" + kToken + "+Ann+Bo"));
  EXPECT_EQ(to_players::rejointoken({2, kToken}), framed("CMD_rejointoken+2+" + kToken + "+"));
  EXPECT_EQ(to_players::away({4, 90}), framed("CMD_away+4+90+"));

  EXPECT_EQ(to_server::parseGoodbye(argsOf(to_server::goodbye({9}))), PlayerNumber{9});
  EXPECT_EQ(to_server::parseRejoin(argsOf(to_server::rejoin({5, "1.0.15", kToken, "Ann+Bo"}))),
            (Rejoin{5, "1.0.15", kToken, "Ann+Bo"}));
  // The name may be empty, as in a login; the table decides what to make of it.
  EXPECT_EQ(to_server::parseRejoin("1+1.0.15+" + kToken), (Rejoin{1, "1.0.15", kToken, ""}));
  EXPECT_EQ(to_players::parseRejoinToken(argsOf(to_players::rejointoken({1, kToken}))),
            (RejoinToken{1, kToken}));
  EXPECT_EQ(to_players::parseAway(argsOf(to_players::away({1, 0}))), (Away{1, 0}));
}

TEST(RejoinMessages, ReadersRefuseFieldsOutOfFormOrRange) {
  struct Case {
    const char* what;
    bool reads;
  };
  const std::string upper = "0123456789ABCDEF0123456789ABCDEF";
  const Case cases[] = {
      {"goodbye record 0", to_server::parseGoodbye("0+").has_value()},
      {"goodbye record 10", to_server::parseGoodbye("10+").has_value()},
      {"rejoin record 0", to_server::parseRejoin("0+1.0.15+" + kToken + "+Ann").has_value()},
      {"rejoin token short",
       to_server::parseRejoin("1+1.0.15+" + kToken.substr(1) + "+Ann").has_value()},
      {"rejoin token long", to_server::parseRejoin("1+1.0.15+" + kToken + "0+Ann").has_value()},
      {"rejoin token upper case", to_server::parseRejoin("1+1.0.15+" + upper + "+Ann").has_value()},
      {"rejoin token not hex",
       to_server::parseRejoin("1+1.0.15+" + std::string(32, 'g') + "+Ann").has_value()},
      {"rejoin no token", to_server::parseRejoin("1+1.0.15++Ann").has_value()},
      {"rejoin nothing after the record", to_server::parseRejoin("1").has_value()},
      {"token record 12", to_players::parseRejoinToken("12+" + kToken + "+").has_value()},
      {"token empty", to_players::parseRejoinToken("1++").has_value()},
      {"away negative", to_players::parseAway("1+-1+").has_value()},
      {"away too long", to_players::parseAway("1+86401+").has_value()},
      {"away no seconds", to_players::parseAway("1+").has_value()},
  };
  for (const Case& c : cases) EXPECT_FALSE(c.reads) << c.what;
  EXPECT_TRUE(isRejoinToken(kToken));
  EXPECT_FALSE(isRejoinToken(""));
}

}  // namespace
}  // namespace zp::net
