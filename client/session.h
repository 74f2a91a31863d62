#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "client/announcer.h"
#include "client/board_play.h"
#include "client/chat_input.h"
#include "client/chat_model.h"
#include "client/settings.h"
#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"

namespace zp::records {
class TallyTable;
}

// The player window's whole logic without a widget: start-up and login, the dispatch of
// the server's messages in ticks, the roster, the chat, the sounds, the settings and
// the board. The window implements ClientShell and draws what the session holds.
//
//   ClientSession session(shell, tally, seed);
//   session.processparams({"Ann", "10.0.0.5", "true"});
//   session.bytesReceived(bytes);        // from the game connection
//   session.Timer1Timer();               // each dispatch tick: what waits, within a budget
namespace zp::client {

// The session's sense of time: the real steady clock, or a test's hand-moved one.
using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

// A dispatch tick takes messages while this much time has not passed, so a busy table never
// stalls the window and a burst is caught up in a few ticks.
inline constexpr std::chrono::milliseconds kDispatchBudget{4};
// The phrase lock's step: it opens 101 steps (about 1.6 s) after a phrase, however many
// messages came meanwhile.
inline constexpr std::chrono::milliseconds kPhraseStep{16};

// The spy list: one entry per spectator's number, 5..9.
inline constexpr std::size_t kMaxSpies = kMaxPlayer - kSeats;

// The window's place and size in pixels.
struct Bounds {
  int left = 3;
  int top = 3;
  int width = 790;
  int height = 580;
  bool operator==(const Bounds&) const = default;
};

// What the session asks of the window and of the world.
class ClientShell {
 public:
  virtual ~ClientShell() = default;
  // Start-up: the in-process server listens (an error text when it cannot), the game
  // connection opens, the silent link to the lobby, the launcher window.
  virtual std::optional<std::string> listen() = 0;
  virtual void connect(std::string_view address) = 0;
  virtual void openLobbyLink() = 0;
  virtual void showLauncher() = 0;
  // The game connection.
  virtual void send(std::string_view bytes) = 0;
  virtual void closeConnection() = 0;
  // After a drop: reconnectNow() is to be called once `delay` has passed.
  virtual void reconnectIn(std::chrono::milliseconds delay) = 0;
  // The window.
  virtual void play(std::string_view sound) = 0;  // a sound by its resource name, lower-case
  virtual void messageBox(std::string_view text) = 0;
  virtual void closeWindow() = 0;
  virtual void showGameStart() = 0;
  // The settings were read: move the window, load the tile set, set the menus' checks.
  virtual void settingsRead() = 0;
  virtual Bounds windowBounds() const = 0;
};

inline constexpr std::string_view kSocketClosed = "Socket Closed";
inline constexpr std::string_view kGameIsFull = "Game is full";
inline constexpr std::string_view kTooMuchFromServer =
    "The server sent far more than this window can take in, so the connection is closed.";

// The seat menu's items for the seat that was right-clicked; the spy list's menu has the
// same player items without the watching pair.
struct SeatMenu {
  bool removeFromGame = false;
  bool setToJustWatch = false;
  bool unsetJustWatch = false;
  bool ignore = false;   // another player is there to ignore (or stop ignoring)
  bool ignored = false;  // ... and this window ignores them now
  bool mute = false;     // the host may mute them
  bool muted = false;    // ... and they are muted now
};

// A connection that drops without the table's goodbye is tried again, 1, 2, 4 and then every
// 8 seconds, for this long: past the time a table holds a seat by default.
inline constexpr std::chrono::seconds kReconnectFor{120};
inline constexpr std::chrono::seconds kLongestReconnectWait{8};
// An attempt that has not brought the window back by then (a route that takes connections and
// passes nothing) gives way to the next.
inline constexpr std::chrono::seconds kReconnectAttemptTime{5};

// What the host may mute a player for, in minutes.
inline constexpr std::array<int, 3> kMuteMinutes = {5, 15, 60};

class ClientSession : private board::BoardContext {
 public:
  // Without a clock the session reads the steady clock.
  ClientSession(ClientShell& shell, records::TallyTable& tally, std::uint64_t seed,
                SteadyClock clock = {});

