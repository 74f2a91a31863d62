#include "client/board_play.h"

#include "client/chat_text.h"
#include "records/tally_table.h"

namespace zp::board {
namespace {

constexpr int kCellPixels = 56;

std::string clockText(int seconds) {
  const int s = seconds % 60;
  return "Time: " + std::to_string(seconds / 60) + (s >= 10 ? ":" : ":0") + std::to_string(s);
}

}  // namespace

Cell BoardPlay::cellAt(int x, int y) {
  if (x < 0 || y < 0) return Cell{};
  const Cell c{x / kCellPixels, y / kCellPixels};
  return onBoard(c) ? c : Cell{};
}

void BoardPlay::clearall() {
  for (SeatView& s : seats_) {
    s.score = "0";
    s.lastWord.clear();
  }
}

void BoardPlay::connectionLost() {
  statusBeforeDrop_ = gameOn_ ? std::string() : view_.status;
  gameOn_ = false;
  hideArrows();
  view_.bonusShown = false;
  view_.clearShown = view_.doneShown = view_.shuffleShown = false;
  view_.clockRunning = false;
  view_.turnPlayer = 0;
  model_.emptyRack();
  model_.clearChosenList();
  view_.status = "Connection lost.";
}

void BoardPlay::connectionBack() {
  view_.status = statusBeforeDrop_;
}

void BoardPlay::send(std::string bytes) {
  if (context_.loggedIn()) context_.send(std::move(bytes));
}

// ---- setting up a game and a turn

void BoardPlay::theboard(const net::TheBoard& m) {
  // The model takes anything but a letter, the server's 27 included, as an empty cell.
  model_.theboard(m.codes);
}

std::string BoardPlay::timePerTurnCaption(int seconds) {
  return seconds >= kUnhurriedSeconds ? "Time Per Turn: no limit"
                                      : "Time Per Turn: " + std::to_string(seconds);
}

void BoardPlay::startthegame(const net::GameOptions& m) {
  view_.bonusShown = false;
  view_.clearShown = view_.doneShown = view_.shuffleShown = false;
  hideArrows();
  view_.winnerShown = false;
  view_.startShown = false;
  view_.words.clear();
  view_.wordsAdded = 0;
  ++view_.wordsCleared;
  context_.setJustWatching(false);

  view_.playToScore = "Play to Score: " + std::to_string(m.playTo);
  view_.timePerTurn = m.seconds;
  view_.timePerTurnCaption = timePerTurnCaption(m.seconds);
  context_.systemLine(client::shownName(m.hostName) + " has started a game.");
  view_.team1 = "Team A: 0 ";
  view_.team2 = "Team B: 0 ";
  for (int n = 1; n <= kSeats; ++n) {
    seat(n).lastWord.clear();
    seat(n).score.clear();
    seat(n).eyes = false;
    drawGauge(n, m.shuffles);
  }
  teamDisplay(m.team);
  gameOn_ = true;
  teamGame_ = m.team;
  if (seatTheComputer(m.team)) context_.systemLine("I am Tobo the bot. Good Luck!");
  context_.loadchecklist();
}

bool BoardPlay::seatTheComputer(bool team) {
  auto player = [this](int n) { return !seat(n).empty() && !seat(n).computer; };
  // Seat 2 always plays; in a team game an empty seat plays against a player across from it.
  const std::array<bool, kSeats> plays = {false, !player(2), team && !player(3) && player(4),
                                          team && !player(4) && player(3)};
  const bool seatedTwo = seat(2).empty();
  for (int n = 2; n <= kSeats; ++n) {
    if (player(n)) continue;
    seat(n).computer = plays[static_cast<std::size_t>(n - 1)];
    seat(n).name = seat(n).computer ? kComputerName : kWaiting;
  }
  return seatedTwo;
}

void BoardPlay::seatsChanged() {
  if (gameOn_) seatTheComputer(teamGame_);
}

void BoardPlay::getnextplayer(const net::NextPlayer& m) {
  view_.bonusShown = false;
  hideArrows();
  view_.turnPlayer = m.n;
  drawGauge(m.n, m.shufflesLeft);
  if (m.shufflesLeft > 0) view_.shuffleShown = true;
  model_.emptyRack();
  model_.clearChosenList();
  if (myTurn()) {
    view_.status = "Your Turn";
    switch (context_.turnSound()) {
      case TurnSound::New:
        context_.playsounds("turnnew");
        break;
      case TurnSound::Default:
        context_.playsounds("turn");
        break;
      case TurnSound::Classic:
        context_.playsounds("start");
        break;
    }
    view_.clearShown = view_.doneShown = true;
    context_.announce(client::said::yourTurn());
  } else {
    view_.status = seat(m.n).name + "'s Turn";
    view_.shuffleShown = false;
    context_.announce(client::said::othersTurn(seat(m.n).name));
  }
  startClock(view_.timePerTurn);
}

void BoardPlay::gamestats(const net::GameStats& m) {
  view_.turnPlayer = m.current;
  model_.emptyRack();
  view_.playToScore = "Play to Score: " + std::to_string(m.playTo);
  view_.timePerTurn = m.seconds;
  view_.timePerTurnCaption = timePerTurnCaption(m.seconds);
  view_.clock = m.countdown;
  for (int n = 1; n <= kSeats; ++n)
    seat(n).score = std::to_string(m.scores[static_cast<std::size_t>(n - 1)]);
  view_.team1 = "Team A : " + std::to_string(m.teamA);
  view_.team2 = "Team B : " + std::to_string(m.teamB);
  teamDisplay(m.team);
  // A window that joins a game in progress sees the computer where those who were there
  // from the start see it.
  gameOn_ = true;
  teamGame_ = m.team;
  seatTheComputer(m.team);
  if (view_.clock > 0) {
    startClock(view_.clock);
    if (myTurn())
      view_.status = "Create a Word!";
    else if (m.current >= 1 && m.current <= kSeats)
      view_.status = seat(m.current).name + "'s turn.";
    else
      view_.status.clear();
  }
}

void BoardPlay::teamDisplay(bool team) {
  // Team B's seats are drawn in the team colour; everything else in black.
  seat(2).teamColour = seat(4).teamColour = team;
  view_.teamsShown = team;
}

void BoardPlay::drawGauge(int n, int left) {
  if (n < 1 || n > kSeats) return;
  seat(n).gauge = left >= 0 && left <= 5 ? left : -1;
}

// ---- the turn player's picks, seen by everybody else

void BoardPlay::selectletter(const net::SelectLetter& m) {
  if (m.n == context_.ownNumber()) return;
  model_.showPick(m.index, m.cell);
  context_.playsounds("place");
}

void BoardPlay::clearletter(const net::ClearLetter& m) {
  if (m.n == context_.ownNumber()) return;
  model_.unshowPick(m.index);
}

void BoardPlay::selectclear(const net::PlayerNumber& m) {
  if (m.n == context_.ownNumber()) return;
  model_.clearMarksAndRack();
  context_.playsounds("clear");
}

void BoardPlay::moving(const net::Moving& m) {
  hideArrows();
  view_.fallDirection = m.direction;
  model_.moving(m.direction);
  context_.playsounds("shift");
  context_.announce(client::said::fall(m.direction));
  // Everybody sees which way the tiles went; nobody may click it.
  view_.arrowShown[static_cast<std::size_t>(m.direction - 1)] = true;
}

// ---- results

void BoardPlay::madeword(const net::MadeWord& m) {
  // A word has seven letters; a host sending kilobytes gets them cut like a name.
  const std::string word = client::shownName(m.word);
  view_.clearShown = view_.doneShown = view_.shuffleShown = false;
  view_.turnPlayer = 0;
  view_.clockRunning = false;
  view_.team1 = "Team A: " + std::to_string(m.teamA);
  view_.team2 = "Team B: " + std::to_string(m.teamB);
  seat(m.n).score = std::to_string(m.total);
  for (SeatView& s : seats_) s.lastWord.clear();
  seat(m.n).lastWord = word + " +" + std::to_string(m.points);
  const std::string result =
      seat(m.n).name + ": " + word + " for " + std::to_string(m.points) + " points.";
  view_.status = result;
  view_.words.push_back(result);
  ++view_.wordsAdded;
  if (view_.words.size() > kMaxWords) view_.words.erase(view_.words.begin());
  if (context_.postWordsInChat()) context_.systemLine(result);
  model_.showMadeWord(m.path);

  const bool mine = m.n == context_.ownNumber();
  context_.announce(client::said::word(mine, seat(m.n).name, word, m.points));
  context_.announce(client::said::total(mine, seat(m.n).name, m.total));
  if (mine) {
    context_.playsounds("goodword");
    context_.tally().anotherword(3);
    context_.tally().addtomineset(4, std::to_string(m.points), word);
    view_.arrowShown.fill(true);
    view_.arrowTag.fill(m.n);
  } else {
    context_.playsounds("roundover");
  }
}

void BoardPlay::bonus(const net::Bonus&) {
  view_.bonusShown = true;
  ++view_.bonusStarts;
}

void BoardPlay::notvalid(const net::NotValid& m) {
  if (m.n != context_.ownNumber()) return;
  view_.status = client::shownName(m.word) + " is not a valid word.";
  model_.clearPick();
  context_.playsounds("badword");
  context_.announce(client::said::notValid(client::shownName(m.word)));
}

void BoardPlay::timeup() {
  view_.turnPlayer = 0;
  view_.status = "Time is Up!";
  context_.playsounds("roundover");
  context_.announce(client::said::timeUp());
  view_.doneShown = view_.clearShown = view_.shuffleShown = false;
  hideArrows();
}

void BoardPlay::winner(const net::NameOnly& m) {
  gameOn_ = false;
  hideArrows();
  view_.bonusShown = false;
  view_.turnPlayer = 0;
  // The game is over: a clock still counting down (and ticking its last seconds) would
  // tell of a turn nobody has.
  view_.clockRunning = false;
  model_.emptyRack();
  const int own = context_.ownNumber();
  const bool seated = own >= 1 && own <= kSeats;
  const std::string name = client::shownName(m.name);
  const bool mine = seated && name == seat(own).name;
  view_.winnerText = mine ? "You have won the game!" : name + " has won the game!";
  view_.status = "GAME OVER!";
  view_.winnerShown = true;
  context_.playsounds("gameover");
  context_.systemLine(view_.winnerText);
  context_.announce(client::said::winner(mine, name));
  if (context_.host()) view_.startShown = true;
  // Team results and spectators' windows leave the tally alone.
  if (mine)
    context_.tally().addgame(records::TallyTable::kMine);
  else if (seated && name != "Team A" && name != "Team B")
    context_.tally().addgame(name);
}

// ---- shuffles

void BoardPlay::useshuffle(const net::UseShuffle& m) {
  // The server counts four seconds more than the players are shown.
  startClock(m.countdown - 4);
  drawGauge(m.n, m.shufflesLeft);
  context_.playsounds("shuffle");
}

void BoardPlay::shufflesl(const net::ShufflesLeft& m) {
  for (int n = 1; n <= kSeats; ++n) drawGauge(n, m.left[static_cast<std::size_t>(n - 1)]);
}

// ---- the player's clicks

void BoardPlay::paintbox_boardMouseUp(bool rightButton, int x, int y) {
  if (!myTurn()) return;
  if (context_.justWatching()) return context_.messageBox(kJustWatchingBox);
  if (rightButton) return pressdone();
  const Cell c = cellAt(x, y);
  if (!model_.mayChoose(c)) {
    view_.status = "Invalid Selection";
    context_.playsounds("badword");
    return;
  }
  const int slot = model_.choose(c);
  send(net::to_server::selectletter({context_.ownNumber(), slot, c}));
  context_.playsounds("place");
}

void BoardPlay::image_letter1Click(int slot) {
  if (!myTurn() || !model_.takeBack(slot)) return;
  send(net::to_server::clearletter({context_.ownNumber(), slot}));
}

void BoardPlay::pressclear() {
  if (!myTurn()) return;
  model_.clearPick();
  send(net::to_server::selectclear({context_.ownNumber()}));
}

void BoardPlay::button_clearClick() {
  if (context_.justWatching()) return context_.messageBox(kJustWatchingBox);
  pressclear();
  context_.playsounds("clear");
}

void BoardPlay::pressdone() {
  if (!myTurn() || model_.chosenCount() == 0) return;
  net::PlayerDone done{context_.ownNumber(), {}};
  for (int k = 1; k <= model_.chosenCount(); ++k) done.path.push_back(model_.chosen(k));
  send(net::to_server::playerdone(done));
  pressclear();
}

void BoardPlay::button_doneClick() {
  if (context_.justWatching()) return context_.messageBox(kJustWatchingBox);
  pressdone();
}

void BoardPlay::button_shuffleClick() {
  view_.shuffleShown = false;
  if (context_.justWatching()) return context_.messageBox(kJustWatchingBox);
  send(net::to_server::shuffle({context_.ownNumber()}));
}

void BoardPlay::button_startClick() {
  if (context_.loggedIn())
    context_.showGameStart();
  else
    context_.messageBox(kNotConnectedBox);
}

void BoardPlay::image_direction1Click(int arrow) {
  if (arrow < 1 || arrow > 4) return;
  const int own = context_.ownNumber();
  if (context_.loggedIn() && own != 0 && view_.arrowTag[static_cast<std::size_t>(arrow - 1)] == own)
    context_.send(net::to_server::direction({own, arrow}));
  hideArrows();
}

void BoardPlay::hideArrows() {
  view_.arrowShown.fill(false);
  view_.arrowTag.fill(0);
}

// ---- the turn clock

void BoardPlay::startClock(int seconds) {
  if (view_.timePerTurn >= kUnhurriedSeconds) {
    // Nothing counts down, nothing ticks and nothing is said of the time.
    view_.clock = 0;
    view_.clockRunning = false;
    view_.timerLabel = "Time: no limit";
    view_.timerBarWidth = kTimerBarWidth;
    return;
  }
  view_.clock = seconds;
  view_.clockRunning = true;
  // The full time shows at once rather than a second later.
  if (seconds >= 1) {
    view_.timerBarWidth = seconds;
    view_.timerLabel = clockText(seconds);
  }
}

void BoardPlay::Timer2Timer() {
  if (!view_.clockRunning) return;
  --view_.clock;
  if (view_.clock < 1) {
    view_.clockRunning = false;
    view_.timerLabel = "Time: 0:00";
    return;
  }
  view_.timerBarWidth = view_.clock;
  view_.timerLabel = clockText(view_.clock);
  if (view_.clock <= 9) context_.playsounds("timer");
  for (int spoken : client::kSpokenSeconds) {
    if (view_.clock != spoken) continue;
    if (myTurn()) context_.announce(client::said::secondsLeft(spoken));
    // The computer plays within seconds: its clock is no news, and would hold back its word.
    else if (view_.turnPlayer >= 1 && view_.turnPlayer <= kSeats &&
             !seat(view_.turnPlayer).computer)
      context_.announce(client::said::othersSecondsLeft(seat(view_.turnPlayer).name, spoken));
  }
}

}  // namespace zp::board
