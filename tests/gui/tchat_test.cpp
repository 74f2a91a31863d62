// The main window through real widgets offscreen, against real tables on free ports.
#include "gui/Tchat.h"
#include "gui/chat_view.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <fstream>
#include <memory>

#include "app/wiring.h"
#include "client/trace_path.h"
#include "net/catalogue.h"
#include "net/framing.h"
#include "records/tally_table.h"
#include "tests/support/cutting_proxy.h"
#include "tests/support/loopback_client.h"
#include "words/tdictn.h"

namespace zp::client::testing {
namespace {

bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
  return QTest::qWaitFor(done, ms);
}

// Closes every message box as soon as it opens and keeps its text; a box with the button
// `answer` is answered with it.
class BoxCloser : public QObject {
 public:
  BoxCloser() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text());
        if (QAbstractButton* button = box->button(answer))
          button->click();
        else
          box->accept();
      }
    });
    timer_.start();
  }
  QStringList texts;
  QMessageBox::StandardButton answer = QMessageBox::NoButton;

 private:
  QTimer timer_;
};

// One copy of the game: its main window, its tally and, for a host, its table.
struct Copy {
  // `tickMs`: how long a second of the table lasts, so whole games run in moments.
  Copy(const QString& folder, quint16 port, bool hosts, int tickMs = 1000) {
    if (hosts) {
      server::TServer::Options options;
      options.dictionaryFile = (folder + "/English").toStdString();
      options.seed = 3;
      options.tickMs = tickMs;
      server = std::make_unique<server::TServer>(options);
      table = std::make_unique<app::ServerTableHost>(*server);
    }
    window = std::make_unique<Tchat>(tally, 5);
    gamestart = std::make_unique<windows::Tgamestart>(window.get());
    app::wireGameStart(*window, *gamestart, table.get());
    TchatParts parts;
    parts.table = table.get();
    parts.port = port;
    parts.gameStart = gamestart.get();
    window->setParts(parts);
    window->useSettingsFile(SettingsFile(ProfileFile((folder + "/qelmlobby.ini").toStdString())));
    window->show();
  }
  QString seat(int n) const {
    return window->findChild<QLabel*>(QStringLiteral("label_playername%1").arg(n))->text();
  }
  QString chatText() const { return window->findChild<ChatView*>()->toPlainText(); }

  template <typename Widget = QWidget>
  Widget* find(const QString& name) const {
    return window->findChild<Widget*>(name);
  }
  const board::BoardPlay& play() { return window->session().board(); }

  records::TallyTable tally;
  std::unique_ptr<server::TServer> server;
  std::unique_ptr<app::ServerTableHost> table;
  std::unique_ptr<Tchat> window;
  std::unique_ptr<windows::Tgamestart> gamestart;
};

class MainWindow : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  BoxCloser boxes;
};

