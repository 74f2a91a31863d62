#include "gui/Tchat.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "client/table_questions.h"
#include "gui/chat_panel.h"
#include "gui/look.h"
#include "gui/pictures.h"
#include "gui/player_menu.h"
#include "gui/screen_reader.h"
#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"
#include "net/host_port.h"

namespace zp::client {
namespace {

constexpr int kDispatchMs = 16;  // between ticks while nothing waits but the phrase lock
constexpr std::array<int, 4> kTextSizes = {8, 10, 12, 14};
using gui::kWindowBlue;
const QColor kTeamColour = gui::kLightBlue;

// The window's own texts; what came from the network goes through gui::shownText.
QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A menu opened from the keyboard lands on its first item even while that item is
// unavailable, so Enter there does nothing rather than what comes next (Exit).
class DisabledItemsActiveStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == QStyle::SH_Menu_AllowActiveAndDisabled) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

void setColour(QLabel* label, const QColor& colour) {
  gui::setTextColour(label, colour);
}

QLabel* textLabel(QWidget* parent, QRect at, int pixelSize, bool bold,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  return gui::textLabel(parent, at, pixelSize, bold, Qt::black, align);
}

// The window's blue background with a soft light from the top.
class Backdrop : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, kWindowBlue.lighter(125));
    gradient.setColorAt(1, kWindowBlue.darker(115));
    painter.fillRect(rect(), gradient);
    // The board's frame, where the board is drawn.
    painter.setPen(QPen(QColor(0x06, 0x3A, 0x66), 2));
    painter.setBrush(QColor(0x0A, 0x5A, 0x9C));
    painter.drawRoundedRect(QRect(23, 113, 396, 396), 4, 4);
  }
};

}  // namespace

Tchat::Tchat(records::TallyTable& tally, std::uint64_t seed, QWidget* parent)
    : QMainWindow(parent),
      session_(*this, tally, seed),
      // Created and held for the life of the program, never tested: a second copy starts.
      semaphore_(QStringLiteral("zandu pelix"), 1, QSystemSemaphore::Open) {
  setWindowTitle(QStringLiteral("Zandu Pelix"));
  voice_ = new SpeechVoice([this] { session_.announcer().finished(); }, this);
  session_.announcer().setVoice(voice_);
  auto* screenReader = new ScreenReaderWatch(this);
  QObject::connect(screenReader, &ScreenReaderWatch::changed, this, [this](bool running) {
    session_.screenReaderRunning(running);
    refresh();
  });
  auto* central = new Backdrop(this);
  central->setMinimumSize(kMinClientWidth, kMinClientHeight);
  setCentralWidget(central);
  buildMenus();
  panel_board = new board::BoardPanel(session_.board(), central);
  panel_board->changed = [this] { refresh(); };
  panel_board->wordListClicked = [this] { panel_chat->focusInput(); };
  panel_board->ownNumber = [this] { return session_.own(); };
  panel_board->refused = [this] {
    if (session_.settings().Playsounds) sounds_.play("badword");
  };
  buildRoster(central);
  buildChat(central);
  // F6 moves the keyboard between the chat input and the board.
  auto* switchFocus = new QAction(this);
  switchFocus->setShortcut(QKeySequence(Qt::Key_F6));
  switchFocus->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(switchFocus, &QAction::triggered, this, [this] {
    if (panel_chat->inputHasFocus())
      panel_board->board()->setFocus(Qt::ShortcutFocusReason);
    else
      panel_chat->focusInput();
  });
  addAction(switchFocus);
  buildQuestionKeys();
  move(3, 3);
  resize(790, 580);

  Timer1.setInterval(kDispatchMs);
  QObject::connect(&Timer1, &QTimer::timeout, this, &Tchat::Timer1Timer);
  Timer2.setInterval(1000);
  QObject::connect(&Timer2, &QTimer::timeout, this, [this] {
    session_.board().Timer2Timer();
    refresh();
  });
  reconnectTimer_.setSingleShot(true);
  QObject::connect(&reconnectTimer_, &QTimer::timeout, this, [this] {
    session_.reconnectNow();
    refresh();
  });
  buildReconnectBar();
  refresh();
}

