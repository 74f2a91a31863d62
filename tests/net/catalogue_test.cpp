#include "net/catalogue.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "net/dispatch.h"
#include "net/framing.h"
#include "tests/net/message_text.h"

namespace zp::net {
namespace {

using testing::argsOf;
using testing::framed;

TEST(CatalogueToServer, BuildsEachRequestByteForByte) {
  EXPECT_EQ(to_server::logininfo({3, "1.0.15", "Ann+Bo"}),
            framed("CMD_logininfo+3+1.0.15+Ann+Bo") + '\xFF');
  EXPECT_EQ(to_server::kickhim({1, 4}), framed("CMD_kickhim+1+4+"));
  EXPECT_EQ(to_server::chat({2, "hi + bye|clNavy"}), framed("CMD_chat+2+hi + bye|clNavy"));
  EXPECT_EQ(to_server::action({2, "says: hello|clRed"}), framed("CMD_action+2+says: hello|clRed"));
  EXPECT_EQ(to_server::startgame({"Ann", 500, 60, true, 3}),
            framed("CMD_startgame+Ann+500+60+t+3+"));
  EXPECT_EQ(to_server::justwatch({3, 1}), framed("CMD_justwatch+3+1"));
  EXPECT_EQ(to_server::playerdone({1, {{3, 0}, {3, 1}, {2, 2}}}),
            framed("CMD_playerdone+1+1+3+0+2+3+1+3+2+2"));
  EXPECT_EQ(to_server::direction({1, 4}), framed("CMD_direction+1+4+"));
  EXPECT_EQ(to_server::selectletter({1, 2, {6, 0}}), framed("CMD_selectletter+1+2+6+0+"));
  EXPECT_EQ(to_server::selectclear({1}), framed("CMD_selectclear+1+"));
  EXPECT_EQ(to_server::clearletter({1, 2}), framed("CMD_clearletter+1+2+"));
  EXPECT_EQ(to_server::shuffle({4}), framed("CMD_shuffle+4+"));
  EXPECT_EQ(to_server::playasound({2, "wave5"}), framed("CMD_playasound+2+wave5+"));
}

TEST(CatalogueToPlayers, BuildsEachAnnouncementByteForByte) {
  EXPECT_EQ(to_players::sendlogininfo({7}), framed("CMD_sendlogininfo+7"));
  EXPECT_EQ(to_players::chat({2, "Bo chats: a+b|clBlack"}),
            framed("CMD_chat+2+Bo chats: a+b|clBlack"));
  EXPECT_EQ(to_players::action({2, "Bo waves|clBlack"}), framed("CMD_action+2+Bo waves|clBlack"));
  EXPECT_EQ(to_players::newplayerinfo({2, "Bo"}), framed("CMD_newplayerinfo+2+Bo"));
  EXPECT_EQ(to_players::havewrongversion({"Bo"}), framed("CMD_havewrongversion+Bo"));
  EXPECT_EQ(to_players::wrongversion(), framed("CMD_wrongversion+"));
  EXPECT_EQ(to_players::existingplayers({1, "Ann"}), framed("CMD_existingplayers+1+Ann"));
  EXPECT_EQ(to_players::playerdisconnected({3, "Cy"}), framed("CMD_playerdisconnected+3+Cy"));
  EXPECT_EQ(to_players::startgame({"Ann", 100, 30, false, 0}),
            framed("CMD_startgame+Ann+100+30+f+0+"));
  EXPECT_EQ(to_players::nextplayer({2, 1}), framed("CMD_nextplayer+2+1+"));
  EXPECT_EQ(to_players::winner({"Team A"}), framed("CMD_winner+Team A+"));
  EXPECT_EQ(to_players::full(), framed("CMD_full+"));
  EXPECT_EQ(to_players::justwatching({4, 2}), framed("CMD_justwatching+4+2"));
  EXPECT_EQ(to_players::notvalid({1, "QZX"}), framed("CMD_notvalid+1+QZX+"));
  EXPECT_EQ(to_players::madeword({1, "AT", 8, 20, 20, 5, {{0, 6}, {1, 5}}}),
            framed("CMD_madeword+1+AT+8+20+20+5+0+6+1+5"));
  EXPECT_EQ(to_players::timeup(), framed("CMD_timeup+"));
  EXPECT_EQ(to_players::gamestats({2, 300, 60, 17, true, {10, 20, 30, 40}, 40, 60}),
            framed("CMD_gamestats+2+300+60+17+t+10+20+30+40+40+60+"));
  EXPECT_EQ(to_players::selectletter({1, 1, {3, 3}}), framed("CMD_selectletter+1+1+3+3+"));
  EXPECT_EQ(to_players::selectclear({1}), framed("CMD_selectclear+1+"));
  EXPECT_EQ(to_players::moving({3}), framed("CMD_moving+3+"));
  EXPECT_EQ(to_players::clearletter({1, 3}), framed("CMD_clearletter+1+3+"));
  EXPECT_EQ(to_players::useshuffle({1, 0, 94}), framed("CMD_useshuffle+1+0+94+"));
  EXPECT_EQ(to_players::shufflesl({{1, 0, 2, 3}}), framed("CMD_shufflesl+1+0+2+3+"));
  EXPECT_EQ(to_players::bonus({1, 20}), framed("CMD_bonus+1+20+"));
  EXPECT_EQ(to_players::playasound({3, "wave12"}), framed("CMD_playasound+3+wave12+"));
}

TheBoard countingBoard() {
  TheBoard board;
  for (std::size_t i = 0; i < board.codes.size(); ++i)
    board.codes[i] = 1 + static_cast<int>(i % 27);
  return board;
}

TEST(CatalogueToPlayers, TheBoardHolds49TriplesColumnByColumn) {
  const std::string message = to_players::theboard(countingBoard());
  EXPECT_EQ(message.rfind("CMD_theboard+0+0+1+0+1+2+0+2+3+", 0), 0u);
  EXPECT_NE(message.find("+6+6+22\xFF"), std::string::npos);
  EXPECT_EQ(std::count(message.begin(), message.end(), '+'), 147);
}

// The argument text of the first message in `bytes`, as the dispatcher hands it over.

template <typename Message>
void expectRoundTrip(const std::string& bytes, std::optional<Message> (*read)(std::string_view),
                     const Message& sent) {
  const std::optional<Message> back = read(argsOf(bytes));
  ASSERT_TRUE(back.has_value()) << bytes;
  EXPECT_TRUE(*back == sent) << bytes;
}

TEST(CatalogueRoundTrip, EveryRequestReadsBackAsBuilt) {
  using namespace to_server;
  expectRoundTrip(logininfo({3, "1.0.15", "Ann+Bo"}), parseLoginInfo,
                  LoginInfo{3, "1.0.15", "Ann+Bo"});
  expectRoundTrip(kickhim({1, 9}), parseKickHim, KickHim{1, 9});
  expectRoundTrip(chat({2, "a+b|clRed"}), parseChat, ChatLine{2, "a+b|clRed"});
  expectRoundTrip(action({9, "waves|$00FF8000"}), parseChat, ChatLine{9, "waves|$00FF8000"});
  expectRoundTrip(startgame({"Ann", 10000, 120, true, 5}), parseStartGame,
                  GameOptions{"Ann", 10000, 120, true, 5});
  expectRoundTrip(justwatch({4, 2}), parseJustWatch, WatchMode{4, 2});
  const PlayerDone seven{1, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}};
  expectRoundTrip(playerdone(seven), parsePlayerDone, seven);
  expectRoundTrip(playerdone({2, {{6, 0}}}), parsePlayerDone, PlayerDone{2, {{6, 0}}});
  expectRoundTrip(direction({3, 4}), parseDirection, DirectionChoice{3, 4});
  expectRoundTrip(selectletter({1, 7, {6, 6}}), parseSelectLetter, SelectLetter{1, 7, {6, 6}});
  expectRoundTrip(selectclear({4}), parseSelectClear, PlayerNumber{4});
  expectRoundTrip(clearletter({1, 1}), parseClearLetter, ClearLetter{1, 1});
  expectRoundTrip(shuffle({2}), parseShuffle, PlayerNumber{2});
  expectRoundTrip(playasound({3, "wave20"}), parsePlayASound, PlayASound{3, "wave20"});
}

TEST(CatalogueRoundTrip, EveryAnnouncementReadsBackAsBuilt) {
  using namespace to_players;
  expectRoundTrip(sendlogininfo({9}), parseSendLoginInfo, PlayerNumber{9});
  // The colour token is a field of its own: the text after the last "|", none without one.
  expectRoundTrip(chat({3, "Ann chats: a|b :)#12|clNavy"}), parseChat,
                  ReceivedChat{3, "Ann chats: a|b :)#12", "clNavy"});
  expectRoundTrip(action({1, "Ann waves"}), parseChat, ReceivedChat{1, "Ann waves", ""});
  expectRoundTrip(action({1, "Ann waves|"}), parseChat, ReceivedChat{1, "Ann waves", ""});
  expectRoundTrip(newplayerinfo({6, "Bob+1"}), parsePlayerInfo, PlayerInfo{6, "Bob+1"});
  expectRoundTrip(existingplayers({1, "Ann"}), parsePlayerInfo, PlayerInfo{1, "Ann"});
  expectRoundTrip(playerdisconnected({2, "Tobo"}), parsePlayerInfo, PlayerInfo{2, "Tobo"});
  expectRoundTrip(havewrongversion({"Cy"}), parseHaveWrongVersion, NameOnly{"Cy"});
  expectRoundTrip(wrongversion(), parseNoFields, NoFields{});
  expectRoundTrip(full(), parseNoFields, NoFields{});
  expectRoundTrip(timeup(), parseNoFields, NoFields{});
  expectRoundTrip(startgame({"Ann", 100, 30, false, 0}), parseStartGame,
                  GameOptions{"Ann", 100, 30, false, 0});
  expectRoundTrip(nextplayer({4, 3}), parseNextPlayer, NextPlayer{4, 3});
  expectRoundTrip(winner({"Team B"}), parseWinner, NameOnly{"Team B"});
  expectRoundTrip(justwatching({2, 1}), parseJustWatching, WatchMode{2, 1});
  expectRoundTrip(theboard(countingBoard()), parseTheBoard, countingBoard());
  expectRoundTrip(notvalid({1, "QZX"}), parseNotValid, NotValid{1, "QZX"});
  const MadeWord made{2, "STORM", 15, 115, 40, 115, {{3, 0}, {3, 1}, {2, 2}, {3, 3}, {4, 4}}};
  expectRoundTrip(madeword(made), parseMadeWord, made);
  const GameStats stats{0, 300, 60, -1, true, {10, 20, 30, 40}, 40, 60};
  expectRoundTrip(gamestats(stats), parseGameStats, stats);
  expectRoundTrip(selectletter({2, 3, {0, 6}}), parseSelectLetter, SelectLetter{2, 3, {0, 6}});
  expectRoundTrip(selectclear({3}), parseSelectClear, PlayerNumber{3});
  expectRoundTrip(moving({2}), parseMoving, Moving{2});
  expectRoundTrip(clearletter({1, 7}), parseClearLetter, ClearLetter{1, 7});
  expectRoundTrip(useshuffle({1, 0, 94}), parseUseShuffle, UseShuffle{1, 0, 94});
  expectRoundTrip(shufflesl({{5, 0, 2, 100}}), parseShufflesLeft, ShufflesLeft{{5, 0, 2, 100}});
  expectRoundTrip(bonus({3, 20}), parseBonus, Bonus{3, 20});
  expectRoundTrip(playasound({1, "wave7"}), parsePlayASound, PlayASound{1, "wave7"});
}

// Each of these would put a value from the network where no table has room for it.
TEST(CatalogueReaders, RefuseFieldsOutOfFormOrRange) {
  struct Case {
    const char* what;
    bool reads;
  };
  using namespace to_players;
  const Case cases[] = {
      {"player 0", parseSendLoginInfo("0").has_value()},
      {"player 10", parsePlayerInfo("10+Ann").has_value()},
      {"player with blank", parsePlayerInfo(" 3+Ann").has_value()},
      {"nextplayer spectator", parseNextPlayer("5+1+").has_value()},
      {"nextplayer no shuffles field", parseNextPlayer("1").has_value()},
      {"slot 0", parseSelectLetter("1+0+3+3+").has_value()},
      {"slot 8", parseClearLetter("1+8+").has_value()},
      {"column 7", parseSelectLetter("1+1+7+3+").has_value()},
      {"row -1", parseSelectLetter("1+1+3+-1+").has_value()},
      {"direction 0", parseMoving("0+").has_value()},
      {"direction 5", parseMoving("5+").has_value()},
      {"flag x", parseStartGame("Ann+100+30+x+1+").has_value()},
      {"madeword without tiles", parseMadeWord("1+A+1+1+1+0").has_value()},
      {"madeword eight tiles",
       parseMadeWord("1+A+1+1+1+0+0+0+0+1+0+2+0+3+0+4+0+5+0+6+1+0").has_value()},
      {"madeword half a cell", parseMadeWord("1+A+1+1+1+0+3").has_value()},
      {"gamestats turn of a spectator", parseGameStats("5+1+60+3+f+0+0+0+0+0+0+").has_value()},
      {"shuffle counts three", parseShufflesLeft("1+1+1").has_value()},
      {"request path index skips", to_server::parsePlayerDone("1+1+3+3+3+3+4").has_value()},
      {"request path of eight",
       to_server::parsePlayerDone("1+1+0+0+2+0+1+3+0+2+4+0+3+5+0+4+6+0+5+7+0+6+8+1+0").has_value()},
      {"request watch mode 3", to_server::parseJustWatch("1+3").has_value()},
      {"request seconds 0", to_server::parseStartGame("Ann+100+0+f+1+").has_value()},
  };
  for (const Case& c : cases) EXPECT_FALSE(c.reads) << c.what;
}

// Every reader that takes a cell, given a message whose second tile is `cell`.
TEST(CatalogueReaders, EveryReaderThatTakesACellRefusesOneOffTheBoard) {
  const auto second = [](Cell cell) { return std::vector<Cell>{{3, 3}, cell}; };
  const struct {
    const char* reader;
    std::function<bool(Cell)> reads;
  } readers[] = {
      {"playerdone",
       [&](Cell c) {
         return to_server::parsePlayerDone(argsOf(to_server::playerdone({1, second(c)})))
             .has_value();
       }},
      {"selectletter to the table",
       [](Cell c) {
         return to_server::parseSelectLetter(argsOf(to_server::selectletter({1, 2, c})))
             .has_value();
       }},
      {"selectletter to players",
       [](Cell c) {
         return to_players::parseSelectLetter(argsOf(to_players::selectletter({1, 2, c})))
             .has_value();
       }},
      {"madeword",
       [&](Cell c) {
         return to_players::parseMadeWord(
                    argsOf(to_players::madeword({1, "AB", 2, 2, 0, 0, second(c)})))
             .has_value();
       }},
      {"theboard",
       [](Cell c) {
         // The board's second group names cell (0, 1).
         std::string args = argsOf(to_players::theboard(countingBoard()));
         args.replace(args.find("+0+1+"), 5,
                      "+" + std::to_string(c.a) + "+" + std::to_string(c.b) + "+");
         return to_players::parseTheBoard(args).has_value();
       }},
  };
  const struct {
    const char* what;
    Cell cell;
  } offBoard[] = {
      {"row 7", {3, 7}}, {"column 7", {7, 3}}, {"row -1", {3, -1}}, {"column -1", {-1, 3}}};
  for (const auto& r : readers) {
    const Cell onBoard = std::string_view(r.reader) == "theboard" ? Cell{0, 1} : Cell{3, 4};
    EXPECT_TRUE(r.reads(onBoard)) << r.reader;
    for (const auto& off : offBoard)
      EXPECT_FALSE(r.reads(off.cell)) << r.reader << ", " << off.what;
  }
}

TEST(CatalogueReaders, TheBoardMustBeExactly49GroupsInOrder) {
  const std::string good = argsOf(to_players::theboard(countingBoard()));
  ASSERT_TRUE(to_players::parseTheBoard(good));
  EXPECT_TRUE(to_players::parseTheBoard(good + "+")) << "one empty field after it is ignored";
  EXPECT_FALSE(to_players::parseTheBoard(good + "+7")) << "one field that is not empty";
  EXPECT_FALSE(to_players::parseTheBoard(good + "+0+0+1")) << "a fiftieth group";
  EXPECT_FALSE(to_players::parseTheBoard(good.substr(0, good.rfind("+6+6+")))) << "48 groups";
  std::string swapped = good;
  swapped.replace(0, 5, "0+1+1");  // the first group names the second cell
  EXPECT_FALSE(to_players::parseTheBoard(swapped));
  std::string blank = good;
  blank.replace(4, 1, "0");  // letter code 0 is never sent
  EXPECT_FALSE(to_players::parseTheBoard(blank));
  std::string outOfRange = good;
  outOfRange.replace(4, 1, "28");
  EXPECT_FALSE(to_players::parseTheBoard(outOfRange));
}

TEST(CatalogueReaders, IgnoreWhatFollowsTheLastField) {
  EXPECT_EQ(to_players::parseNextPlayer("2+1+whatever"), (NextPlayer{2, 1}));
  EXPECT_EQ(to_players::parseWinner("Ann+"), NameOnly{"Ann"});
  // The last field of a chat holds everything, "+" included.
  EXPECT_EQ(to_players::parseChat("2+a+b+"), (ReceivedChat{2, "a+b+", ""}));
  EXPECT_FALSE(to_players::parseChat("2")) << "no text field at all";
}

TEST(CatalogueReaders, ChatLinesTheTableCanRelayAndItsOwnLines) {
  const std::string longest(kMaxChatTextBytes, 'x');
  EXPECT_EQ(to_server::parseChat("9+" + longest), (ChatLine{9, longest}));
  EXPECT_FALSE(to_server::parseChat("9+" + longest + "x")) << "its relay would be too long";
  EXPECT_FALSE(to_server::parseChat("0+hi")) << "a player never sends as the table";
  EXPECT_EQ(to_players::parseChat("0+slow down|clBlue"),
            (ReceivedChat{kTableLine, "slow down", "clBlue"}));
}

}  // namespace
}  // namespace zp::net