TEST_F(MainWindow, ASoloStartLogsInAndASecondCopyJoinsAndChats) {
  Copy host(dir.path(), 0, true);
  host.window->processparams({});
  ASSERT_TRUE(waitUntil([&] { return host.chatText().contains("You are Connected."); }));
  EXPECT_TRUE(host.chatText().startsWith("Loading Solo Game..Please wait."));
  EXPECT_EQ(host.seat(1), "You");

  // The guest's own port leads nowhere: the address on its command line names the table's.
  QTemporaryDir other;
  Copy guest(other.path(), 1, false);
  guest.window->processparams(
      {"<b>Eve</b>", "127.0.0.1:" + std::to_string(host.server->port()), "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "<b>Eve</b>"; }))
      << "a name is shown as the characters typed; the table is found at the port given";
  EXPECT_TRUE(waitUntil([&] { return guest.seat(1) == "You"; }));

  // A line with a smiley and a link, typed and sent with Enter, arrives on both.
  auto* input = guest.window->findChild<QLineEdit*>();
  QTest::keyClicks(input, "hi :)#12 see www.example.org");
  QTest::keyClick(input, Qt::Key_Return);
  for (Copy* copy : {&host, &guest}) {
    ASSERT_TRUE(waitUntil([&] { return copy->chatText().contains("see www.example.org"); }));
    const QString html = copy->window->findChild<ChatView*>()->toHtml();
    EXPECT_TRUE(html.contains("zp-smiley:2"));
    EXPECT_TRUE(html.contains("zp-link:0"));
    EXPECT_FALSE(html.contains("<b>Eve</b>")) << "the name is escaped, never markup";
  }
  EXPECT_TRUE(input->text().isEmpty());
  EXPECT_TRUE(boxes.texts.isEmpty());
}

// The lobby registers the table a copy it started hosts, and hands that copy the code.
TEST_F(MainWindow, ACopyTheLobbyStartedProvesItselfOnItsLobbyLinkAndShowsTheCodeItIsSent) {
  QTcpServer lobby;
  ASSERT_TRUE(lobby.listen(QHostAddress::LocalHost, 0));
  QByteArray said;
  QPointer<QTcpSocket> link;
  QObject::connect(&lobby, &QTcpServer::newConnection, [&] {
    link = lobby.nextPendingConnection();
    QObject::connect(link, &QTcpSocket::readyRead, [&said, &link] { said += link->readAll(); });
  });
  Copy guest(dir.path(), 1, false);
  TchatParts parts;
  parts.port = 1;
  parts.lobbyPort = lobby.serverPort();
  parts.lobbyToken = "4f1c0e9a";
  guest.window->setParts(parts);
  guest.window->processparams({"Ann", "127.0.0.1:1", "false"});
  EXPECT_TRUE(waitUntil([&] { return said == "4f1c0e9a\xFF"; })) << said.toStdString();

  // What it does not know is passed over; the code may come in pieces.
  auto* copyCode = guest.window->findChild<QAction*>("CopyInviteCode1");
  ASSERT_TRUE(copyCode);
  EXPECT_FALSE(copyCode->isVisible());
  ASSERT_TRUE(link);
  link->write(
      "CMD_somethingnew+1+\xFF"
      "CMD_invitecode+K7Q");
  link->write("2M9+\xFF");
  ASSERT_TRUE(waitUntil([&] { return copyCode->isVisible(); }));
  EXPECT_EQ(guest.window->windowTitle(), "Zandu Pelix - invite code K7Q-2M9");
  EXPECT_TRUE(guest.chatText().contains("Your table's invite code is K7Q-2M9"));
  EXPECT_EQ(copyCode->text(), "Copy Invite Code");
  copyCode->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "K7Q-2M9");

  // A code that does not read changes nothing; the table's code ending takes it away.
  link->write(
      "CMD_invitecode+K0Q2M9+\xFF"
      "CMD_invitecode++\xFF");
  ASSERT_TRUE(waitUntil([&] { return !copyCode->isVisible(); }));
  EXPECT_EQ(guest.window->windowTitle(), "Zandu Pelix");
  EXPECT_TRUE(guest.chatText().contains("Your table no longer has an invite code."));
  EXPECT_EQ(guest.chatText().count("invite code is"), 1);
}

// The game's own table waits for the window to host, so the word file is written after the
// window shows; a window that only joins never writes one.
TEST_F(MainWindow, TheTableAndItsWordFileComeWhenTheWindowHosts) {
  struct Window {
    Window(const QString& folder, quint16 port) : table(optionsIn(folder)), window(tally, 5) {
      TchatParts parts;
      parts.table = &table;
      parts.port = port;
      window.setParts(parts);
      window.show();
    }
    static server::TServer::Options optionsIn(const QString& folder) {
      server::TServer::Options options;
      options.dictionaryFile = (folder + "/English").toStdString();
      return options;
    }
    const std::string& seat(int n) { return window.session().board().seat(n).name; }
    records::TallyTable tally;
    app::ServerTableHost table;
    Tchat window;
  };
  Window host(dir.path(), 0);
  host.table.setComputerStrength(ComputerStrength::Strong);
  EXPECT_EQ(host.table.server(), nullptr);
  EXPECT_FALSE(QFile::exists(dir.path() + "/English"));

  host.window.processparams({});
  ASSERT_TRUE(waitUntil([&] { return host.seat(1) == "You"; }));
  ASSERT_NE(host.table.server(), nullptr);
  EXPECT_TRUE(QFile::exists(dir.path() + "/English"));
  EXPECT_EQ(host.table.server()->table().computerStrength(), ComputerStrength::Strong)
      << "a strength chosen before the table existed";

  QTemporaryDir other;
  Window guest(other.path(), host.table.server()->port());
  guest.window.processparams({"Bo", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "Bo"; }));
  EXPECT_EQ(guest.table.server(), nullptr);
  EXPECT_TRUE(QDir(other.path()).entryList({"English*"}).isEmpty());
  EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(MainWindow, TheHostRemovesAPlayerWhoseWindowCloses) {
  Copy host(dir.path(), 0, true);
  host.window->processparams({"Ann", "10.0.0.5", "true"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(1) == "Ann"; }));
  QTemporaryDir other;
  Copy guest(other.path(), host.server->port(), false);
  guest.window->processparams({"Bo", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "Bo"; }));
  host.window->session().label_playername1ContextPopup(2);
  host.window->session().RemoveFromGame1Click();
  EXPECT_TRUE(waitUntil([&] { return !guest.window->isVisible(); }));
  EXPECT_TRUE(waitUntil([&] { return host.seat(2) == "Tobo"; }));
}

// A router between Bob and the table restarts in the middle of a game: Bob's window stays,
// comes back to his seat by itself, and a table that closes on purpose is not waited for.
TEST_F(MainWindow, ADroppedWindowComesBackToItsSeatThroughTheSameRoute) {
  Copy host(dir.path(), 0, true);
  host.window->processparams({"Ann", "10.0.0.5", "true"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(1) == "Ann"; }));
  zp::testing::CuttingProxy router(host.server->port());
  QTemporaryDir other;
  Copy bob(other.path(), router.port(), false);
  bob.window->processparams({"Bob", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "Bob" && bob.seat(1) == "Ann"; }));
  host.window->session().gamestartStart();
  ASSERT_TRUE(waitUntil([&] { return bob.play().gameOn(); }));
  QTest::keyClicks(bob.window->findChild<QLineEdit*>(), "typed meanwhile");

  router.cut();
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "Bob (away)"; }));
  EXPECT_TRUE(
      host.chatText().contains("Bob lost the connection; the seat is kept for 90 seconds."));
  ASSERT_TRUE(waitUntil([&] { return bob.window->session().reconnecting(); }));
  auto* stop = bob.find<QPushButton>("button_stopreconnecting");
  EXPECT_TRUE(stop->isVisible());
  EXPECT_TRUE(bob.find<QLabel>("connection_status")->text().startsWith("Connection lost."));
  EXPECT_TRUE(bob.chatText().contains("The connection to the table was lost. Reconnecting..."));

  ASSERT_TRUE(waitUntil([&] { return bob.chatText().contains("You are back in your seat."); }));
  EXPECT_TRUE(waitUntil([&] { return host.chatText().contains("Bob is back."); }));
  EXPECT_EQ(host.seat(2), "Bob");
  EXPECT_EQ(bob.seat(2), "Bob");
  EXPECT_TRUE(bob.play().gameOn());
  EXPECT_FALSE(stop->isVisible());
  EXPECT_FALSE(bob.window->statusBar()->isVisible());
  EXPECT_EQ(bob.window->findChild<QLineEdit*>()->text(), "typed meanwhile");

  // Cut again, and Bob gives up with Escape: the window stays to be read.
  router.cut();
  ASSERT_TRUE(waitUntil([&] { return stop->isVisible(); }));
  bob.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(bob.window.get()));
  QTest::keyClick(bob.window->windowHandle(), Qt::Key_Escape);
  EXPECT_TRUE(waitUntil([&] { return !bob.window->session().reconnecting(); }));
  EXPECT_TRUE(bob.chatText().contains("You stopped reconnecting."));
  QTest::qWait(1500);
  EXPECT_EQ(host.seat(2), "Bob (away)") << "no attempt after giving up";
  EXPECT_TRUE(bob.window->isVisible());

  // Back once more from the lobby's side is another matter; here the host closes the table on
  // purpose, and a window that is at it closes rather than waiting for it.
  QTemporaryDir third;
  Copy cy(third.path(), router.port(), false);
  cy.window->processparams({"Cy", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(3) == "Cy"; }));
  host.gamestart.reset();
  host.window.reset();
  host.table.reset();
  host.server.reset();
  EXPECT_TRUE(waitUntil([&] { return !cy.window->isVisible(); }));
  EXPECT_FALSE(cy.window->session().reconnecting());
}