Tchat::~Tchat() {
  // The window goes, closed or with the program: the table frees the seat at once rather than
  // holding it.
  session_.leaveTable();
  if (connection_) connection_->flush();
  session_.announcer().setVoice(nullptr);
}

void Tchat::setParts(const TchatParts& parts) {
  parts_ = parts;
}

// ---- building the window

// Questions a player who cannot see the board asks with one key, wherever the focus is. Plain
// function keys: the board and the chat take typed letters, and the screen reader's own
// commands go with its Insert or Caps Lock key and the keypad.
void Tchat::buildQuestionKeys() {
  const board::BoardPlay& play = session_.board();
  auto markOr = [this](bool row) {
    const board::Cell at = panel_board->focusMark();
    if (!board::onBoard(at.a, at.b)) return board::kBoardSize / 2;
    return row ? at.b : at.a;
  };
  const std::array<std::pair<Qt::Key, std::function<std::string()>>, 6> questions = {{
      {Qt::Key_F2, [this, &play] { return client::whoseTurn(play, session_.own()); }},
      {Qt::Key_F3, [&play] { return client::scores(play); }},
      {Qt::Key_F4, [&play] { return client::lastWords(play); }},
      {Qt::Key_F5, [&play] { return client::rack(play.model()); }},
      {Qt::Key_F7, [&play, markOr] { return client::boardRow(play.model(), markOr(true)); }},
      {Qt::Key_F8, [&play, markOr] { return client::boardColumn(play.model(), markOr(false)); }},
  }};
  for (const auto& [key, answer] : questions) {
    auto* ask = new QAction(this);
    ask->setShortcut(QKeySequence(key));
    ask->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(ask, &QAction::triggered, this,
                     [this, answer] { session_.announcer().announce(said::answer(answer())); });
    addAction(ask);
  }
}

