// The board as one player's window holds it: picks, falls, turns, results and the clock.
#include "client/board_play.h"

#include <gtest/gtest.h>

#include "records/tally_table.h"

namespace zp::board {
namespace {

using Lines = std::vector<std::string>;

class FakeContext : public BoardContext {
 public:
  int ownNumber() const override { return own; }
  bool loggedIn() const override { return own != 0; }
  bool host() const override { return isHost; }
  bool justWatching() const override { return watching; }
  void setJustWatching(bool on) override { watching = on; }
  TurnSound turnSound() const override { return sound; }
  bool postWordsInChat() const override { return postWords; }
  void send(std::string bytes) override {
    bytes.pop_back();
    sent.push_back(bytes);
  }
  void playsounds(std::string_view name) override { sounds.emplace_back(name); }
  void systemLine(std::string_view text) override { lines.emplace_back(text); }
  void messageBox(std::string_view text) override { boxes.emplace_back(text); }
  void loadchecklist() override {
    std::vector<std::string> others;
    for (const auto& name : seats) others.push_back(name);
    tallyTable.loadchecklist(others);
  }
  void showGameStart() override { ++gameStarts; }
  records::TallyTable& tally() override { return tallyTable; }

  int own = 1;
  bool isHost = false;
  bool watching = false;
  TurnSound sound = TurnSound::Classic;
  bool postWords = false;
  Lines sent, sounds, lines, boxes;
  std::vector<std::string> seats{"Bo"};
  int gameStarts = 0;
  records::TallyTable tallyTable;
};

// A board whose cell (a, b) holds letter 1 + (a + b) % 26, so every cell has a letter.
net::TheBoard fullBoard() {
  net::TheBoard board;
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) board.codes[cellIndex(a, b)] = 1 + (a + b) % 26;
  return board;
}

struct Table {
  Table() {
    play.seat(1).name = "Ann";
    play.seat(2).name = "Bo";
    play.theboard(fullBoard());
  }
  void click(int a, int b) { play.paintbox_boardMouseUp(false, 56 * a + 10, 56 * b + 30); }
  void myTurn(int shuffles = 1) { play.getnextplayer({ctx.own, shuffles}); }