// A table without a window of its own, as a directory lists it: whoever the table makes its
// host starts the games from their window, and keeps order.
TEST_F(MainWindow, AtAHeadlessTableTheHostsWindowStartsGamesAndTheRolePassesOn) {
  server::TServer::Options options;
  options.dictionaryFile = (dir.path() + "/English").toStdString();
  options.tableName = "Thursday club";
  server::TServer table(options);
  ASSERT_TRUE(table.listen(0));
  QTemporaryDir a, b, c;
  Copy ann(a.path(), table.port(), false);
  Copy bob(b.path(), table.port(), false);
  Copy cy(c.path(), table.port(), false);
  ann.window->processparams({"Ann", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return ann.window->session().isHost(); }));
  bob.window->processparams({"Bob", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return bob.seat(2) == "Bob"; }));
  cy.window->processparams({"Cy", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return ann.seat(3) == "Cy" && bob.seat(3) == "Cy"; }));
  EXPECT_TRUE(cy.chatText().contains("Ann is the host."));

  // What a hosting window has, and only there.
  for (Copy* copy : {&ann, &bob, &cy}) {
    const bool host = copy == &ann;
    EXPECT_EQ(copy->find<QAction>("StartGame1")->isEnabled(), host);
    EXPECT_EQ(copy->find<QAbstractButton>("button_start")->isVisible(), host);
  }
  ann.window->session().gamestartStart();
  ASSERT_TRUE(waitUntil([&] { return cy.play().gameOn() && bob.play().gameOn(); }));

  // Bob ignores Ann; Ann mutes Cy.
  bob.window->session().ignore(1);
  ann.window->session().mute(3, 5);
  ASSERT_TRUE(waitUntil([&] { return bob.chatText().contains("Cy is muted for 5 minutes."); }));
  cy.window->session().input().keyDown();
  cy.window->session().input().edit("can anyone hear me");
  cy.window->session().sendit();
  ann.window->session().input().keyDown();
  ann.window->session().input().edit("hello from Ann");
  ann.window->session().sendit();
  ASSERT_TRUE(waitUntil([&] { return cy.chatText().contains("hello from Ann"); }));
  EXPECT_TRUE(waitUntil([&] { return ann.chatText().contains("hello from Ann"); }));
  EXPECT_FALSE(bob.chatText().contains("hello from Ann")) << "ignored in Bob's window only";
  for (Copy* copy : {&ann, &bob, &cy})
    EXPECT_FALSE(copy->chatText().contains("can anyone hear me")) << "muted: relayed to nobody";

  // Ann leaves; the table makes Bob, seated longest, the host, and every window hears it.
  ann.gamestart.reset();
  ann.window.reset();
  ASSERT_TRUE(waitUntil([&] { return bob.window->session().isHost(); }));
  EXPECT_TRUE(waitUntil([&] { return cy.chatText().contains("Bob is the host now."); }));
  EXPECT_TRUE(bob.chatText().contains("You are the host now, and you start the games."));
  EXPECT_TRUE(bob.find<QAction>("StartGame1")->isEnabled());
  EXPECT_FALSE(cy.window->session().isHost());
  EXPECT_EQ(table.table().tableInfo().name, "Thursday club");
  bob.window->session().gamestartStart();
  EXPECT_TRUE(waitUntil([&] { return cy.chatText().contains("Bob has started a game."); }));
}

TEST_F(MainWindow, AFullTableSaysSoAndAJoinThatCannotConnectSaysWhy) {
  server::TServer::Options options;
  options.dictionaryFile = (dir.path() + "/English").toStdString();
  server::TServer table(options);
  ASSERT_TRUE(table.listen(0));
  std::vector<std::unique_ptr<zp::testing::LoopbackClient>> nine;
  for (int n = 1; n <= 9; ++n) {
    nine.push_back(std::make_unique<zp::testing::LoopbackClient>(table.port()));
    ASSERT_TRUE(nine.back()->waitFor("CMD_sendlogininfo+" + std::to_string(n)));
  }
  QTemporaryDir other;
  Copy tenth(other.path(), table.port(), false);
  tenth.window->processparams({"Cy", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return !tenth.window->isVisible(); }));
  EXPECT_EQ(boxes.texts, QStringList{"Game is full"});

  // Nobody listens on this port any more.
  const quint16 gone = table.port();
  nine.clear();
  QTemporaryDir third;
  Copy lost(third.path(), 1, false);
  lost.window->processparams({"Di", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return lost.chatText().contains("Cannot reach the table"); }));
  EXPECT_TRUE(lost.chatText().contains("127.0.0.1, port 1:"));
  EXPECT_TRUE(lost.window->isVisible()) << "the window stays to say why";
  (void)gone;
}