void Tchat::buildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  auto* fileStyle = new DisabledItemsActiveStyle;
  fileStyle->setParent(file);
  file->setStyle(fileStyle);
  StartGame1 = file->addAction(QStringLiteral("Start Game"), this,
                               [this] { session_.board().button_startClick(); });
  StartGame1->setObjectName(QStringLiteral("StartGame1"));
  StartGame1->setEnabled(false);
  CopyInviteCode1 = file->addAction(QStringLiteral("Copy Invite Code"), this, [this] {
    QGuiApplication::clipboard()->setText(q(net::inviteCodeText(session_.inviteCode())));
  });
  CopyInviteCode1->setObjectName(QStringLiteral("CopyInviteCode1"));
  CopyInviteCode1->setVisible(false);
  file->addSeparator();
  file->addAction(QStringLiteral("Exit"), this, &QWidget::close)
      ->setObjectName(QStringLiteral("Exit1"));

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  PlaySounds1 = options->addAction(QStringLiteral("Play Sounds"), this, [this] {
    session_.PlaySounds1Click();
    refresh();
  });
  PlaySounds1->setCheckable(true);
  PlayChatterSounds1 = options->addAction(QStringLiteral("Play Chatter Sounds"), this, [this] {
    session_.PlayChatterSounds1Click();
    refresh();
  });
  PlayChatterSounds1->setCheckable(true);
  QMenu* turnSound = options->addMenu(QStringLiteral("Turn Sound"));
  auto* turnGroup = new QActionGroup(this);
  const std::array<std::pair<const char*, client::TurnSound>, 3> sounds = {
      {{"Classic", client::TurnSound::Classic},
       {"Default", client::TurnSound::Default},
       {"New", client::TurnSound::New}}};
  for (std::size_t i = 0; i < sounds.size(); ++i) {
    const client::TurnSound sound = sounds[i].second;
    turnSounds_[i] =
        turnSound->addAction(QString::fromLatin1(sounds[i].first), this, [this, sound] {
          session_.setTurnSound(sound);
          refresh();
        });
    turnSounds_[i]->setCheckable(true);
    turnGroup->addAction(turnSounds_[i]);
  }
  PostWordsinChatBox1 = options->addAction(QStringLiteral("Post Words in Chat Box"), this, [this] {
    session_.PostWordsinChatBox1Click();
    refresh();
  });
  PostWordsinChatBox1->setCheckable(true);
  // Said aloud anyway while a screen reader runs; this is for a player without one.
  SpeakEvents1 = options->addAction(QStringLiteral("Speak Events"), this, [this] {
    session_.SpeakEvents1Click();
    refresh();
  });
  SpeakEvents1->setCheckable(true);
  SpeakChatter1 = options->addAction(QStringLiteral("Speak Tobo's Chatter"), this, [this] {
    session_.SpeakChatter1Click();
    refresh();
  });
  SpeakChatter1->setCheckable(true);
  options->addSeparator();
  options->addAction(QStringLiteral("Text Color"), this, [this] {
    const Rgb rgb = rgbOf(session_.chatColour());
    const QColor chosen = QColorDialog::getColor(QColor(rgb.red, rgb.green, rgb.blue), this);
    if (!chosen.isValid()) return;
    session_.textColor(static_cast<Colour>(chosen.red()) |
                       (static_cast<Colour>(chosen.green()) << 8) |
                       (static_cast<Colour>(chosen.blue()) << 16));
    refresh();
  });
  QMenu* textSize = options->addMenu(QStringLiteral("Text Size"));
  for (std::size_t i = 0; i < kTextSizes.size(); ++i) {
    const int size = kTextSizes[i];
    textSizes_[i] = textSize->addAction(QString::number(size), this, [this, size] {
      session_.textSize(size);
      refresh();
    });
    textSizes_[i]->setCheckable(true);
  }
  ScrollChatOff1 = options->addAction(QStringLiteral("Scroll Chat Off"), this, [this] {
    session_.chat().toggleScrollChatOff();
    refresh();
  });
  ScrollChatOff1->setCheckable(true);
  ScrollChatOff1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  options->addAction(QStringLiteral("Clear Main Chat"), this, [this] {
    session_.chat().clear();
    panel_chat->focusInput();
  });
  options->addAction(QStringLiteral("Reset Screen Location"), this, [this] {
    // Written only when the window closes.
    move(3, 3);
    resize(790, 580);
  });
  options->addSeparator();
  JustWatch1 = options->addAction(QStringLiteral("Just Watch"), this, [this] {
    session_.JustWatch1Click();
    refresh();  // the check mark waits for the table's answer
  });
  JustWatch1->setCheckable(true);

  Tiles1 = menuBar()->addMenu(QStringLiteral("&Tiles"));
  grouptilesmenu();

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->addAction(QStringLiteral("View Tally"), this, [this] {
    session_.loadchecklist();
    if (parts_.tallyList) parts_.tallyList->show();
  });
  view->addAction(QStringLiteral("Spy List"), this, [this] {
    if (parts_.spyList) parts_.spyList->show();
  });
  view->addAction(QStringLiteral("Phrase List"), this, [this] {
    if (parts_.phraseEditor) parts_.phraseEditor->show();
  });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  QAction* content = help->addAction(QStringLiteral("Content"), this, [this] {
    if (parts_.help) parts_.help->show();
  });
  content->setShortcut(QKeySequence(Qt::Key_F1));
  help->addSeparator();
  help->addAction(QStringLiteral("About"), this, [this] {
    if (parts_.about) parts_.about->show();
  });
}

