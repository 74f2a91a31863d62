#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSystemSemaphore>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <memory>

#include "client/session.h"
#include "gui/board_panel.h"
#include "gui/sound_player.h"
#include "gui/speech_voice.h"
#include "net/connection.h"
#include "net/framing.h"
#include "rules/computer_strength.h"

namespace zp::records {
class TallyTable;
}

namespace zp::client {

class ChatPanel;

// The table this window hosts when the player hosts one; the program provides it, so the
// window knows nothing of the table's insides.
class TableHost {
 public:
  virtual ~TableHost() = default;
  // Starts taking connections on `port` (0: any free port, then `port` is set to the one
  // taken); nothing on success, else what the player is told.
  virtual std::optional<std::string> listen(quint16& port) = 0;
  // How its computer player plays from the next word on.
  virtual void setComputerStrength(ComputerStrength strength) = 0;
  // What the table tells a lobby before its first game: the rules its host starts with.
  virtual void advertise(int playTo, int seconds, ComputerStrength strength) = 0;
};

// What the main window needs from the rest of the program: the in-process table, the side
// windows it opens, and the port every game connection uses.
struct TchatParts {
  TableHost* table = nullptr;  // created by the program, listening only once we host
  QWidget* about = nullptr;
  QWidget* launcher = nullptr;
  QWidget* spyList = nullptr;
  QWidget* phraseEditor = nullptr;
  QWidget* help = nullptr;
  QWidget* tallyList = nullptr;
  QWidget* gameStart = nullptr;
  quint16 port = 7772;  // 0: any free port (tests)
  // The port set for tests wins over one the command line's address names.
  bool portFixed = false;
  quint16 lobbyPort = 9001;  // where a lobby that started us may listen
  std::string lobbyToken;    // what that lobby handed us to prove ourselves with
  // After the main window has drawn the session: the side windows draw their part of it.
  std::function<void()> refreshed;
};

// The main window: the board region, the roster and the chat panel around the session,
// which holds every rule. The window draws the session's state after each event and
// forwards clicks and keys to it.
class Tchat : public QMainWindow, private ClientShell {
  Q_OBJECT

 public:
  // The session feeds `tally`, which the tally window shows.
  Tchat(records::TallyTable& tally, std::uint64_t seed, QWidget* parent = nullptr);
  ~Tchat() override;
  // The other windows and the table, created after this one.
  void setParts(const TchatParts& parts);

  ClientSession& session() { return session_; }
  SpeechVoice& voice() { return *voice_; }
  // FormShow: the command line decides once between solo, host and join.
  void processparams(const std::vector<std::string>& params);
  void useSettingsFile(SettingsFile file) { session_.useSettingsFile(std::move(file)); }
  // Closes the window without asking, a game in progress or not: the program is stopped
  // from outside.
  void leave();
  // The question put before a game in progress is left.
  static constexpr const char* kLeaveQuestion = "Leave the game in progress?";

  // The minimum client area: the board region and a margin.
  static constexpr int kMinClientWidth = 792;
  static constexpr int kMinClientHeight = 542;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // ClientShell
  std::optional<std::string> listen() override;
  void connect(std::string_view address) override;
  void openLobbyLink() override;
  void showLauncher() override;
  void send(std::string_view bytes) override;
  void closeConnection() override;
  void reconnectIn(std::chrono::milliseconds delay) override;
  void play(std::string_view sound) override { sounds_.play(sound); }
  void messageBox(std::string_view text) override;
  void closeWindow() override;
  void showGameStart() override;
  void settingsRead() override;
  Bounds windowBounds() const override;

  void buildMenus();
  void buildQuestionKeys();
  void buildRoster(QWidget* central);
  void buildChat(QWidget* central);
  void connectionInfo(const QString& text);
  // The status bar that shows while the window is off its table: how reconnecting goes, and
  // the button that gives up.
  void buildReconnectBar();
  // What the lobby that started us sends on our link.
  void lobbySaid(const QByteArray& bytes);
  void Timer1Timer();
  void wakeDispatch();
  // Draws everything the session holds that may have changed.
  void refresh();
  void seatMenu(int seat, const QPoint& at);
  // The Tiles menu: the sets found beside the program (and in the per-user folder).
  void grouptilesmenu();
  void loadgrouptiles(const QString& name);
  // Asks before a game in progress is left; true to leave.
  bool leaveAsked();

  TchatParts parts_;
  ClientSession session_;
  SoundPlayer sounds_;
  SpeechVoice* voice_ = nullptr;  // a child of this window
  QSystemSemaphore semaphore_;
  // The game connection; every attempt to reach the table has one of its own.
  net::GameConnection* connection_ = nullptr;
  QTimer reconnectTimer_;
  QLabel* connectionStatus_ = nullptr;
  QPushButton* stopReconnecting_ = nullptr;
  QPointer<net::GameConnection> lobbyLink_;
  net::MessageReader lobbyNews_;  // what the lobby sends on it
  bool connected_ = false;
  bool listenFailed_ = false;
  bool leaving_ = false;  // the close needs no question
  int modal_ = 0;         // message boxes open: the dispatch waits
  QTimer Timer1;
  QTimer Timer2;

  // Menus.
  QAction* StartGame1 = nullptr;
  QAction* CopyInviteCode1 = nullptr;  // shown while the hosted table has a code
  QAction* PlaySounds1 = nullptr;
  QAction* PlayChatterSounds1 = nullptr;
  std::array<QAction*, 3> turnSounds_{};  // Classic, Default, New
  QAction* PostWordsinChatBox1 = nullptr;
  QAction* SpeakEvents1 = nullptr;
  QAction* SpeakChatter1 = nullptr;
  std::array<QAction*, 4> textSizes_{};  // 8, 10, 12, 14
  QAction* ScrollChatOff1 = nullptr;
  QAction* JustWatch1 = nullptr;
  QMenu* Tiles1 = nullptr;
  QList<board::TileSetFile> tileSets_;

  board::BoardPanel* panel_board = nullptr;
  int turnSeen_ = 0;  // the seat whose turn was last drawn

  // The roster.
  struct Seat {
    QLabel* panel = nullptr;
    QLabel* name = nullptr;
    QLabel* score = nullptr;
    QLabel* bonus = nullptr;
    QLabel* eyes = nullptr;
    QLabel* gauge = nullptr;
    int shownGauge = -1;
  };
  std::array<Seat, 4> seats_;
  QLabel* label_team1 = nullptr;
  QLabel* label_team2 = nullptr;
  QLabel* image_Turn = nullptr;

  ChatPanel* panel_chat = nullptr;
};

}  // namespace zp::client
