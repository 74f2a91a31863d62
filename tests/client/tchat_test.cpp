// The main window through real widgets offscreen, against real tables on free ports.
#include "client/Tchat.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <fstream>
#include <memory>

#include "records/tally_table.h"
#include "server/TServer.h"
#include "tests/server/loopback_client.h"

namespace zp::client::testing {
namespace {

bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
  return QTest::qWaitFor(done, ms);
}

// Closes every message box as soon as it opens and keeps its text.
class BoxCloser : public QObject {
 public:
  BoxCloser() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text());
        box->accept();
      }
    });
    timer_.start();
  }
  QStringList texts;

 private:
  QTimer timer_;
};

// One copy of the game: its main window, its tally and, for a host, its table.
struct Copy {
  Copy(const QString& folder, quint16 port, bool hosts) {
    if (hosts) {
      server::TServer::Options options;
      options.dictionaryFile = (folder + "/English").toStdString();
      options.seed = 3;
      server = std::make_unique<server::TServer>(options);
    }
    window = std::make_unique<Tchat>(tally, 5);
    TchatParts parts;
    parts.server = server.get();
    parts.port = port;
    window->setParts(parts);
    window->useSettingsFile(SettingsFile(ProfileFile((folder + "/qelmlobby.ini").toStdString())));
    window->show();
  }
  QString seat(int n) const {
    return window->findChild<QLabel*>(QStringLiteral("label_playername%1").arg(n))->text();
  }
  QString chatText() const { return window->findChild<ChatView*>()->toPlainText(); }

  records::TallyTable tally;
  std::unique_ptr<server::TServer> server;
  std::unique_ptr<Tchat> window;
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

  QTemporaryDir other;
  Copy guest(other.path(), host.server->port(), false);
  guest.window->processparams({"<b>Eve</b>", "127.0.0.1", "false"});
  ASSERT_TRUE(waitUntil([&] { return host.seat(2) == "<b>Eve</b>"; }))
      << "a name is shown as the characters typed";
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

TEST_F(MainWindow, AFullTableSaysSoAndAJoinThatCannotConnectSaysWhy) {
  server::TServer::Options options;
  options.dictionaryFile = (dir.path() + "/English").toStdString();
  server::TServer table(options);
  ASSERT_TRUE(table.listen(0));
  std::vector<std::unique_ptr<server::testing::LoopbackClient>> nine;
  for (int n = 1; n <= 9; ++n) {
    nine.push_back(std::make_unique<server::testing::LoopbackClient>(table.port()));
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
  {
    std::ofstream out((dir.path() + "/qelmlobby.ini").toStdString(), std::ios::binary);
    out << "[Lobby]\r\nPath=C:\\Games\\lobby\r\nList=a,b\r\n; kept\r\n";
  }
  {
    Copy first(dir.path(), 0, true);
    first.window->processparams({"Ann", "x", "true"});
    ASSERT_TRUE(waitUntil([&] { return first.chatText().contains("You are Connected."); }));
    first.window->session().textSize(12);
    first.window->session().PostWordsinChatBox1Click();
  }
  std::ifstream in((dir.path() + "/qelmlobby.ini").toStdString(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.rfind("[Lobby]\r\nPath=C:\\Games\\lobby\r\nList=a,b\r\n; kept\r\n", 0), 0u)
      << text;

  Copy second(dir.path(), 0, true);
  second.window->processparams({"Ann", "x", "true"});
  ASSERT_TRUE(waitUntil([&] { return second.chatText().contains("You are Connected."); }));
  EXPECT_EQ(second.window->session().chat().styles()[0].size, 12);
  EXPECT_TRUE(second.window->session().settings().Postwordsinchatbox);
}

}  // namespace
}  // namespace zp::client::testing