void Tchat::buildRoster(QWidget* central) {
  const std::array<QPoint, 4> panels = {QPoint{443, 145}, {610, 145}, {443, 191}, {610, 191}};
  const std::array<QPoint, 4> names = {QPoint{455, 149}, {622, 149}, {455, 195}, {622, 195}};
  const std::array<QPoint, 4> scores = {QPoint{563, 149}, {729, 149}, {563, 195}, {729, 195}};
  const std::array<QPoint, 4> bonuses = {QPoint{460, 166}, {627, 164}, {460, 214}, {627, 212}};
  const std::array<QPoint, 4> gauges = {QPoint{595, 145}, {762, 145}, {595, 193}, {762, 193}};
  const qreal dpr = devicePixelRatioF();
  for (int i = 0; i < 4; ++i) {
    Seat& seat = seats_[static_cast<std::size_t>(i)];
    seat.panel = new QLabel(central);
    seat.panel->setGeometry(QRect(panels[i], kSeatPanelSize));
    seat.panel->setPixmap(seatPanelPicture(kSeatPanelSize, dpr));
    seat.name = textLabel(central, QRect(names[i], QSize(107, 16)), 13, true);
    seat.name->setObjectName(QStringLiteral("label_playername%1").arg(i + 1));
    seat.name->setContextMenuPolicy(Qt::CustomContextMenu);
    const int number = i + 1;
    QObject::connect(seat.name, &QLabel::customContextMenuRequested, this,
                     [this, number](const QPoint& at) { seatMenu(number, at); });
    seat.score = textLabel(central, QRect(scores[i], QSize(40, 16)), 13, true);
    seat.score->setObjectName(QStringLiteral("label_score%1").arg(i + 1));
    seat.bonus = textLabel(central, QRect(bonuses[i], QSize(130, 16)), 11, false);
    seat.eyes = new QLabel(central);
    seat.eyes->setGeometry(QRect(names[i] - QPoint(kEyesSize.width() - 2, -3), kEyesSize));
    seat.eyes->setPixmap(eyesPicture(dpr));
    seat.gauge = new QLabel(central);
    seat.gauge->setGeometry(gauges[i].x(), gauges[i].y(), 12, 41);
  }
  label_team1 = textLabel(central, {442, 128, 155, 16}, 13, true, Qt::AlignCenter);
  label_team2 = textLabel(central, {611, 128, 155, 16}, 13, true, Qt::AlignCenter);
  setColour(label_team1, Qt::white);
  setColour(label_team2, kTeamColour);
  image_Turn = new QLabel(central);
  image_Turn->resize(kTurnMarkerSize);
  image_Turn->setPixmap(turnMarkerPicture(dpr));
  image_Turn->hide();
}

void Tchat::buildChat(QWidget* central) {
  panel_chat = new ChatPanel(session_, central);
  panel_chat->sent = [this] { wakeDispatch(); };
  panel_chat->changed = [this] { refresh(); };
  panel_chat->tell = [this](std::string_view text) { messageBox(text); };
}

// ---- drawing the session