TEST_F(MainWindow, SettingsWrittenByOneRunAreReadByTheNext) {
  const std::string path = (dir.path() + "/qelmlobby.ini").toStdString();
  auto slurp = [&] {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  // Another program's spelling of our keys, and no window size at all: a window that was
  // neither moved nor resized leaves every byte as it was.
  const std::string another =
      "[Lobby]\r\nPath=C:\\Games\\lobby\r\nList=a,b\r\n; kept\r\n"
      "[ZanduPelix]\r\nPlaysounds=FALSE\r\nTextsize=12\r\n";
  std::ofstream(path, std::ios::binary) << another;
  {
    Copy unmoved(dir.path(), 0, true);
    unmoved.window->processparams({"Ann", "x", "true"});
    ASSERT_TRUE(waitUntil([&] { return unmoved.chatText().contains("You are Connected."); }));
    ASSERT_TRUE(unmoved.window->session().settings().Playsounds);
    unmoved.window->close();
    EXPECT_FALSE(unmoved.window->isVisible());
  }
  EXPECT_EQ(slurp(), another);

  std::ofstream(path, std::ios::binary)
      << "[Lobby]\r\nPath=C:\\Games\\lobby\r\nList=a,b\r\n; kept\r\n";
  {
    Copy first(dir.path(), 0, true);
    first.window->processparams({"Ann", "x", "true"});
    ASSERT_TRUE(waitUntil([&] { return first.chatText().contains("You are Connected."); }));
    first.window->session().textSize(12);
    first.window->session().PostWordsinChatBox1Click();
  }
  const std::string text = slurp();
  EXPECT_EQ(text.rfind("[Lobby]\r\nPath=C:\\Games\\lobby\r\nList=a,b\r\n; kept\r\n", 0), 0u)
      << text;

  Copy second(dir.path(), 0, true);
  second.window->processparams({"Ann", "x", "true"});
  ASSERT_TRUE(waitUntil([&] { return second.chatText().contains("You are Connected."); }));
  EXPECT_EQ(second.window->session().chat().styles()[0].size, 12);
  EXPECT_TRUE(second.window->session().settings().Postwordsinchatbox);
}

TEST(ChatViewColours, AnEarlierLineTakesItsPlayersNewColourSoonAfter) {
  ChatModel chat;
  ChatView view(chat);
  chat.chatrecieved(1, "Ann chats: first", "clNavy");
  chat.chatrecieved(2, "Bo chats: other", "clGreen");
  chat.chatrecieved(1, "Ann chats: second", "clRed");
  auto colourOf = [&](const QString& word) {
    const QTextCursor found = view.document()->find(word);
    QTextCursor at(view.document());
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat().foreground().color();
  };
  EXPECT_TRUE(waitUntil([&] { return colourOf("first") == QColor(Qt::red); }, 2000));
  EXPECT_EQ(colourOf("other"), QColor(0x00, 0x80, 0x00))
      << "another player's line keeps its colour";
  EXPECT_EQ(colourOf("second"), QColor(Qt::red));
}

TEST(ChatViewLines, ALineOfSmileysAndALinkArrive) {
  ChatModel chat;
  ChatView view(chat);
  std::string line = "Ann chats: ";
  for (int k = 0; k < 1630; ++k) line += ":)#10";
  chat.chatrecieved(1, line + "end", "clNavy");
  const QTextBlock block = view.document()->lastBlock();
  int images = 0;
  for (auto it = block.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isImageFormat()) images += it.fragment().length();
  EXPECT_EQ(images, kMaxSmileysPerLine);
  EXPECT_TRUE(block.text().startsWith(QStringLiteral("Ann chats: ")));
  EXPECT_TRUE(block.text().endsWith(QStringLiteral("end ")));

  // A link's anchor carries the number of its own text, which a later link never takes.
  for (int k = 0; k < 120; ++k)
    chat.chatrecieved(1, "Ann chats: www.s" + std::to_string(k) + ".org", "clNavy");
  qint64 clicked = -1;
  QObject::connect(&view, &ChatView::linkClicked, [&](qint64 n) { clicked = n; });
  const QTextCursor found = view.document()->find(QStringLiteral("www.s3.org"));
  QTextCursor at(view.document());
  at.setPosition(found.selectionStart() + 1);
  emit view.anchorClicked(QUrl(at.charFormat().anchorHref()));
  ASSERT_GE(clicked, 0);
  EXPECT_EQ(chat.linkAddress(clicked), "http://www.s3.org");
}

TEST(ChatViewLines, TheLinesTheChatDroppedLeaveTheViewSoonAfter) {
  ChatModel chat(ChatLimits{.maxParagraphs = 3});
  ChatView view(chat);
  for (int k = 0; k < 10; ++k)
    chat.chatrecieved(1, "Ann chats: line " + std::to_string(k), "clNavy");
  ASSERT_TRUE(waitUntil([&] { return view.document()->blockCount() == 3; }, 2000));
  EXPECT_EQ(view.document()->firstBlock().text(), QStringLiteral("Ann chats:  line 7 "));
  chat.clear();
  chat.chatrecieved(1, "Ann chats: again", "clNavy");
  EXPECT_EQ(view.document()->blockCount(), 1);
}

// A word of the computer's list that can be traced on `board`, and its path.
std::optional<std::vector<board::Cell>> findWord(const board::BoardModel& model) {
  std::vector<board::Cell> path;
  std::function<bool(const std::string&, std::size_t)> trace = [&](const std::string& word,
                                                                   std::size_t at) {
    if (at == word.size()) return true;
    for (int a = 0; a < 7; ++a) {
      for (int b = 0; b < 7; ++b) {
        const board::Cell c{a, b};
        if (model.letter(c) != word[at] - 'a' + 1) continue;
        if (!path.empty() && !board::touching(path.back(), c)) continue;
        if (std::find(path.begin(), path.end(), c) != path.end()) continue;
        path.push_back(c);
        if (trace(word, at + 1)) return true;
        path.pop_back();
      }
    }
    return false;
  };
  for (const std::string& word : words::carriedCandidateWords()) {
    if (word.size() < 3 || word.size() > 7) continue;
    path.clear();
    if (trace(word, 0)) return path;
  }
  return std::nullopt;
}

QPoint centreOf(board::Cell c) {
  return board::BoardPaintBox::cellRect(c).center();
}

TEST_F(MainWindow, AWholeGamePlayedWithTheMouseFromTheGameStartDialog) {
  Copy host(dir.path(), 0, true, 25);
  host.window->processparams({});
  ASSERT_TRUE(waitUntil([&] { return host.chatText().contains("You are Connected."); }));

  // The host opens the dialog and starts a game to the lowest score, one minute a turn.
  QTest::mouseClick(host.find(QStringLiteral("button_start")), Qt::LeftButton);
  ASSERT_TRUE(host.gamestart->isVisible());
  for (int i = 0; i < 5; ++i)
    QTest::mouseClick(host.gamestart->findChildren<QToolButton*>()[1], Qt::LeftButton);
  EXPECT_EQ(host.gamestart->findChild<QLabel*>(QStringLiteral("playtoscore"))->text(), "100");
  QTest::mouseClick(host.gamestart->findChild<QPushButton*>(QStringLiteral("Image1")),
                    Qt::LeftButton);
  EXPECT_FALSE(host.gamestart->isVisible());
  ASSERT_TRUE(waitUntil([&] { return host.play().view().turnPlayer == 1; }));
  EXPECT_EQ(host.seat(2), "Tobo");

  // ZP_SCREENSHOTS=folder keeps pictures of the window at the moments a person looks at.
  const QString shots = qEnvironmentVariable("ZP_SCREENSHOTS");
  auto shoot = [&](const char* name) {
    if (!shots.isEmpty()) host.window->grab().save(shots + "/" + name + ".png");
  };
  shoot("1-turn-starts");
  QWidget* paint = host.find(QStringLiteral("paintbox_board"));
  bool joined = false;
  std::unique_ptr<Copy> late;
  QTemporaryDir other;
  int words = 0;
  while (!host.find(QStringLiteral("panel_winner"))->isVisible()) {
    ASSERT_TRUE(waitUntil(
        [&] {
          return host.find(QStringLiteral("panel_winner"))->isVisible() ||
                 host.play().view().doneShown;
        },
        20000));
    if (host.find(QStringLiteral("panel_winner"))->isVisible()) break;

    // Picks that break a rule change nothing and send nothing.
    const auto path = findWord(host.play().model());
    ASSERT_TRUE(path.has_value());
    QTest::mouseClick(paint, Qt::LeftButton, {}, centreOf((*path)[0]));
    const board::Cell far{((*path)[0].a + 3) % 7, ((*path)[0].b + 3) % 7};
    QTest::mouseClick(paint, Qt::LeftButton, {}, centreOf(far));
    EXPECT_EQ(host.play().model().chosenCount(), 1);
    EXPECT_EQ(host.find<QLabel>(QStringLiteral("label_status"))->text(), "Invalid Selection");
    for (std::size_t i = 1; i < path->size(); ++i)
      QTest::mouseClick(paint, Qt::LeftButton, {}, centreOf((*path)[i]));
    EXPECT_EQ(host.play().model().chosenCount(), static_cast<int>(path->size()));
    if (words == 0) shoot("2-a-pick");
    QTest::mouseClick(host.find(QStringLiteral("button_done")), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] {
      return host.find<QLabel>(QStringLiteral("label_status"))->text().startsWith("You: ");
    }));
    ++words;
    EXPECT_EQ(host.find<QLabel>(QStringLiteral("label_score1"))->text(),
              QString::number(host.server->table().player(1).score));
    if (words == 1) shoot("3-a-word-and-the-arrows");
    if (host.find(QStringLiteral("image_direction2"))->isVisible())
      QTest::mouseClick(host.find(QStringLiteral("image_direction2")), Qt::LeftButton);

    if (!joined) {
      // Somebody joins in the middle of the game and is brought up to date.
      joined = true;
      late = std::make_unique<Copy>(other.path(), host.server->port(), false);
      late->window->processparams({"Cy", "127.0.0.1", "false"});
      ASSERT_TRUE(waitUntil([&] { return late->seat(1) == "You"; }));
      // The newcomer takes seat 2 from the computer; the table's state comes in three
      // messages: the board, the scores and clock, the shuffles.
      EXPECT_TRUE(waitUntil([&] { return host.seat(2) == "Cy"; }));
      EXPECT_TRUE(waitUntil([&] {
        return late->play().seat(1).gauge == host.play().seat(1).gauge &&
               late->play().seat(1).gauge >= 0;
      }));
      EXPECT_TRUE(waitUntil(
          [&] { return late->play().model().letters() == host.play().model().letters(); }));
      EXPECT_EQ(late->find<QLabel>(QStringLiteral("label_score1"))->text(),
                host.find<QLabel>(QStringLiteral("label_score1"))->text());
    }
  }
  EXPECT_GE(words, 1);
  ASSERT_TRUE(waitUntil([&] { return host.find(QStringLiteral("panel_winner"))->isVisible(); }));
  EXPECT_EQ(host.find<QLabel>(QStringLiteral("label_status"))->text(), "GAME OVER!");
  shoot("4-the-winner");
  EXPECT_EQ(host.tally.Cell(1, 0), "1") << "the tally counts the game";
  EXPECT_NE(host.tally.Cell(3, 0), "0") << "and the words made";
  EXPECT_TRUE(host.find(QStringLiteral("button_start"))->isVisible());
  // In another player's turn, or after the game, a click on the board does nothing.
  QTest::mouseClick(paint, Qt::LeftButton, {}, centreOf({3, 3}));
  EXPECT_EQ(host.play().model().chosenCount(), 0);
}