  // ---- start-up and the connection
  // The command line after the program's name: nothing for a solo game, or name, host
  // address and "true" to host.
  void processparams(const std::vector<std::string>& params);
  void bytesReceived(std::string_view bytes);
  // Status texts of the game connection; "Socket Closed" ends the program once what the
  // table sent before it closed has been handled.
  void sockInfo(std::string_view text);
  // The game connection never came about: says so in the chat, and the window stays; while
  // reconnecting, the next attempt is due.
  void connectionFailed(int port, std::string_view reason);
  // ---- coming back after a drop
  // The window is trying to get back to its table; its status says how it goes.
  bool reconnecting() const { return reconnecting_; }
  const std::string& connectionStatus() const { return connectionStatus_; }
  // The shell's timer: the next attempt, which is given kReconnectAttemptTime.
  void reconnectNow();
  // The player gives up: no more attempts, and the window stays to be read.
  void stopReconnecting();
  // The player leaves on purpose (the window closes): the table frees the seat at once.
  void leaveTable();
  // ---- the table this window hosts, as a directory knows it
  // The invite code friends join it by (empty: it has none, or no more).
  void setInviteCode(std::string code);
  const std::string& inviteCode() const { return inviteCode_; }
  // One tick of the dispatch timer: the messages waiting, in order, at least one and no more
  // than kDispatchBudget allows; then the phrase lock.
  void Timer1Timer();
  // Whether the dispatch timer has anything to do.
  bool dispatchBusy() const {
    return !inbox_.empty() || !phrases_.open() || (peerClosed_ && !windowClosed_);
  }
  // Whether messages wait: the window ticks again at once rather than after a tick's time.
  bool messagesWaiting() const { return !inbox_.empty(); }
  // Whether the game connection may read on; else it waits until a tick has made room.
  bool inboxHasRoom() const { return inbox_.hasRoom(); }
  // File > Exit and the window's close: the settings when the window moved, with the
  // desktop's work area.
  void FormClose(Bounds window, int workAreaWidth, int workAreaHeight);

  // ---- the settings file, chosen by the window (program folder or per-user folder)
  void useSettingsFile(SettingsFile file) { settingsFile_.emplace(std::move(file)); }
  const ClientSettings& settings() const { return settings_; }
  bool settingsWereRead() const { return settingsFile_ && settingsFile_->WasRead(); }
  // Options menu items, Text Size, Text Color (the colour chosen and confirmed).
  void PlaySounds1Click();
  void PlayChatterSounds1Click();
  void PostWordsinChatBox1Click();
  void SpeakEvents1Click();
  void SpeakChatter1Click();
  void setTurnSound(board::TurnSound sound);
  // A tile set chosen in the Tiles menu ("classic" for the built-in pictures).
  void setTiles(std::string name);
  void textSize(int size);
  void textColor(Colour colour);
  Colour chatColour() const { return chatColour_; }
  // Phrase editor's Done.
  void setPhrases(const std::array<std::string, 9>& phrases);
  // The game start dialog: an arrow of a number field, and its start button.
  enum class StartField { kPlayTo, kSeconds, kShuffles };
  void gameStartArrow(StartField field, bool up);
  void setTeamGame(bool team) { teamGame_ = team; }
  void setComputer(ComputerStrength strength) { settings_.Computer = strength; }
  void setUnhurried(bool on) { settings_.Unhurried = on; }
  // The time per turn a game started now is played with.
  int turnSeconds() const {
    return settings_.Unhurried ? zp::kUnhurriedSeconds : settings_.Creationtime;
  }
  bool teamGame() const { return teamGame_; }
  void gamestartStart();

  // ---- the roster
  std::string_view playerName() const { return playerName_; }
  // The window hosts when it opened the table itself, or when the table says so.
  bool isHost() const { return ownTable_ || (loggedIn_ && hostRecord_ == own_); }
  // The record the table says hosts it; 0 before it said.
  int hostRecord() const { return hostRecord_; }
  bool isLoggedIn() const { return loggedIn_; }
  int own() const { return own_; }
  // File > Start Game: only the copy that hosts starts games.
  bool startGameEnabled() const { return isHost(); }
  bool spyRemoveEnabled() const { return isHost(); }
  bool justWatchChecked() const { return justWatch_; }
  // Spectators in order of arrival, as "n: name", one per number.
  const std::vector<std::string>& spies() const { return spies_; }
  void JustWatch1Click();
  SeatMenu label_playername1ContextPopup(int seat);
  void SettoJustWatch1Click();
  void UnsetJustWatch1Click();
  void RemoveFromGame1Click();
  void IgnoreClick();           // toggles ignoring the seat's player
  void MuteClick(int minutes);  // 0 lifts the mute
  // The same for any player by number, as the spy list asks.
  SeatMenu playerMenu(int n) const;
  void ignore(int n);
  void mute(int n, int minutes);
  bool ignoring(std::string_view name) const;
  // The host removes player `n` (a seat from the seat menu, a spectator from the spy list).
  void kicking(int n);
  void loadchecklist() override;

  // ---- the chat
  ChatModel& chat() { return chat_; }
  const ChatModel& chat() const { return chat_; }
  ChatInput& input() { return input_; }
  const PhraseButtons& phrases() const { return phrases_; }
  void sendit();
  void b_phrase1Click(int button);
  // The chatter sounds menu: item 0 is "<Cancel>", 1..20 the sounds.
  void wave12Click(int item);