void Tchat::refresh() {
  const board::BoardPlay& play = session_.board();
  const board::TableView& view = play.view();
  const ClientSettings& settings = session_.settings();

  StartGame1->setEnabled(session_.startGameEnabled());
  const std::string& code = session_.inviteCode();
  CopyInviteCode1->setVisible(!code.empty());
  const QString title =
      code.empty()
          ? QStringLiteral("Zandu Pelix")
          : QStringLiteral("Zandu Pelix - invite code %1").arg(q(net::inviteCodeText(code)));
  if (windowTitle() != title) setWindowTitle(title);
  const std::string& status = session_.connectionStatus();
  if (connectionStatus_->text() != q(status)) connectionStatus_->setText(q(status));
  statusBar()->setVisible(!status.empty());
  stopReconnecting_->setVisible(session_.reconnecting());
  PlaySounds1->setChecked(settings.Playsounds);
  PlayChatterSounds1->setChecked(settings.ChatterSounds);
  turnSounds_[0]->setChecked(settings.Turnsound == client::TurnSound::Classic);
  turnSounds_[1]->setChecked(settings.Turnsound == client::TurnSound::Default);
  turnSounds_[2]->setChecked(settings.Turnsound == client::TurnSound::New);
  PostWordsinChatBox1->setChecked(settings.Postwordsinchatbox);
  SpeakEvents1->setChecked(settings.SpeakEvents);
  SpeakChatter1->setChecked(settings.SpeakChatter);
  const int size = session_.chat().styles()[kSystemStyle].size;
  for (std::size_t i = 0; i < kTextSizes.size(); ++i)
    textSizes_[i]->setChecked(kTextSizes[i] == size);
  ScrollChatOff1->setChecked(session_.chat().scrollChatOff());
  JustWatch1->setChecked(session_.justWatchChecked());

  panel_board->sync();

  for (int n = 1; n <= 4; ++n) {
    const board::SeatView& s = play.seat(n);
    Seat& seat = seats_[static_cast<std::size_t>(n - 1)];
    seat.name->setText(s.away ? gui::shownText(s.name) + QStringLiteral(" (away)")
                              : gui::shownText(s.name));
    seat.score->setText(gui::shownText(s.score));
    seat.bonus->setText(gui::shownText(s.lastWord));
    // Team B's seats in the team colour; a deeper shade of it, so it reads on the pale panel.
    const QColor colour = s.teamColour ? kTeamColour.darker(210) : QColor(Qt::black);
    for (QLabel* label : {seat.name, seat.score, seat.bonus}) setColour(label, colour);
    seat.eyes->setVisible(s.eyes);
    // What a screen reader says of the seat; a change is announced as a new name.
    QString said = QStringLiteral("empty seat");
    if (!s.empty()) {
      // A new game shows no score until the first word: nothing scored yet.
      said = gui::shownText(s.name) + QStringLiteral(", score ") +
             (s.score.empty() ? QStringLiteral("0") : gui::shownText(s.score));
      if (view.teamsShown)
        said += s.teamColour ? QStringLiteral(", team B") : QStringLiteral(", team A");
      if (s.away) said += QStringLiteral(", away");
      if (view.turnPlayer == n) said += QStringLiteral(", has the turn");
    }
    if (seat.panel->accessibleName() != said) seat.panel->setAccessibleName(said);
    if (seat.shownGauge != s.gauge) {
      seat.shownGauge = s.gauge;
      seat.gauge->setPixmap(board::shuffleGaugePicture(s.gauge, devicePixelRatioF()));
    }
  }
  label_team1->setText(gui::shownText(view.team1));
  label_team2->setText(gui::shownText(view.team2));
  label_team1->setVisible(view.teamsShown);
  label_team2->setVisible(view.teamsShown);
  if (view.winnerShown) image_Turn->hide();
  if (view.turnPlayer >= 1 && view.turnPlayer <= 4) {
    const QLabel* name = seats_[static_cast<std::size_t>(view.turnPlayer - 1)].name;
    image_Turn->move(name->pos() - QPoint(12, 3));
    image_Turn->show();
  }

  panel_chat->sync();

  const int own = session_.own();
  if (view.turnPlayer != turnSeen_) {
    turnSeen_ = view.turnPlayer;
    if (own != 0 && turnSeen_ == own) {
      panel_board->resetTyping();
      // The keyboard goes to the board unless the player is writing in the chat.
      if (panel_chat->inputIdle()) panel_board->board()->setFocus(Qt::OtherFocusReason);
      if (!isActiveWindow()) QApplication::alert(this);
    }
  }

  if (view.clockRunning && !Timer2.isActive()) Timer2.start();
  if (!view.clockRunning) Timer2.stop();
  if (parts_.refreshed) parts_.refreshed();
}

// ---- events

void Tchat::processparams(const std::vector<std::string>& params) {
  session_.processparams(params);
  refresh();
  // A table that could not open leaves nothing to do here.
  if (listenFailed_) closeWindow();
}