TEST_F(MainWindow, AScreenReaderFindsEveryControlNamedAndTheBoardsCells) {
  Copy copy(dir.path(), 0, true);
  QStringList names;
  QStringList unnamed;
  for (QWidget* w : copy.window->centralWidget()->findChildren<QWidget*>()) {
    if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLineEdit*>(w) &&
        !qobject_cast<QAbstractScrollArea*>(w))
      continue;
    const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    (name.isEmpty() ? unnamed : names) << name;
  }
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.size() << " controls without a name";
  for (const char* name : {"CLEAR", "SEND", "ZANDU SHUFFLE", "START GAME", "Phrase 1", "Phrase 9",
                           "Chatter sounds", "Smileys", "Chat", "Chat messages", "Words made"})
    EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;

  // Tab goes from the board through its buttons to the chat, in the order they stand.
  QWidget* paint = copy.find(QStringLiteral("paintbox_board"));
  QStringList chain;
  QWidget* at = paint;
  do {
    if (at->focusPolicy() & Qt::TabFocus)
      chain << QAccessible::queryAccessibleInterface(at)->text(QAccessible::Name);
    at = at->nextInFocusChain();
  } while (at != paint);
  qsizetype last = -1;
  for (const char* name :
       {"Board", "CLEAR", "ZANDU SHUFFLE", "START GAME", "SEND", "Words made", "Phrase 1",
        "Phrase 9", "Chatter sounds", "Chat messages", "Chat", "Smileys"}) {
    const qsizetype place = chain.indexOf(QString::fromLatin1(name));
    EXPECT_GT(place, last) << name << " in " << chain.join(" / ").toStdString();
    last = place;
  }

  QAccessibleInterface* board =
      QAccessible::queryAccessibleInterface(copy.find(QStringLiteral("paintbox_board")));
  ASSERT_EQ(board->role(), QAccessible::Table);
  ASSERT_EQ(board->childCount(), 49);
  QAccessibleTableInterface* table = board->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 7);
  EXPECT_EQ(table->cellAt(3, 3), board->child(24));
  EXPECT_EQ(board->indexOfChild(board->child(24)), 24);
  EXPECT_EQ(board->child(24)->text(QAccessible::Name), "empty, bonus square, row 4, column 4");
  EXPECT_EQ(board->child(1)->parent(), board);
}