  // ---- speech
  // The events go to the announcer's voice while a screen reader runs (the desktop says so)
  // or Options > Speak Events is on.
  Announcer& announcer() { return announcer_; }
  const Announcer& announcer() const { return announcer_; }
  void screenReaderRunning(bool on);
  bool screenReader() const { return screenReader_; }

  // ---- the board
  board::BoardPlay& board() { return board_; }
  const board::BoardPlay& board() const { return board_; }

 private:
  void hostpress();
  void joinpress();
  void sendloginfo(const net::PlayerNumber& m);
  // `announce`: a chat line and a sound for the arrival.
  void newplayerinfo(const net::PlayerInfo& m, bool announce = true);
  void playerdisconnected(const net::PlayerInfo& m);
  void justwatching(const net::WatchMode& m);
  void chatrecieved(const net::ReceivedChat& m);
  void hostis(const net::PlayerNumber& m);
  void rejointoken(const net::RejoinToken& m);
  void away(const net::Away& m);
  // The connection has ended and what came before it is handled: the window closes, or
  // tries to get back when the table did not let it go.
  void connectionEnded();
  void nextAttempt();
  void backAtTable();
  // Who was at the table is told again after a rejoin: the roster starts afresh.
  void forgetRoster();
  void muted(const net::Muted& m);
  // A line, action or chatter sound from an ignored player, which this window drops.
  bool fromIgnored(int n) const;
  const std::string& nameOf(int n) const;
  void playasound(const net::PlayASound& m);
  void dispatch(const std::string& message);
  void closeWindowOnce();
  void loadinifile();
  // Writes every setting; the window's bounds as they are now unless given.
  void saveinifile(std::optional<Bounds> bounds = std::nullopt);
  ChatIdentity me() const { return {loggedIn_, own_, chatColour_}; }
  std::array<std::string, 4> seatNames() const;

  // BoardContext
  int ownNumber() const override { return own_; }
  bool loggedIn() const override { return loggedIn_; }
  bool host() const override { return isHost(); }
  bool justWatching() const override { return justWatch_; }
  void setJustWatching(bool on) override { justWatch_ = on; }
  board::TurnSound turnSound() const override { return settings_.Turnsound; }
  bool postWordsInChat() const override { return settings_.Postwordsinchatbox; }
  void send(std::string bytes) override;
  void playsounds(std::string_view name) override;
  void systemLine(std::string_view text) override { chat_.addSystemLine(text); }
  void announce(Spoken event) override { announcer_.announce(std::move(event)); }
  void updateSpeech() { announcer_.setEnabled(screenReader_ || settings_.SpeakEvents); }
  // The newest chat line as it reads aloud.
  std::string lastChatText() const;
  void messageBox(std::string_view text) override { box(text); }
  // A message box lets the window draw: the chat's batch ends first.
  void box(std::string_view text);
  void showGameStart() override { shell_.showGameStart(); }
  records::TallyTable& tally() override { return tally_; }

  ClientShell& shell_;
  records::TallyTable& tally_;
  std::mt19937_64 random_;
  SteadyClock clock_;
  std::chrono::steady_clock::time_point phraseStep_;  // the phrase lock's last step

  std::string playerName_;
  std::string hostAddress_;
  std::string connectedTo_;  // the address the game connection was opened to
  bool ownTable_ = false;    // this window opened the table it plays at
  int hostRecord_ = 0;
  bool loggedIn_ = false;
  int own_ = 0;
  bool closingOurselves_ = false;
  bool goodbyeSaid_ = false;  // one side let the other go on purpose: nothing to come back to
  std::string rejoinToken_;   // the table's secret for our seat; never shown
  bool reconnecting_ = false;
  bool backInSeat_ = false;  // the table gave the held seat back
  bool rejoined_ = false;    // back at the table: those already there are not news
  int attempts_ = 0;
  std::chrono::steady_clock::time_point reconnectSince_;
  std::string connectionStatus_;
  std::string inviteCode_;
  bool peerClosed_ = false;  // the table closed; the window closes once the inbox is empty
  bool dispatching_ = false;
  bool windowClosed_ = false;

  net::Inbox inbox_{net::kWindowInboxLimits};
  net::CommandTable<> commands_;

  ChatModel chat_;
  ChatInput input_;
  PhraseButtons phrases_;
  Colour chatColour_ = clBlack;

  std::vector<std::string> spies_;
  // Who is at the table by number, as shown; empty where nobody is.
  std::array<std::string, kMaxPlayer + 1> names_;
  std::vector<std::string> ignored_;  // by name, for as long as the window is open
  std::array<bool, kMaxPlayer + 1> muted_{};
  bool justWatch_ = false;
  int menuSeat_ = 0;

  ClientSettings settings_;
  std::optional<SettingsFile> settingsFile_;
  Bounds remembered_;
  bool teamGame_ = false;

  Announcer announcer_;
  bool screenReader_ = false;

  board::BoardPlay board_{*this};
};

}  // namespace zp::client