void Tchat::Timer1Timer() {
  session_.Timer1Timer();
  if (session_.inboxHasRoom() && connection_) connection_->resumeReading();
  refresh();
  if (!session_.dispatchBusy()) {
    Timer1.stop();
    return;
  }
  // Messages still waiting after a tick's budget: the next tick comes as soon as the event
  // loop has drawn and taken input, so a burst is caught up in time, not in ticks.
  Timer1.setInterval(session_.messagesWaiting() ? 0 : kDispatchMs);
}

void Tchat::wakeDispatch() {
  if (modal_ == 0 && session_.dispatchBusy() && !Timer1.isActive()) {
    Timer1.setInterval(kDispatchMs);
    Timer1.start();
  }
}

void Tchat::connectionInfo(const QString& text) {
  if (text == QLatin1String(net::GameConnection::kConnected)) {
    connected_ = true;
  } else if (!connected_ && text.startsWith(QLatin1String(net::GameConnection::kSocketError))) {
    session_.connectionFailed(
        parts_.port,
        text.mid(static_cast<qsizetype>(std::strlen(net::GameConnection::kSocketError)))
            .toStdString());
    refresh();
  } else if (text == QLatin1String(net::GameConnection::kSocketClosed) && connected_) {
    session_.sockInfo(kSocketClosed);
    // What arrived before the close is dispatched first; the last tick closes the window.
    wakeDispatch();
    refresh();
  }
}

void Tchat::seatMenu(int seat, const QPoint& at) {
  const SeatMenu items = session_.label_playername1ContextPopup(seat);
  QMenu menu(this);
  menu.setAccessibleName(QStringLiteral("Seat menu"));
  QAction* remove = menu.addAction(QStringLiteral("Remove From Game"), this,
                                   [this] { session_.RemoveFromGame1Click(); });
  QAction* set = menu.addAction(QStringLiteral("Set to Just Watch"), this,
                                [this] { session_.SettoJustWatch1Click(); });
  QAction* unset = menu.addAction(QStringLiteral("Unset Just Watch"), this,
                                  [this] { session_.UnsetJustWatch1Click(); });
  remove->setEnabled(items.removeFromGame);
  set->setEnabled(items.setToJustWatch);
  unset->setEnabled(items.unsetJustWatch);
  menu.addSeparator();
  gui::addPlayerItems(
      menu, items, [this] { session_.IgnoreClick(); },
      [this](int minutes) { session_.MuteClick(minutes); });
  menu.exec(seats_[static_cast<std::size_t>(seat - 1)].name->mapToGlobal(at));
}

void Tchat::grouptilesmenu() {
  // Beside the program in a build tree; under share/ when the game is installed.
  const QString program = QCoreApplication::applicationDirPath();
  QStringList folders{program + QStringLiteral("/zandutiles"),
                      program + QStringLiteral("/../share/zandupelix/zandutiles")};
  // An installation the user cannot write to takes their own sets from their data folder.
  const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!user.isEmpty()) folders << user + QStringLiteral("/zandutiles");
  tileSets_ = board::findTileSets(folders);
  auto* group = new QActionGroup(this);
  // The built-in sets first, then those found in files.
  for (const QString& name : {QStringLiteral("classic"), QStringLiteral("contrast")}) {
    QAction* item = Tiles1->addAction(name);
    item->setCheckable(true);
    item->setChecked(name == QLatin1String("classic"));
    item->setData(name);
    group->addAction(item);
    QObject::connect(item, &QAction::triggered, this, [this, name] {
      loadgrouptiles(name);
      session_.setTiles(name.toStdString());
    });
  }
  if (!tileSets_.isEmpty()) Tiles1->addSeparator();
  for (const board::TileSetFile& set : tileSets_) {
    QAction* item = Tiles1->addAction(board::tileSetMenuText(set.name));
    item->setCheckable(true);
    item->setData(set.name);
    group->addAction(item);
    QObject::connect(item, &QAction::triggered, this, [this, name = set.name] {
      loadgrouptiles(name);
      session_.setTiles(name.toStdString());
    });
  }
}