TEST_F(MainWindow, LeavingAGameInProgressAsksFirstAndTheKeyboardCannotLeaveByAccident) {
  Copy host(dir.path(), 0, true);
  host.window->processparams({});
  ASSERT_TRUE(waitUntil([&] { return host.chatText().contains("You are Connected."); }));
  QTemporaryDir other;
  Copy guest(other.path(), host.server->port(), false);
  guest.window->processparams({"Bo", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "Bo"; }));
  host.window->session().gamestartStart();
  ASSERT_TRUE(waitUntil([&] { return guest.play().gameOn() && host.play().gameOn(); }));
  const QString question = QString::fromLatin1(Tchat::kLeaveQuestion);

  // The guest cannot start games: Alt+F opens the menu on the unavailable Start Game, where
  // Enter does nothing.
  guest.window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(guest.window.get()));
  ASSERT_FALSE(guest.find<QAction>("StartGame1")->isEnabled());
  auto openFile = [&] {
    QTest::keyClick(guest.window->windowHandle(), Qt::Key_F, Qt::AltModifier);
    return waitUntil([&] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); });
  };
  ASSERT_TRUE(openFile());
  auto* file = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  EXPECT_EQ(file->activeAction(), guest.find<QAction>("StartGame1"));
  QTest::keyClick(file, Qt::Key_Return);
  QTest::keyClick(file, Qt::Key_Escape);
  QTest::qWait(50);
  EXPECT_TRUE(guest.window->isVisible());
  EXPECT_FALSE(boxes.texts.contains(question));

  // Exit chosen on purpose asks; No keeps the game, Yes leaves it.
  boxes.answer = QMessageBox::No;
  ASSERT_TRUE(openFile());
  file = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  QTest::keyClick(file, Qt::Key_Up);
  ASSERT_EQ(file->activeAction(), guest.find<QAction>("Exit1"));
  QTest::keyClick(file, Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return boxes.texts.contains(question); }));
  QTest::qWait(50);
  EXPECT_TRUE(guest.window->isVisible());
  boxes.answer = QMessageBox::Yes;
  guest.window->close();
  EXPECT_FALSE(guest.window->isVisible());
  EXPECT_EQ(boxes.texts.count(question), 2);

  // A box the offscreen tests accept, as a person's Escape or Enter, keeps the game; a
  // program stopped from outside leaves without asking.
  boxes.answer = QMessageBox::NoButton;
  host.window->close();
  EXPECT_TRUE(host.window->isVisible()) << "a solo game asks too";
  EXPECT_EQ(boxes.texts.count(question), 3);
  host.window->leave();
  EXPECT_FALSE(host.window->isVisible());
  EXPECT_EQ(boxes.texts.count(question), 3);
}

// Counts the times a widget's tooltip and description are set again.
class ResetCounter : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTipChange) ++count;
    return QObject::eventFilter(watched, event);
  }
};

