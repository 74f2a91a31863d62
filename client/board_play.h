#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/announcer.h"
#include "client/board_model.h"
#include "client/settings.h"
#include "net/catalogue.h"

namespace zp::records {
class TallyTable;
}

// The game table as one player sees it: the board model, the seat panels, the status
// line, the buttons and arrows, the turn clock, the word list and the winner panel, with
// the handlers of the board's messages and of the player's clicks. Widgets draw this
// state and forward clicks; nothing here draws.
namespace zp::board {

inline constexpr std::string_view kJustWatchingBox = "You are just watching right now.";
inline constexpr std::string_view kNotConnectedBox = "You are not connected";
// The turn clock bar is this wide at creation; afterwards one pixel a second.
inline constexpr int kTimerBarWidth = 117;

using client::TurnSound;

// The words list keeps this many, the oldest going first.
inline constexpr std::size_t kMaxWords = 500;

// One seat panel: name label, score, last word, shuffle gauge and eyes marker.
struct SeatView {
  std::string name{kWaiting};
  std::string score = "0";
  std::string lastWord;
  int gauge = -1;  // picture 0..5 of the shuffle gauge; -1: nothing drawn
  bool eyes = false;
  bool teamColour = false;  // Team B's seats in a team game
  bool computer = false;    // the name is the computer's, standing in for nobody
  bool away = false;        // the player's connection dropped; the table holds the seat
  bool empty() const { return name == kWaiting; }
};

// Everything else the board panel shows.
struct TableView {
  std::string status = "Welcome to Zandu Pelix";
  std::string playToScore = "Play To Score: 100";
  std::string timePerTurnCaption = "Time Per Turn: 60";
  int timePerTurn = 60;
  std::string team1 = "Team A: 0";
  std::string team2 = "Team B: 0";
  bool teamsShown = false;
  // memo_words: the newest kMaxWords; wordsAdded counts every word since the list was last
  // emptied, which happens wordsCleared times, so a panel knows what it has not shown.
  std::vector<std::string> words;
  std::uint64_t wordsAdded = 0;
  std::uint64_t wordsCleared = 0;
  bool winnerShown = false;
  std::string winnerText = "WINNER!";
  bool clearShown = false;
  bool doneShown = false;
  bool shuffleShown = false;
  bool startShown = true;
  std::array<bool, 4> arrowShown{};  // image_direction1..4
  std::array<int, 4> arrowTag{};     // who may click each arrow; 0 nobody
  bool bonusShown = false;
  int bonusStarts = 0;  // counts how often the banner was (re)started from its first frame
  int turnPlayer = 0;   // the seat the turn marker stands beside; 0 nobody
  int fallDirection = kDown;
  // The turn clock (Timer2): seconds left, and whether it ticks.
  int clock = 0;
  bool clockRunning = false;
  std::string timerLabel = "Time: 0:00";
  int timerBarWidth = kTimerBarWidth;
};

// What the board asks of the rest of the window.
class BoardContext {
 public:
  virtual ~BoardContext() = default;
  virtual int ownNumber() const = 0;
  virtual bool loggedIn() const = 0;
  virtual bool host() const = 0;
  virtual bool justWatching() const = 0;  // Options > Just Watch
  virtual void setJustWatching(bool on) = 0;
  virtual TurnSound turnSound() const = 0;
  virtual bool postWordsInChat() const = 0;
  // Only called while logged in.
  virtual void send(std::string bytes) = 0;
  // An event sound by its lower-case name; the window plays it when Play Sounds is on.
  virtual void playsounds(std::string_view name) = 0;
  // A line in the system colour; `text` without the "0+".
  virtual void systemLine(std::string_view text) = 0;
  // An event said aloud to a player who cannot see the board.
  virtual void announce(client::Spoken) {}
  virtual void messageBox(std::string_view text) = 0;
  virtual void loadchecklist() = 0;
  virtual void showGameStart() = 0;
  virtual records::TallyTable& tally() = 0;
};

class BoardPlay {
 public:
  explicit BoardPlay(BoardContext& context) : context_(context) {}

  const BoardModel& model() const { return model_; }
  BoardModel& model() { return model_; }
  const TableView& view() const { return view_; }
  // Seat 1..4.
  const SeatView& seat(int n) const { return seats_[static_cast<std::size_t>(n - 1)]; }
  SeatView& seat(int n) { return seats_[static_cast<std::size_t>(n - 1)]; }
  // A player came or went: while a game is on, the computer takes the seats the table's turn
  // order now gives it, and leaves the others.
  void seatsChanged();

  // The server's messages.
  void theboard(const net::TheBoard& m);
  void startthegame(const net::GameOptions& m);
  void getnextplayer(const net::NextPlayer& m);
  void gamestats(const net::GameStats& m);
  void selectletter(const net::SelectLetter& m);
  void clearletter(const net::ClearLetter& m);
  void selectclear(const net::PlayerNumber& m);
  void moving(const net::Moving& m);
  void madeword(const net::MadeWord& m);
  void bonus(const net::Bonus& m);
  void notvalid(const net::NotValid& m);
  void timeup();
  void winner(const net::NameOnly& m);
  void useshuffle(const net::UseShuffle& m);
  void shufflesl(const net::ShufflesLeft& m);

  // The player's clicks.
  void paintbox_boardMouseUp(bool rightButton, int x, int y);
  void image_letter1Click(int slot);
  void button_clearClick();
  void button_doneClick();
  void button_shuffleClick();
  void button_startClick();
  void image_direction1Click(int arrow);  // arrow 1..4
  // One second of the turn clock.
  void Timer2Timer();

  // Start-up decides whether this window may start games.
  void showStart(bool shown) { view_.startShown = shown; }
  // The cell under a point of the board (56 pixels a cell), or none.
  static Cell cellAt(int x, int y);
  // Reset at window creation: every seat's score "0" and last word empty.
  void clearall();
  // The connection to the table dropped: the game goes on there without this window, which
  // stops playing until the table tells it again where the game stands.
  void connectionLost();
  // Back at the table: the status it showed, unless a game was on, whose state comes anew.
  void connectionBack();
  bool gameOn() const { return gameOn_; }
  // "Time Per Turn: 60", or "no limit" for an unhurried game.
  static std::string timePerTurnCaption(int seconds);
  // Said to the player who cannot see the board (what the keyboard just did there).
  void say(client::Spoken event) { context_.announce(std::move(event)); }

 private:
  bool myTurn() const { return view_.turnPlayer != 0 && view_.turnPlayer == context_.ownNumber(); }
  void send(std::string bytes);
  void pressclear();
  void pressdone();
  void hideArrows();
  void drawGauge(int seat, int left);
  void teamDisplay(bool team);
  void startClock(int seconds);
  // Shows the computer in each seat it plays, as the table's turn order has it; true when
  // seat 2 was empty.
  bool seatTheComputer(bool team);
  std::string statusBeforeDrop_;
  bool gameOn_ = false;  // from the start (or the stats of a game in progress) to its winner
  bool teamGame_ = false;

  BoardContext& context_;
  BoardModel model_;
  TableView view_;
  std::array<SeatView, kSeats> seats_;
};

}  // namespace zp::board
