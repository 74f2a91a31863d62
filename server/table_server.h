#pragma once

#include <array>
#include <cstdint>
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
  // The whole list for Expert from the dictionary's records: the words the computer may play.
  static words::WordGraph wordsForExpert(std::string_view dictionaryRecords);

  // Connections.
  int chooseRecord() const;             // the record a new connection gets; kFullRecord: refuse
  void connectionAccepted(int record);  // after chooseRecord(); kFullRecord is refused and closed
  void bytesReceived(int record, std::string_view bytes);
  void connectionClosed(int record);  // safe to call again for the same close

  // Timer ticks.
  void socktimerTimer();  // dispatches one waiting message
  bool hasWaitingMessages() const { return !receivedlist_.empty(); }
  void Timer1Timer();
  void computertimerTimer();
  void relaytimerTimer();
  void logintimerTimer();

  // What the table tells a lobby or a directory that asks (CMD_tableinfo). Without a name of
  // its own the table goes by its host's.
  void setTableName(std::string name) { tableName_ = std::move(name); }
  net::TableInfo tableInfo() const;

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

  // Sessions.
  void sendTo(int record, std::string_view message);
  void sendToAll(std::string_view message, int except = 0);
  void disconnectsock(int record);
  void catchUp(int record);
  // Takes one from the sender's relay allowance; false (and the sender told, once per
  // burst) when none is left.
  bool mayRelay(int record);

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

  net::ReceiveQueue receivedlist_;
  net::CommandTable<int> commands_;

  // Ticks of logintimer a connection has left to log in or ask; 0 once it has logged in.
  std::array<int, kFullRecord + 1> greeting_{};
  // Whether a connection that has not logged in has sent anything yet: only its first
  // message may ask what the table holds.
  std::array<bool, kFullRecord + 1> spoke_{};
  std::string tableName_;
};

}  // namespace zp::server