TEST_F(MainWindow, ThePhraseButtonsTellTheirPhrasesOnceNotEverySecond) {
  Copy copy(dir.path(), 0, true);
  copy.window->processparams({});
  ASSERT_TRUE(waitUntil([&] { return copy.chatText().contains("You are Connected."); }));
  copy.window->session().gamestartStart();
  ASSERT_TRUE(waitUntil([&] { return copy.play().view().clockRunning; }));
  auto* phrase1 = copy.window->findChild<QToolButton*>();
  ASSERT_EQ(phrase1->accessibleName(), "Phrase 1");
  const QString said = phrase1->accessibleDescription();
  EXPECT_FALSE(said.isEmpty());
  ResetCounter resets;
  phrase1->installEventFilter(&resets);
  QTest::qWait(2500);  // two turns of the one-second clock, each drawing the window
  EXPECT_EQ(resets.count, 0) << "a description set again is sent again to a screen reader";
  EXPECT_EQ(phrase1->accessibleDescription(), said);
  phrase1->removeEventFilter(&resets);
}

// A message as the reader hands it over: without its terminator.
std::string unframed(const std::string& bytes) {
  std::string out;
  net::MessageReader reader;
  reader.feed(bytes, [&](std::string&& m) { out = std::move(m); });
  return out;
}