void Tchat::loadgrouptiles(const QString& name) {
  const bool classic = name.compare(QLatin1String("classic"), Qt::CaseInsensitive) == 0;
  if (classic || name.compare(QLatin1String("contrast"), Qt::CaseInsensitive) == 0) {
    const QString builtIn = classic ? QStringLiteral("classic") : QStringLiteral("contrast");
    for (QAction* item : Tiles1->actions()) item->setChecked(item->data().toString() == builtIn);
    const qreal dpr = devicePixelRatioF();
    panel_board->setTiles(classic ? board::TileSet::classic(dpr) : board::TileSet::contrast(dpr));
    return;
  }
  for (const board::TileSetFile& set : tileSets_) {
    if (set.name.compare(name, Qt::CaseInsensitive) != 0) continue;
    board::TileSetLoad load = board::loadTileSet(set.path);
    if (!load.ok()) {
      std::fprintf(stderr, "zandupelix: %s\n", load.error.toLocal8Bit().constData());
      return;
    }
    for (QAction* item : Tiles1->actions()) item->setChecked(item->data().toString() == set.name);
    // The board and the rack are drawn again, a pick in progress included.
    panel_board->setTiles(std::move(load.set));
    return;
  }
}

void Tchat::leave() {
  leaving_ = true;
  close();
}

bool Tchat::leaveAsked() {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Zandu Pelix"), q(kLeaveQuestion),
                  QMessageBox::Yes | QMessageBox::No, this);
  // Enter or Escape pressed by habit keeps the game.
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  ++modal_;
  Timer1.stop();
  const bool leave = box.exec() == QMessageBox::Yes;
  --modal_;
  wakeDispatch();
  return leave;
}

