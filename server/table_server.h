#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"
#include "rules/computer_strength.h"
#include "server/board.h"
#include "server/player_table.h"
#include "server/random_source.h"
#include "server/server_shell.h"
#include "words/word_checker.h"
#include "words/word_graph.h"

namespace zp::server {

// How many ticks of logintimer a new connection has to log in or ask what the table holds.
inline constexpr int kGreetingTicks = 5;
// ... and how many the refused tenth has: a lobby's question comes with its connection.
inline constexpr int kFullGreetingTicks = 2;

// How long a seat stays held for a player whose connection dropped, unless told otherwise.
inline constexpr int kDefaultGraceSeconds = 90;

// Phases of the turn timer.
enum TurnPhase { kNoPhase = 0, kTurnRunning = 1, kWordMade = 2, kPause = 3 };

// The game state of the table.
struct GameState {
  bool running = false;
  int current = 0;    // player who holds the turn; 0 while nobody does
  int lastMover = 0;  // whose turn ended last; the next turn goes to the seat after
  bool team = false;
  int playTo = 0;
  int seconds = 0;
  int countdown = 0;  // ticks left in the turn timer's phase
  int phase = kNoPhase;
  std::array<int, 2> teamTotals{};  // team A, team B
  int fallDirection = board::kDown;
  int computerCountdown = 0;
  int shufflesPerPlayer = 0;
  bool twiceNoticed = false;  // the host was told of a tile used twice this turn
};

// What the table tells a player whose chat, actions or chatter sounds come faster than it
// relays them, in that player's own chat as a system line.
inline constexpr std::string_view kTooFast =
    "You are sending too fast; the table did not pass all of it on.|clBlue";

// The whole server of one table: player table, board, word check, turns and the computer
// player, driven by calls. A connection is accepted with chooseRecord() and
// connectionAccepted(), its bytes arrive with bytesReceived(), its end with
// connectionClosed(); each timer tick is a call. Everything it does to the world goes
// through the ServerShell.
//
//   TableServer table(shell, dictionary, candidates, seed);
//   int n = table.chooseRecord(); table.connectionAccepted(n);
//   table.bytesReceived(n, bytes); table.socktimerTimer();
class TableServer {
 public:
  TableServer(ServerShell& shell, words::WordChecker& spell,
              std::span<const std::string> candidateWords, std::uint64_t seed);
  TableServer(const TableServer&) = delete;
  TableServer& operator=(const TableServer&) = delete;

  // How the computer player chooses its words; Classic until told. Expert searches
  // `wholeList`, the dictionary's words, which must outlive the table; without it Expert
  // plays as Strong.
  void setComputerStrength(ComputerStrength strength, const words::WordGraph* wholeList = nullptr);
  ComputerStrength computerStrength() const { return strength_; }
  // Where the whole list comes from when the host chooses Expert over the wire; it is built
  // only then, so a table that never plays Expert never holds it.
  void setWholeListSource(std::function<const words::WordGraph*()> source) {
    wholeListSource_ = std::move(source);
  }
  // The whole list for Expert from the dictionary's records: the words the computer may play.
  static words::WordGraph wordsForExpert(std::string_view dictionaryRecords);

  // Connections.
  int chooseRecord() const;             // the record a new connection gets; kFullRecord: refuse
  void connectionAccepted(int record);  // after chooseRecord(); kFullRecord is refused and closed
  void bytesReceived(int record, std::string_view bytes);
  // The connection ended without a goodbye: a seated player's seat is held for the grace
  // time. Safe to call again for the same close.
  void connectionClosed(int record);
  // The table closes on purpose: every window is told, so none tries to come back.
  void closing();

  // Timer ticks.
  void socktimerTimer();  // dispatches one waiting message
  bool hasWaitingMessages() const { return !receivedlist_.empty(); }
  void Timer1Timer();
  void computertimerTimer();
  void relaytimerTimer();
  void logintimerTimer();
  void holdtimerTimer();

  // Seconds a dropped player's seat is held; 0 frees it at once.
  void setGrace(int seconds) { grace_ = std::max(0, seconds); }
  int grace() const { return grace_; }
  // Whether the record is a seat held for a player whose connection dropped.
  bool held(int record) const {
    return record >= 1 && record <= kMaxPlayer &&
           players_[static_cast<std::size_t>(record)].heldFor > 0;
  }

  // What the table tells a lobby or a directory that asks (CMD_tableinfo). Without a name of
  // its own the table goes by its host's.
  void setTableName(std::string name) { tableName_ = std::move(name); }
  // Who its host lets see it, as its information says; unsaid until set.
  void setVisibility(net::Visibility visibility) { visibility_ = visibility; }
  net::TableInfo tableInfo() const;

  // The options the table shows a lobby before its first game: what its host starts with.
  void setAdvertisedOptions(int playTo, int seconds) {
    advertisedPlayTo_ = playTo;
    advertisedSeconds_ = seconds;
  }
  // The record that hosts: the only one that starts games, removes and mutes; 0 for none.
  int host() const { return host_; }

  // Read access for the shell and for tests.
  const tplayer& player(int record) const { return players_.at(static_cast<std::size_t>(record)); }
  const GameState& game() const { return game_; }
  const Board& board() const { return board_; }
  int recordsInUse() const { return recordsInUse_; }
  std::size_t waitingMessages(int record) const { return receivedlist_.waiting(record); }
  std::size_t pendingBytes(int record) const;