  FakeContext ctx;
  BoardPlay play{ctx};
};

TEST(Selection, PicksMustTouchTheLastOneAndNeverRepeat) {
  Table t;
  t.myTurn();
  t.click(2, 3);  // the first pick may be any letter
  t.click(3, 4);  // a diagonal neighbour
  EXPECT_EQ(t.play.model().chosenCount(), 2);
  EXPECT_EQ(t.play.model().mark({2, 3}), kEarlierMark);
  EXPECT_EQ(t.play.model().mark({3, 4}), kLatestMark);
  EXPECT_EQ(t.play.model().slot(2).letter, 1 + 7 % 26);
  EXPECT_EQ(t.ctx.sent, (Lines{"CMD_selectletter+1+1+2+3+", "CMD_selectletter+1+2+3+4+"}));

  struct Bad {
    const char* what;
    Cell cell;
  };
  for (const Bad& bad : {Bad{"the last cell again", {3, 4}}, Bad{"an earlier cell", {2, 3}},
                         Bad{"not touching", {5, 5}}, Bad{"off the board", {-1, -1}}}) {
    t.ctx.sounds.clear();
    t.play.paintbox_boardMouseUp(false, bad.cell.a < 0 ? 500 : 56 * bad.cell.a,
                                 bad.cell.a < 0 ? 10 : 56 * bad.cell.b);
    EXPECT_EQ(t.play.view().status, "Invalid Selection") << bad.what;
    EXPECT_EQ(t.ctx.sounds, Lines{"badword"}) << bad.what;
    EXPECT_EQ(t.play.model().chosenCount(), 2) << bad.what;
  }
  for (Cell c : {Cell{4, 3}, Cell{5, 3}, Cell{6, 3}, Cell{6, 4}, Cell{6, 5}}) t.click(c.a, c.b);
  EXPECT_EQ(t.play.model().chosenCount(), 7);
  t.click(5, 6);  // an eighth
  EXPECT_EQ(t.play.model().chosenCount(), 7);
  EXPECT_EQ(t.play.view().status, "Invalid Selection");

  Table hole;
  net::TheBoard board = fullBoard();
  board.codes[cellIndex(0, 0)] = zp::kEmptyCode;
  hole.play.theboard(board);
  hole.myTurn();
  hole.click(0, 0);
  EXPECT_EQ(hole.play.model().chosenCount(), 0) << "an empty cell";
}

TEST(Selection, OnlyTheLastSlotTakesBackAndTheNextPickIsFreeAgain) {
  Table t;
  t.myTurn();
  t.click(0, 0);
  t.click(1, 1);
  t.play.image_letter1Click(1);  // not the last filled slot
  EXPECT_EQ(t.play.model().chosenCount(), 2);
  t.play.image_letter1Click(2);
  EXPECT_EQ(t.ctx.sent.back(), "CMD_clearletter+1+2+");
  EXPECT_EQ(t.play.model().mark({1, 1}), kNoMark);
  EXPECT_EQ(t.play.model().mark({0, 0}), kEarlierMark) << "the new last cell keeps its mark";
  t.play.image_letter1Click(1);
  EXPECT_TRUE(t.play.model().lastChosen().none());
  t.click(6, 6);  // far away: allowed with nothing chosen
  EXPECT_EQ(t.play.model().chosenCount(), 1);
}

TEST(Selection, DoneSubmitsThenClearsAndTheRightButtonDoesTheSame) {
  Table t;
  t.myTurn();
  t.click(2, 3);
  t.click(3, 3);
  t.click(3, 4);
  t.ctx.sent.clear();
  t.play.button_doneClick();
  EXPECT_EQ(t.ctx.sent, (Lines{"CMD_playerdone+1+1+2+3+2+3+3+3+3+4", "CMD_selectclear+1+"}));
  EXPECT_EQ(t.play.model().chosenCount(), 0);
  EXPECT_EQ(t.play.model().mark({3, 4}), kNoMark);
  EXPECT_EQ(t.play.model().slot(1).letter, 0);
  t.click(0, 0);
  t.play.paintbox_boardMouseUp(true, 0, 0);
  EXPECT_EQ(t.ctx.sent[3], "CMD_playerdone+1+1+0+0");
  t.ctx.sent.clear();
  t.play.button_doneClick();  // nothing chosen: nothing sent
  EXPECT_TRUE(t.ctx.sent.empty());
}

TEST(Selection, NothingWhenItIsAnothersTurnOrWhileJustWatching) {
  Table t;
  t.play.getnextplayer({2, 1});
  t.click(0, 0);
  t.play.paintbox_boardMouseUp(true, 0, 0);
  EXPECT_EQ(t.play.model().chosenCount(), 0);
  EXPECT_TRUE(t.ctx.sent.empty());
  t.myTurn();
  t.ctx.watching = true;
  t.click(0, 0);
  t.play.button_doneClick();
  t.play.button_shuffleClick();
  EXPECT_EQ(t.ctx.boxes, Lines(3, std::string(kJustWatchingBox)));
  EXPECT_TRUE(t.ctx.sent.empty());
}

TEST(OthersPicks, AreShownAndTheirOwnComeBackIgnored) {
  Table t;
  t.play.getnextplayer({2, 0});
  t.play.selectletter({2, 1, {4, 4}});
  t.play.selectletter({2, 2, {4, 5}});
  EXPECT_EQ(t.play.model().mark({4, 4}), kLatestMark) << "every picked cell shows the latest mark";
  EXPECT_EQ(t.play.model().slot(2).letter, 1 + 9 % 26);
  t.play.clearletter({2, 2});
  EXPECT_EQ(t.play.model().mark({4, 5}), kNoMark);
  EXPECT_EQ(t.play.model().slot(2).letter, 0);
  t.play.selectclear({2});
  EXPECT_EQ(t.play.model().mark({4, 4}), kNoMark);
  EXPECT_EQ(t.ctx.sounds.back(), "clear");
  t.play.selectletter({1, 1, {0, 0}});  // our own pick echoed back
  EXPECT_EQ(t.play.model().mark({0, 0}), kNoMark);
}

TEST(Turns, WhoseTurnDecidesButtonsStatusAndSound) {
  struct Case {
    int player, shuffles;
    TurnSound sound;
    const char* status;
    bool clear, shuffle;
    Lines sounds;
  };
  const Case cases[] = {
      {1, 1, TurnSound::Classic, "Your Turn", true, true, {"start"}},
      {1, 0, TurnSound::New, "Your Turn", true, false, {"turnnew"}},
      {1, 2, TurnSound::Default, "Your Turn", true, true, {"turn"}},
      {2, 3, TurnSound::Classic, "Bo's Turn", false, false, {}},
  };
  for (const Case& c : cases) {
    Table t;
    t.ctx.sound = c.sound;
    t.play.getnextplayer({c.player, c.shuffles});
    EXPECT_EQ(t.play.view().status, c.status);
    EXPECT_EQ(t.play.view().clearShown, c.clear);
    EXPECT_EQ(t.play.view().doneShown, c.clear);
    EXPECT_EQ(t.play.view().shuffleShown, c.shuffle);
    EXPECT_EQ(t.ctx.sounds, c.sounds);
    EXPECT_EQ(t.play.seat(c.player).gauge, c.shuffles);
    EXPECT_EQ(t.play.view().clock, 60);
    EXPECT_TRUE(t.play.view().clockRunning);
  }
}

TEST(Turns, AGameStartResetsTheTableAndSeatsTheComputer) {
  Table t;
  t.play.seat(2).name = std::string(kWaiting);
  t.play.startthegame({"Ann", 300, 45, true, 2});
  EXPECT_EQ(t.play.view().playToScore, "Play to Score: 300");
  EXPECT_EQ(t.play.view().timePerTurnCaption, "Time Per Turn: 45");
  EXPECT_EQ(t.play.view().team1, "Team A: 0 ");
  EXPECT_TRUE(t.play.view().teamsShown);
  EXPECT_TRUE(t.play.seat(4).teamColour);
  EXPECT_EQ(t.play.seat(3).gauge, 2);
  EXPECT_EQ(t.play.seat(2).name, "Tobo");
  EXPECT_EQ(t.ctx.lines, (Lines{"Ann has started a game.", "I am Tobo the bot. Good Luck!"}));
  // The next game without teams turns seats 2 and 4 black again; Tobo stays seated quietly.
  t.play.startthegame({"Ann", 300, 45, false, 0});
  EXPECT_FALSE(t.play.view().teamsShown);
  EXPECT_FALSE(t.play.seat(4).teamColour);
  EXPECT_EQ(t.ctx.lines.size(), 3u);
}

TEST(Turns, EverySeatTheComputerPlaysShowsItFromTheStartAndToALateJoiner) {
  const std::string W(kWaiting);
  struct Case {
    std::array<std::string, 4> seated;  // as the arrivals left them
    bool team;
    int computerSeat;  // a seat the table's turn order gives the computer
    std::array<std::string, 4> shown;
  };
  for (const Case& c : {
           Case{{"Ann", W, W, W}, false, 2, {"Ann", "Tobo", W, W}},
           Case{{"Ann", W, W, W}, true, 2, {"Ann", "Tobo", W, W}},
           Case{{"Ann", "Bo", "Cy", W}, false, 0, {"Ann", "Bo", "Cy", W}},
           Case{{"Ann", "Bo", "Cy", W}, true, 4, {"Ann", "Bo", "Cy", "Tobo"}},
           Case{{"Ann", W, W, "Di"}, true, 3, {"Ann", "Tobo", "Tobo", "Di"}},
           // A player who calls himself Tobo is a player.
           Case{{"Ann", W, "Tobo", W}, false, 2, {"Ann", "Tobo", "Tobo", W}},
       }) {
    for (const bool late : {false, true}) {
      Table t;
      for (int n = 1; n <= 4; ++n) t.play.seat(n).name = c.seated[static_cast<std::size_t>(n - 1)];
      if (late)
        t.play.gamestats({c.computerSeat, 300, 60, 30, c.team, {}, 0, 0});
      else
        t.play.startthegame({"Ann", 300, 60, c.team, 1});
      for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(t.play.seat(n).name, c.shown[static_cast<std::size_t>(n - 1)])
            << "seat " << n << (late ? ", joined late" : ", from the start");
      if (c.computerSeat == 0) continue;
      if (late) {
        EXPECT_EQ(t.play.view().status, "Tobo's turn.");
      }
      t.play.madeword({c.computerSeat, "CAT", 12, 12, 0, 0, {{0, 0}, {1, 1}, {2, 2}}});
      EXPECT_EQ(t.play.view().words.back(), "Tobo: CAT for 12 points.");
    }
  }
  // The computer leaves a seat it no longer plays.
  Table t;
  t.play.seat(3).name = "Cy";
  t.play.startthegame({"Ann", 300, 60, true, 1});
  ASSERT_EQ(t.play.seat(4).name, "Tobo");
  t.play.startthegame({"Ann", 300, 60, false, 1});
  EXPECT_EQ(t.play.seat(4).name, W);
}

TEST(Turns, ALateJoinerSeesWhoseTurnItIs) {
  struct Case {
    int current, countdown;
    const char* status;
  };
  for (const Case& c : {Case{1, 30, "Create a Word!"}, Case{2, 30, "Bo's turn."}, Case{0, 30, ""},
                        Case{2, 0, "Welcome to Zandu Pelix"}}) {
    Table t;
    t.play.gamestats({c.current, 300, 60, c.countdown, false, {10, 20, 0, 0}, 10, 20});
    EXPECT_EQ(t.play.view().status, c.status);
    EXPECT_EQ(t.play.view().clockRunning, c.countdown > 0);
    EXPECT_EQ(t.play.view().team2, "Team B : 20");
    EXPECT_EQ(t.play.seat(2).score, "20");
  }
}

TEST(Results, AWordShowsItsLineRackAndHolesForEverybody) {
  Table t;
  t.ctx.seats = {"Bo"};
  t.ctx.loadchecklist();
  t.play.getnextplayer({2, 0});
  t.play.madeword({2, "CAB", 12, 40, 0, 40, {{0, 2}, {0, 0}, {0, 1}}});
  EXPECT_EQ(t.play.view().status, "Bo: CAB for 12 points.");
  EXPECT_EQ(t.play.view().words, Lines{"Bo: CAB for 12 points."});
  EXPECT_EQ(t.play.seat(2).lastWord, "CAB +12");
  EXPECT_EQ(t.play.seat(2).score, "40");
  EXPECT_EQ(t.play.model().letter({0, 2}), 0);
  EXPECT_EQ(t.play.model().slot(1), (RackSlot{3, false}));
  EXPECT_EQ(t.ctx.sounds.back(), "roundover");
  EXPECT_FALSE(t.play.view().arrowShown[0]) << "only the maker sees the arrows";
  EXPECT_EQ(t.ctx.tallyTable.Cell(3, 0), "0") << "another's word is not ours";

  t.ctx.postWords = true;
  t.play.madeword({1, "DO", 5, 5, 5, 40, {{1, 2}, {2, 2}}});
  EXPECT_TRUE(t.play.seat(2).lastWord.empty()) << "only the latest word is shown";
  EXPECT_EQ(t.ctx.lines.back(), "Ann: DO for 5 points.");
  EXPECT_EQ(t.ctx.sounds.back(), "goodword");
  EXPECT_EQ(t.ctx.tallyTable.Cell(3, 0), "1");
  EXPECT_EQ(t.ctx.tallyTable.Cell(4, 0), "DO");
  EXPECT_EQ(t.play.view().arrowTag, (std::array<int, 4>{1, 1, 1, 1}));
  t.play.image_direction1Click(3);
  t.play.image_direction1Click(2);  // a second click sends nothing
  EXPECT_EQ(t.ctx.sent, Lines{"CMD_direction+1+3+"});
}

TEST(Results, TheWordListKeepsItsNewestUnderAFloodAndCutsLongWords) {
  Table t;
  const std::string huge(8000, 'W');
  for (int k = 0; k < 5000; ++k)
    t.play.madeword({2, huge + std::to_string(k), 1, k, 0, 0, {{0, 0}}});
  const auto& view = t.play.view();
  ASSERT_EQ(view.words.size(), kMaxWords);
  EXPECT_EQ(view.wordsAdded, 5000u);
  const std::string shownWord(kMaxNameLength, 'W');
  EXPECT_EQ(view.words.back(), "Bo: " + shownWord + " for 1 points.");
  for (const auto& line : view.words) EXPECT_LE(line.size(), 64u);
  EXPECT_EQ(t.play.seat(2).lastWord, shownWord + " +1");

  const auto cleared = view.wordsCleared;
  t.play.startthegame({"Ann", 100, 60, false, 3});
  EXPECT_TRUE(view.words.empty());
  EXPECT_EQ(view.wordsAdded, 0u);
  EXPECT_EQ(view.wordsCleared, cleared + 1);
}

TEST(Results, TheWinnersNameIsCutAndShownAsTheChatShowsIt) {
  Table t;
  t.play.winner({std::string(40, 'Z') + "\x01"});
  EXPECT_EQ(t.play.view().winnerText, std::string(kMaxNameLength, 'Z') + " has won the game!");
  t.play.winner({"Caf\xE9\r"});  // Latin-1, with a line end
  EXPECT_EQ(t.play.view().winnerText, "Caf\xC3\xA9  has won the game!");
}

TEST(Results, TheFallMovesTilesAndShowsItsArrow) {
  Table t;
  t.play.madeword({2, "AB", 1, 1, 0, 1, {{3, 6}, {3, 5}}});
  t.play.model().takeDirtyCells();
  t.play.moving({kDown});
  EXPECT_EQ(t.play.model().letter({3, 0}), 0);
  EXPECT_EQ(t.play.model().letter({3, 6}), 1 + (3 + 4) % 26);
  EXPECT_EQ(t.play.model().takeDirtyCells().count(), 7u) << "only column 3 changed";
  EXPECT_EQ(t.play.view().arrowShown, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_EQ(t.play.view().arrowTag[0], 0);
  EXPECT_EQ(t.ctx.sounds.back(), "shift");
}

TEST(Results, NotValidAndTimeUp) {
  Table t;
  t.myTurn();
  t.click(0, 0);
  t.play.notvalid({2, "XQ"});  // someone else's: ignored
  EXPECT_EQ(t.play.model().chosenCount(), 1);
  t.play.notvalid({1, "XQ"});
  EXPECT_EQ(t.play.view().status, "XQ is not a valid word.");
  EXPECT_EQ(t.play.model().chosenCount(), 0);
  EXPECT_TRUE(t.play.view().doneShown) << "the turn goes on";
  t.play.timeup();
  EXPECT_EQ(t.play.view().status, "Time is Up!");
  EXPECT_FALSE(t.play.view().doneShown);
  EXPECT_EQ(t.play.view().turnPlayer, 0);
}

TEST(Results, TheWinnerAndTheTally) {
  struct Case {
    int own;
    const char* winner;
    const char* text;
    const char* games;
    const char* wins;
  };
  const Case cases[] = {
      {1, "Ann", "You have won the game!", "1", "1"},
      {1, "Bo", "Bo has won the game!", "1", "0"},
      {1, "Team B", "Team B has won the game!", "0", "0"},
      {6, "Ann", "Ann has won the game!", "0", "0"},  // a spectator
  };
  for (const Case& c : cases) {
    Table t;
    t.ctx.own = c.own;
    t.ctx.isHost = c.own == 1;
    t.play.startthegame({"Ann", 100, 30, false, 0});
    t.play.getnextplayer({2, 0});
    t.play.winner({c.winner});
    EXPECT_FALSE(t.play.view().clockRunning) << "no clock runs for a game that is over";
    EXPECT_EQ(t.play.view().winnerText, c.text);
    EXPECT_EQ(t.play.view().status, "GAME OVER!");
    EXPECT_EQ(t.ctx.lines.back(), c.text);
    EXPECT_EQ(t.play.view().startShown, c.own == 1);
    EXPECT_EQ(t.ctx.tallyTable.Cell(1, 0), c.games) << c.winner;
    EXPECT_EQ(t.ctx.tallyTable.Cell(2, 0), c.wins) << c.winner;
  }
}

TEST(Clock, CountsDownShowsMinutesAndTicksTheLastNineSeconds) {
  Table t;
  t.play.getnextplayer({2, 0});  // 60 seconds
  EXPECT_EQ(t.play.view().timerLabel, "Time: 1:00");
  t.play.Timer2Timer();
  EXPECT_EQ(t.play.view().timerLabel, "Time: 0:59");
  EXPECT_EQ(t.play.view().timerBarWidth, 59);
  for (int i = 0; i < 49; ++i) t.play.Timer2Timer();
  EXPECT_EQ(t.play.view().timerLabel, "Time: 0:10");
  EXPECT_TRUE(t.ctx.sounds.empty());
  t.play.Timer2Timer();
  EXPECT_EQ(t.play.view().timerLabel, "Time: 0:09");
  EXPECT_EQ(t.ctx.sounds, Lines{"timer"});
  for (int i = 0; i < 9; ++i) t.play.Timer2Timer();
  EXPECT_EQ(t.play.view().timerLabel, "Time: 0:00");
  EXPECT_FALSE(t.play.view().clockRunning);
  EXPECT_EQ(t.ctx.sounds.size(), 9u) << "no sound at 0";

  // A shuffle's countdown runs four seconds ahead of the clock shown.
  t.play.useshuffle({2, 0, 54});
  EXPECT_EQ(t.play.view().clock, 50);
  EXPECT_EQ(t.play.seat(2).gauge, 0);
  t.play.useshuffle({2, 0, 69});
  t.play.Timer2Timer();
  EXPECT_EQ(t.play.view().timerLabel, "Time: 1:04");
}

}  // namespace
}  // namespace zp::board
