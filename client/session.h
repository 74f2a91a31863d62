#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

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

// The seat menu's items for the seat that was right-clicked.
struct SeatMenu {
  bool removeFromGame = false;
  bool setToJustWatch = false;
  bool unsetJustWatch = false;
};

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
  // The game connection never came about: says so in the chat, and the window stays.
  void connectionFailed(int port, std::string_view reason);
  // One tick of the dispatch timer: the messages waiting, in order, at least one and no more
  // than kDispatchBudget allows; then the phrase lock.
  void Timer1Timer();
  // Whether the dispatch timer has anything to do.
  bool dispatchBusy() const {
    return !inbox_.empty() || !phrases_.open() || (peerClosed_ && !windowClosed_);
  }
  // Whether messages wait: the window ticks again at once rather than after a tick's time.
  bool messagesWaiting() const { return !inbox_.empty(); }
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
  bool teamGame() const { return teamGame_; }
  void gamestartStart();

  // ---- the roster
  std::string_view playerName() const { return playerName_; }
  bool isHost() const { return host_; }
  bool isLoggedIn() const { return loggedIn_; }
  int own() const { return own_; }
  // File > Start Game: only the copy that hosts starts games.
  bool startGameEnabled() const { return host_; }
  bool spyRemoveEnabled() const { return host_; }
  bool justWatchChecked() const { return justWatch_; }
  // Spectators in order of arrival, as "n: name", one per number.
  const std::vector<std::string>& spies() const { return spies_; }
  void JustWatch1Click();
  SeatMenu label_playername1ContextPopup(int seat);
  void SettoJustWatch1Click();
  void UnsetJustWatch1Click();
  void RemoveFromGame1Click();
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

  // ---- the board
  board::BoardPlay& board() { return board_; }
  const board::BoardPlay& board() const { return board_; }

 private:
  void hostpress();
  void joinpress();
  void sendloginfo(const net::PlayerNumber& m);
  void newplayerinfo(const net::PlayerInfo& m);
  void playerdisconnected(const net::PlayerInfo& m);
  void justwatching(const net::WatchMode& m);
  void chatrecieved(const net::ReceivedChat& m);
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
  bool host() const override { return host_; }
  bool justWatching() const override { return justWatch_; }
  void setJustWatching(bool on) override { justWatch_ = on; }
  board::TurnSound turnSound() const override { return settings_.Turnsound; }
  bool postWordsInChat() const override { return settings_.Postwordsinchatbox; }
  void send(std::string bytes) override;
  void playsounds(std::string_view name) override;
  void systemLine(std::string_view text) override { chat_.addSystemLine(text); }
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
  bool host_ = false;
  bool loggedIn_ = false;
  int own_ = 0;
  bool closingOurselves_ = false;
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
  bool justWatch_ = false;
  int menuSeat_ = 0;

  ClientSettings settings_;
  std::optional<SettingsFile> settingsFile_;
  Bounds remembered_;
  bool teamGame_ = false;

  board::BoardPlay board_{*this};
};

}  // namespace zp::client
