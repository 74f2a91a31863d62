#include "net/catalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

#include "net/dispatch.h"
#include "net/fields.h"

namespace zp::net {
namespace {

std::string framed(std::string text) {
  return text + '\xFF';
}

TEST(CatalogueToServer, BuildsEachRequestByteForByte) {
  EXPECT_EQ(to_server::logininfo(3, "1.0.15", "Ann+Bo"),
            framed("CMD_logininfo+3+1.0.15+Ann+Bo") + '\xFF');
  EXPECT_EQ(to_server::kickhim(1, 4), framed("CMD_kickhim+1+4+"));
  EXPECT_EQ(to_server::chat(2, "hi + bye|clNavy"), framed("CMD_chat+2+hi + bye|clNavy"));
  EXPECT_EQ(to_server::action(2, "says: hello|clRed"), framed("CMD_action+2+says: hello|clRed"));
  EXPECT_EQ(to_server::startgame({"Ann", 500, 60, true, 3}),
            framed("CMD_startgame+Ann+500+60+t+3+"));
  EXPECT_EQ(to_server::justwatch(3, 1), framed("CMD_justwatch+3+1"));
  const std::array<CellRef, 3> path{{{3, 0}, {3, 1}, {2, 2}}};
  EXPECT_EQ(to_server::playerdone(1, path), framed("CMD_playerdone+1+1+3+0+2+3+1+3+2+2"));
  EXPECT_EQ(to_server::direction(1, 4), framed("CMD_direction+1+4+"));
  EXPECT_EQ(to_server::selectletter(1, 2, 6, 0), framed("CMD_selectletter+1+2+6+0+"));
  EXPECT_EQ(to_server::selectclear(1), framed("CMD_selectclear+1+"));
  EXPECT_EQ(to_server::clearletter(1, 2), framed("CMD_clearletter+1+2+"));
  EXPECT_EQ(to_server::shuffle(4), framed("CMD_shuffle+4+"));
  EXPECT_EQ(to_server::playasound(2, "wave5"), framed("CMD_playasound+2+wave5+"));
}

TEST(CatalogueToPlayers, BuildsEachAnnouncementByteForByte) {
  EXPECT_EQ(to_players::sendlogininfo(7), framed("CMD_sendlogininfo+7"));
  EXPECT_EQ(to_players::chat(2, "Bo", "a+b|clBlack"), framed("CMD_chat+2+Bo chats: a+b|clBlack"));
  EXPECT_EQ(to_players::action(2, "Bo", "waves|clBlack"), framed("CMD_action+2+Bo waves|clBlack"));
  EXPECT_EQ(to_players::newplayerinfo(2, "Bo"), framed("CMD_newplayerinfo+2+Bo"));
  EXPECT_EQ(to_players::havewrongversion("Bo"), framed("CMD_havewrongversion+Bo"));
  EXPECT_EQ(to_players::wrongversion(), framed("CMD_wrongversion+"));
  EXPECT_EQ(to_players::existingplayers(1, "Ann"), framed("CMD_existingplayers+1+Ann"));
  EXPECT_EQ(to_players::playerdisconnected(3, "Cy"), framed("CMD_playerdisconnected+3+Cy"));
  EXPECT_EQ(to_players::startgame({"Ann", 100, 30, false, 0}),
            framed("CMD_startgame+Ann+100+30+f+0+"));
  EXPECT_EQ(to_players::nextplayer(2, 1), framed("CMD_nextplayer+2+1+"));
  EXPECT_EQ(to_players::winner("Team A"), framed("CMD_winner+Team A+"));
  EXPECT_EQ(to_players::full(), framed("CMD_full+"));
  EXPECT_EQ(to_players::justwatching(4, 2), framed("CMD_justwatching+4+2"));
  EXPECT_EQ(to_players::notvalid(1, "QZX"), framed("CMD_notvalid+1+QZX+"));
  const std::array<CellRef, 2> path{{{0, 6}, {1, 5}}};
  EXPECT_EQ(to_players::madeword(1, "AT", 8, 20, 20, 5, path),
            framed("CMD_madeword+1+AT+8+20+20+5+0+6+1+5"));
  EXPECT_EQ(to_players::timeup(), framed("CMD_timeup+"));
  GameStats stats{2, 300, 60, 17, true, {10, 20, 30, 40}, 40, 60};
  EXPECT_EQ(to_players::gamestats(stats), framed("CMD_gamestats+2+300+60+17+t+10+20+30+40+40+60+"));
  EXPECT_EQ(to_players::selectletter(1, 1, 3, 3), framed("CMD_selectletter+1+1+3+3+"));
  EXPECT_EQ(to_players::selectclear(1), framed("CMD_selectclear+1+"));
  EXPECT_EQ(to_players::moving(3), framed("CMD_moving+3+"));
  EXPECT_EQ(to_players::clearletter(1, 3), framed("CMD_clearletter+1+3+"));
  EXPECT_EQ(to_players::useshuffle(1, 0, 94), framed("CMD_useshuffle+1+0+94+"));
  const int left[4] = {1, 0, 2, 3};
  EXPECT_EQ(to_players::shufflesl(left), framed("CMD_shufflesl+1+0+2+3+"));
  EXPECT_EQ(to_players::bonus(1, 20), framed("CMD_bonus+1+20+"));
  EXPECT_EQ(to_players::playasound(3, "wave12"), framed("CMD_playasound+3+wave12+"));
}

TEST(CatalogueToPlayers, TheBoardHolds49TriplesColumnByColumn) {
  std::array<int, 49> codes;
  std::iota(codes.begin(), codes.end(), 1);
  const std::string message = to_players::theboard(codes);
  ASSERT_EQ(message.back(), '\xFF');
  ASSERT_EQ(message.rfind("CMD_theboard+0+0+1+0+1+2+", 0), 0u);
  const SplitMessage split = splitMessage(std::string_view(message).substr(0, message.size() - 1));
  FieldReader fields(split.args);
  std::vector<int> numbers;
  while (auto field = fields.next()) numbers.push_back(parseInt(*field).value_or(-99));
  ASSERT_EQ(numbers.size(), 147u);
  for (int a = 0; a < 7; ++a) {
    for (int b = 0; b < 7; ++b) {
      const auto at = static_cast<std::size_t>(3 * (a * 7 + b));
      EXPECT_EQ(numbers[at], a);
      EXPECT_EQ(numbers[at + 1], b);
      EXPECT_EQ(numbers[at + 2], a * 7 + b + 1);
    }
  }
}

}  // namespace
}  // namespace zp::net