void Tchat::closeEvent(QCloseEvent* event) {
  if (!leaving_ && session_.board().gameOn() && !leaveAsked()) {
    event->ignore();
    return;
  }
  const QRect work = screen() ? screen()->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  session_.FormClose(windowBounds(), work.width(), work.height());
  event->accept();
  // Closing the main window ends the program, whatever other window is open.
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

// ---- the shell

std::optional<std::string> Tchat::listen() {
  if (!parts_.table) {
    listenFailed_ = true;
    return std::string("Listen - Error Starting Listen");
  }
  std::optional<std::string> failure = parts_.table->listen(parts_.port);
  listenFailed_ = failure.has_value();
  return failure;
}

void Tchat::connect(std::string_view address) {
  // A connection that has ended, or an attempt that did not come about, reports nothing more.
  if (connection_) {
    connection_->disconnect(this);
    connection_->abort();
    connection_->deleteLater();
  }
  connection_ = new net::GameConnection(this);
  connected_ = false;
  net::GameConnection* connection = connection_;
  QObject::connect(connection, &net::GameConnection::OnRead, this,
                   [this, connection](const QByteArray& bytes) {
                     session_.bytesReceived(std::string_view(bytes.constData(), bytes.size()));
                     // A table faster than the dispatch waits in TCP, not in the inbox.
                     if (!session_.inboxHasRoom()) connection->pauseReading();
                     wakeDispatch();
                   });
  QObject::connect(connection, &net::GameConnection::OnInfo, this, &Tchat::connectionInfo);
  // Coming back, an address that does not answer soon is tried again later.
  if (session_.reconnecting())
    connection->setConnectTimeout(
        static_cast<int>(std::chrono::milliseconds(kReconnectAttemptTime).count()));
  // "CODE@DIRECTORY": the table an invite code names, wherever the directory finds it.
  if (const std::optional<net::InviteAddress> invite = net::parseInviteAddress(address))
    return connection->connectByCode(q(invite->directoryHost), invite->directoryPort, invite->code);
  // "HOST", "HOST:PORT", "[IPv6]:PORT"; anything else is tried as a host name as it stands.
  const std::optional<net::HostPort> where = net::parseHostPort(address, parts_.port);
  if (!where) return connection->connectToHost(q(address), parts_.port);
  connection->connectToHost(q(where->host), parts_.portFixed ? parts_.port : where->port);
}

void Tchat::reconnectIn(std::chrono::milliseconds delay) {
  reconnectTimer_.start(delay);
}

void Tchat::buildReconnectBar() {
  connectionStatus_ = new QLabel(this);
  connectionStatus_->setObjectName(QStringLiteral("connection_status"));
  stopReconnecting_ = new QPushButton(QStringLiteral("Stop Reconnecting"), this);
  stopReconnecting_->setObjectName(QStringLiteral("button_stopreconnecting"));
  stopReconnecting_->setAccessibleDescription(
      QStringLiteral("Gives up coming back to the table (Escape)"));
  stopReconnecting_->setShortcut(QKeySequence(Qt::Key_Escape));
  QObject::connect(stopReconnecting_, &QPushButton::clicked, this, [this] {
    reconnectTimer_.stop();
    session_.stopReconnecting();
    refresh();
  });
  statusBar()->addWidget(connectionStatus_, 1);
  statusBar()->addPermanentWidget(stopReconnecting_);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->hide();
}

void Tchat::openLobbyLink() {
  // A link the lobby may accept: it first sends the token the lobby handed this game (so the
  // lobby knows it for one of its own), then nothing more. The lobby sends the code a
  // directory gave the table this window hosts; anything else it sends is passed over.
  lobbyLink_ = new net::GameConnection(this);
  const std::string proof = parts_.lobbyToken + net::kTerminator;
  net::GameConnection* link = lobbyLink_;
  if (!parts_.lobbyToken.empty()) {
    QObject::connect(link, &net::GameConnection::OnInfo, link, [link, proof](const QString& text) {
      if (text == net::GameConnection::kConnected) link->send(proof);
    });
    QObject::connect(link, &net::GameConnection::OnRead, this, &Tchat::lobbySaid);
  }
  link->connectToHost(QStringLiteral("127.0.0.1"), parts_.lobbyPort);
}

void Tchat::lobbySaid(const QByteArray& bytes) {
  const std::string_view read(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  lobbyNews_.feed(read, [this](std::string&& message) {
    const net::SplitMessage split = net::splitMessage(message);
    if (split.command != net::cmd::invitecode) return;
    if (auto news = net::from_lobby::parseInviteCode(split.args)) {
      session_.setInviteCode(std::move(news->code));
      refresh();
    }
  });
}

void Tchat::showLauncher() {
  if (!parts_.launcher) return;
  parts_.launcher->show();
  parts_.launcher->raise();
}

void Tchat::send(std::string_view bytes) {
  if (connection_) connection_->send(bytes);
}

void Tchat::closeConnection() {
  if (connection_) connection_->abort();
}

void Tchat::messageBox(std::string_view text) {
  // The dispatch waits while the box is open, so no handler runs inside another.
  ++modal_;
  Timer1.stop();
  QMessageBox::information(this, QStringLiteral("Zandu Pelix"), q(text));
  --modal_;
  wakeDispatch();
}

void Tchat::closeWindow() {
  // The session closes the window when the table is gone or refused us: nothing to ask.
  leaving_ = true;
  QTimer::singleShot(0, this, &QWidget::close);
}

void Tchat::showGameStart() {
  if (parts_.gameStart) parts_.gameStart->show();
}

void Tchat::settingsRead() {
  const ClientSettings& s = session_.settings();
  // A lobby asking our table sees the rules we mean to play by.
  if (parts_.table && session_.isHost())
    parts_.table->advertise(s.Playtoscore, session_.turnSeconds(), s.Computer);
  if (s.LoadsTileSet()) loadgrouptiles(q(s.Tiles));
  move(s.Left, s.Top);
  resize(std::max(s.Width, minimumWidth()), std::max(s.Height, minimumHeight()));
  refresh();
}

Bounds Tchat::windowBounds() const {
  return {x(), y(), width(), height()};
}

}  // namespace zp::client