TEST_F(MainWindow, AWholeTurnPlayedFromTheKeyboardSendsWhatClicksSend) {
  Copy host(dir.path(), 0, true, 100);
  host.window->processparams({});
  ASSERT_TRUE(waitUntil([&] { return host.chatText().contains("You are Connected."); }));
  // A second player who never plays sees every message the table passes on.
  zp::testing::LoopbackClient other(host.server->port());
  ASSERT_TRUE(other.waitFor("CMD_sendlogininfo+2"));
  other.write(net::to_server::logininfo({2, "1.0.15", "Lu"}));
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "Lu"; }));

  QTest::mouseClick(host.find(QStringLiteral("button_start")), Qt::LeftButton);
  QTest::mouseClick(host.gamestart->findChild<QPushButton*>(QStringLiteral("Image1")),
                    Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return host.play().view().turnPlayer == 1; }));
  QWidget* paint = host.find(QStringLiteral("paintbox_board"));
  EXPECT_EQ(host.window->focusWidget(), paint) << "the own turn gives the board the keyboard";
  QStringList seats;
  for (QLabel* label : host.window->centralWidget()->findChildren<QLabel*>())
    if (!label->accessibleName().isEmpty()) seats << label->accessibleName();
  EXPECT_TRUE(seats.contains("You, score 0, has the turn")) << seats.join(" / ").toStdString();
  EXPECT_TRUE(seats.contains("Lu, score 0"));
  EXPECT_EQ(seats.count("empty seat"), 2);

  // F6 goes to the chat input and back; letters typed there stay in the chat.
  host.window->activateWindow();
  QApplication::setActiveWindow(host.window.get());
  auto* input = host.window->findChild<QLineEdit*>();
  QTest::keyClick(host.window.get(), Qt::Key_F6);
  EXPECT_TRUE(input->hasFocus());
  QTest::keyClicks(input, "ab");
  EXPECT_EQ(host.play().model().chosenCount(), 0);
  QTest::keyClick(host.window.get(), Qt::Key_F6);
  EXPECT_TRUE(paint->hasFocus());

  // ZP_SCREENSHOTS=folder keeps pictures of the focus mark, in both built-in sets.
  const QString shots = qEnvironmentVariable("ZP_SCREENSHOTS");
  const QString scale = QString::number(paint->devicePixelRatioF());
  auto* box = static_cast<board::BoardPaintBox*>(paint);
  QTest::keyClick(paint, Qt::Key_Up);
  const board::Cell marked = box->focusMark();
  ASSERT_TRUE(board::onBoard(marked));
  QTest::keyClick(paint, Qt::Key_Left);
  EXPECT_EQ(box->focusMark(), (board::Cell{std::max(marked.a - 1, 0), marked.b}));
  EXPECT_EQ(host.play().model().chosenCount(), 0) << "moving the mark picks nothing";
  const QImage classic = paint->grab().toImage();
  if (!shots.isEmpty()) classic.save(shots + "/focus-mark-classic-" + scale + ".png");

  // The contrast set is chosen in the Tiles menu and kept in the settings.
  QAction* contrast = nullptr;
  for (QAction* item : host.window->findChildren<QAction*>())
    if (item->data().toString() == "contrast") contrast = item;
  ASSERT_NE(contrast, nullptr);
  contrast->trigger();
  EXPECT_EQ(host.window->session().settings().Tiles, "contrast");
  EXPECT_TRUE(contrast->isChecked());
  const QImage shown = paint->grab().toImage();
  EXPECT_NE(shown, classic);
  if (!shots.isEmpty()) shown.save(shots + "/focus-mark-contrast-" + scale + ".png");

  const auto path = findWord(host.play().model());
  ASSERT_TRUE(path.has_value());
  const board::Letters letters = host.play().model().letters();
  std::string word;
  for (board::Cell c : *path)
    word += static_cast<char>('a' + letters[board::cellIndex(c.a, c.b)] - 1);

  // The same keys through a tracer of our own give the messages the table must see.
  std::vector<std::string> expected;
  std::vector<board::Cell> picks;
  KeyboardTracer oracle;
  auto expect = [&](const std::vector<TraceAction>& actions) {
    for (const TraceAction& act : actions) {
      if (act.kind == TraceAction::kPick) {
        picks.push_back(act.cell);
        expected.push_back(unframed(net::to_players::selectletter({1, act.slot, act.cell})));
      } else if (act.kind == TraceAction::kTakeBack) {
        picks.pop_back();
        expected.push_back(unframed(net::to_players::clearletter({1, act.slot})));
      }
    }
  };
  // Space picks the marked cell as a click there; Escape clears as CLEAR.
  QTest::keyClick(paint, Qt::Key_Space);
  ASSERT_EQ(host.play().model().chosenCount(), 1);
  EXPECT_EQ(host.play().model().chosen(1), box->focusMark());
  expected.push_back(unframed(net::to_players::selectletter({1, 1, box->focusMark()})));
  QTest::keyClick(paint, Qt::Key_Escape);
  EXPECT_EQ(host.play().model().chosenCount(), 0);

  expect(oracle.letter(word[0], letters, picks));
  QTest::keyClick(paint, word[0]);
  expect(oracle.backspace(letters, picks));
  QTest::keyClick(paint, Qt::Key_Backspace);
  EXPECT_EQ(host.play().model().chosenCount(), 0);
  // A letter nothing on the board spells changes nothing.
  char missing = 0;
  for (char c = 'a'; c <= 'z' && !missing; ++c)
    if (std::ranges::find(letters, c - 'a' + 1) == letters.end()) missing = c;
  if (missing) {
    QTest::keyClick(paint, missing);
    EXPECT_EQ(host.play().model().chosenCount(), 0);
  }
  // Typed letters move the mark along the trace without sending the screen reader there:
  // the rack the game says is the one voice for them.
  const board::Cell toldBefore = box->toldFocus();
  for (char c : word) {
    expect(oracle.letter(c, letters, picks));
    QTest::keyClick(paint, c);
  }
  EXPECT_EQ(box->focusMark(), picks.back());
  EXPECT_EQ(box->toldFocus(), toldBefore);
  ASSERT_EQ(host.play().model().chosenCount(), static_cast<int>(word.size()));
  for (std::size_t i = 0; i < picks.size(); ++i)
    EXPECT_EQ(host.play().model().chosen(static_cast<int>(i) + 1), picks[i]);
  ASSERT_TRUE(waitUntil([&] {
    std::vector<std::string> seen;
    for (const std::string& m : other.inbox)
      if (m.starts_with("CMD_selectletter") || m.starts_with("CMD_clearletter")) seen.push_back(m);
    return seen == expected;
  })) << "expected "
      << expected.size() << " picks and take-backs";

  // A screen reader reads the pick off the board's cells.
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(paint);
  ASSERT_NE(table, nullptr);
  const board::Cell first = picks.front();
  const QString said = table->child(first.b * 7 + first.a)->text(QAccessible::Name);
  EXPECT_TRUE(said.startsWith(QChar(word[0] - 'a' + 'A') + QStringLiteral(", ")));
  EXPECT_TRUE(said.endsWith(
      QStringLiteral("row %1, column %2, picked 1st").arg(first.b + 1).arg(first.a + 1)))
      << said.toStdString();

  if (!shots.isEmpty()) paint->grab().save(shots + "/picked-contrast-" + scale + ".png");
  QTest::keyClick(paint, Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] {
    return host.find<QLabel>(QStringLiteral("label_status"))->text().startsWith("You: ");
  }));
  EXPECT_GT(host.server->table().player(1).score, 0);
  QWidget* fallDown = host.find(QStringLiteral("image_direction1"));
  ASSERT_TRUE(host.find(QStringLiteral("image_direction2"))->isVisible());
  EXPECT_EQ(fallDown->accessibleName(), "Fall down");

  // Pointing at an arrow shows the fall over the board, lighter; leaving it takes it away.
  const QImage before = paint->grab().toImage();
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(fallDown, &enter);
  EXPECT_EQ(box->fallShown(), 1);
  EXPECT_NE(paint->grab().toImage(), before);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(fallDown, &leave);
  EXPECT_EQ(box->fallShown(), 0);
  EXPECT_EQ(paint->grab().toImage(), before);

  // By keyboard: an arrow shows its fall and says how to go on, Escape goes back, the same
  // arrow twice chooses it.
  QTest::keyClick(paint, Qt::Key_Left);
  EXPECT_EQ(box->fallShown(), 2);
  EXPECT_TRUE(paint->accessibleDescription().contains("fallen left"));
  QTest::keyClick(paint, Qt::Key_Escape);
  EXPECT_EQ(box->fallShown(), 0);
  EXPECT_TRUE(host.find(QStringLiteral("image_direction2"))->isVisible()) << "nothing chosen yet";
  QTest::keyClick(paint, Qt::Key_Left);
  if (!shots.isEmpty()) paint->grab().save(shots + "/fall-left-" + scale + ".png");
  QTest::keyClick(paint, Qt::Key_Left);
  EXPECT_TRUE(other.waitFor(unframed(net::to_players::moving({2}))))
      << "Left twice makes the tiles fall left";
  EXPECT_FALSE(host.find(QStringLiteral("image_direction2"))->isVisible());
  EXPECT_EQ(box->fallShown(), 0);

  // The turn passes to Lu, told by the seats' names; Lu's clock has a name that changes
  // (and so is announced) only in its last ten seconds.
  ASSERT_TRUE(waitUntil([&] { return host.play().view().turnPlayer == 2; }));
  QLabel* clock = host.find<QLabel>(QStringLiteral("label_timer"));
  EXPECT_EQ(clock->accessibleName(), "Turn clock");
  while (host.play().view().clock > 8) host.window->session().board().Timer2Timer();
  QTest::keyClick(paint, 'q');  // refused outside the own turn; the window draws again
  EXPECT_EQ(clock->accessibleName(), "Time: 0:08");
  QStringList lu;
  for (QLabel* label : host.window->centralWidget()->findChildren<QLabel*>())
    if (label->accessibleName().startsWith("Lu")) lu << label->accessibleName();
  EXPECT_EQ(lu, QStringList{"Lu, score 0, has the turn"});
  EXPECT_EQ(host.play().model().chosenCount(), 0);
}

}  // namespace
}  // namespace zp::client::testing