  // Direct access for tests that set up a position.
  Board& boardForTest() { return board_; }
  tplayer& playerForTest(int record) { return players_.at(static_cast<std::size_t>(record)); }
  GameState& gameForTest() { return game_; }
  // A submission as no reader would pass it, straight to its handler.
  void playerdoneForTest(const net::PlayerDone& m) { playerdone(m); }

 private:
  // Message handlers; each gets its message read and checked, and is reached only when the
  // sender may send it (see the command table).
  void receivedlogininfo(const net::LoginInfo& m);
  void rejoin(int record, const net::Rejoin& m);
  void goodbye(const net::PlayerNumber& m);
  void kickhim(const net::KickHim& m);
  void chat(const net::ChatLine& m);
  void action(const net::ChatLine& m);
  void startgame(const net::GameOptions& m);
  void justwatch(const net::WatchMode& m);
  // `byComputer`: the computer's own submission, which must not start another search.
  void playerdone(const net::PlayerDone& m, bool byComputer = false);
  void direction(const net::DirectionChoice& m);
  void selectletter(const net::SelectLetter& m);
  void selectclear(const net::PlayerNumber& m);
  void clearletter(const net::ClearLetter& m);
  void shuffle(const net::PlayerNumber& m);
  void playasound(const net::PlayASound& m);
  void computer(const net::ComputerChoice& m);
  void mute(const net::MuteRequest& m);

  // Sessions.
  void sendTo(int record, std::string_view message);
  void sendToAll(std::string_view message, int except = 0);
  void disconnectsock(int record);
  // The leave handling: the record is freed and everybody told.
  void leave(int record);
  // The connection dropped: the seat waits for its player.
  void hold(int record);
  void holdEnded();  // stops the holdtimer once no seat is held
  // What every player who logs in or comes back is told: the roster, the host, the game.
  void welcome(int n, std::string_view version);
  // A seat somebody holds now, here or with a dropped connection: it keeps its turns.
  // One message from the queue: its command, and the end of a greeting that it was.
  void handle(const net::QueuedMessage& message);
  bool present(int record) const {
    return players_[static_cast<std::size_t>(record)].connected || held(record);
  }
  void catchUp(int record);
  // Takes one from the sender's relay allowance; false (and the sender told, once per
  // burst) when none is left.
  bool mayRelay(int record);
  // The host left: the role passes on, and everybody is told.
  void passHost();
  // Seconds a player of this name stays muted; 0 when it may chat.
  int mutedFor(const std::string& name) const;
  static bool sameName(std::string_view a, std::string_view b);
  static bool sameSecret(std::string_view a, std::string_view b);

  // Board and turns.
  void createmaze();
  void startnextround();
  void findplayer();
  int seatAfter(int seat) const;
  bool checkforwin(int n);
  void endEmptyGame();
  void startTurnTimer(int phase, int countdown);
  bool computerHasSeat(int seat) const;
  void handTurnToComputer();

  // Computer player: Classic and Easy search with BoardLetters, Strong and Expert with
  // bestTrace.
  void computerplay();
  void playClassic();
  void computerShuffles();
  std::optional<std::vector<Cell>> easiestWord();

  // A new connection's first seconds: it logs in, asks what the table holds, or is let go.
  void tableinfo(int record);
  void greet(int record);
  void greeted(int record);  // logged in, or gone
  bool anyoneGreeting() const;
  void forget(int record);
  bool loggedIn(int record) const;

  ServerShell& shell_;
  words::WordChecker& spell_;
  std::span<const std::string> listbox_words_;
  RandomSource random_;

  std::array<tplayer, 12> players_{};  // records 1..11; 0 is not used
  int recordsInUse_ = 0;
  bool relayRefilling_ = false;  // the relaytimer runs
  GameState game_;
  Board board_;

  ComputerStrength strength_ = ComputerStrength::Classic;
  std::optional<words::WordGraph> candidateGraph_;  // built when first needed
  const words::WordGraph* searched_ = nullptr;      // Strong's and Expert's words
  std::function<const words::WordGraph*()> wholeListSource_;

  net::ReceiveQueue receivedlist_;
  net::CommandTable<int> commands_;

  // Ticks of logintimer a connection has left to log in or ask; 0 once it has logged in.
  std::array<int, kFullRecord + 1> greeting_{};
  // Whether a connection that has not logged in has sent anything yet: only its first
  // message may ask what the table holds.
  std::array<bool, kFullRecord + 1> spoke_{};
  std::string tableName_;
  std::optional<net::Visibility> visibility_;
  int advertisedPlayTo_ = 0;
  int advertisedSeconds_ = 0;

  int host_ = 0;
  int grace_ = kDefaultGraceSeconds;
  bool holding_ = false;        // the holdtimer runs
  std::uint64_t arrivals_ = 0;  // logins so far
  // Names muted while the table runs, so leaving and coming back does not lift a mute.
  struct Mute {
    std::string name;
    std::int64_t until = 0;
  };
  static constexpr std::size_t kMaxMutes = 64;
  std::vector<Mute> mutes_;
};

}  // namespace zp::server
