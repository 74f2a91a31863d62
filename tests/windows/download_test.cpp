#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "windows/Tdownload.h"

namespace zp::windows {
namespace {

constexpr auto kName = "Qelm88LobbySetup.exe";
constexpr auto kNoLobby =
    "Please close the game and open the Qelm88 Lobby using the icon on your desktop or using "
    "the your Window's start-up menu.";

QByteArray installerBytes(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 251) & 0xff);
  return bytes;
}

// A one-page web server on a free loopback port, answering every GET in one of a few ways.
class WebServer {
 public:
  enum Answer { Whole, NotFound, CutShort, Redirect };

  // For a redirect, `body` is where to.
  WebServer(Answer answer, QByteArray body, const QHostAddress& host = QHostAddress::LocalHost)
      : answer_(answer), body_(std::move(body)) {
    server_.listen(host, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
  }
  QString address(const QString& path) const {
    return QStringLiteral("http://%1:%2%3")
        .arg(server_.serverAddress().toString())
        .arg(server_.serverPort())
        .arg(path);
  }
  // Stops sending once this many body bytes are out, until resume().
  void holdAfter(qsizetype bytes) { hold_ = bytes; }
  void resume() { hold_ = -1; }
  QByteArray request() const { return request_; }
  int connections() const { return connections_; }

 private:
  void serve(QTcpSocket* socket) {
    ++connections_;
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
      request_ += socket->readAll();
      if (request_.contains("\r\n\r\n")) answer(socket);
    });
  }

  void answer(QTcpSocket* socket) {
    if (answer_ == Redirect) {
      socket->write("HTTP/1.1 302 Found\r\nLocation: " + body_ +
                    "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      socket->disconnectFromHost();
      return;
    }
    if (answer_ == NotFound) {
      socket->write(
          "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot here\n");
      socket->disconnectFromHost();
      return;
    }
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                  QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n");
    const qsizetype end = answer_ == CutShort ? body_.size() / 3 : body_.size();
    auto* pacer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    QObject::connect(pacer, &QTimer::timeout, socket, [this, socket, pacer, sent, end] {
      if (hold_ >= 0 && *sent >= hold_) return;
      socket->write(body_.mid(*sent, std::min(kPiece, end - *sent)));
      *sent += kPiece;
      if (*sent < end) return;
      pacer->stop();
      socket->disconnectFromHost();
    });
    pacer->start(5);
  }

  static constexpr qsizetype kPiece = 16384;
  QTcpServer server_;
  Answer answer_;
  qsizetype hold_ = -1;
  QByteArray body_;
  QByteArray request_;
  int connections_ = 0;
};

class TdownloadTest : public ::testing::Test {
 protected:
  struct Started {
    QString program;
    QStringList arguments;
    QByteArray contents;
    bool executable;
  };

  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    launcher_.setTargetFolder(folder_.path());
    launcher_.setHooks({
        [this](const QString& program, const QStringList& arguments) {
          QFile file(program);
          file.open(QIODevice::ReadOnly);
          started_.push_back(
              {program, arguments, file.readAll(), QFileInfo(program).isExecutable()});
          return startWorks_;
        },
        [this] { ++exits_; },
        [this](const QString& text) { messages_ << text; },
    });
    launcher_.show();
  }

  QString text(const char* label) const { return launcher_.findChild<QLabel*>(label)->text(); }
  QPushButton* button(const char* name) const { return launcher_.findChild<QPushButton*>(name); }
  bool idle() const { return button("getbutton")->isEnabled(); }
  // Every file left in the target folder, temporary ones included.
  QStringList files() const {
    return QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  }
  QString target() const { return QDir(folder_.path()).filePath(kName); }

  // Runs the download to its end.
  void download() {
    button("getbutton")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return idle(); }, 20000));
  }

  QTemporaryDir folder_;
  Tdownload launcher_;
  std::vector<Started> started_;
  bool startWorks_ = true;
  int exits_ = 0;
  QStringList messages_;
};

TEST_F(TdownloadTest, ACompleteDownloadIsInstalledAndTheGameCloses) {
  const QByteArray body = installerBytes(300'000);
  WebServer server(WebServer::Whole, body);
  server.holdAfter(100'000);
  launcher_.setDownloadAddress(server.address("/lobby/Qelm88LobbySetup.exe"));

  button("getbutton")->click();
  EXPECT_EQ(launcher_.state(), Tdownload::Downloading);
  EXPECT_EQ(text("infolabel"), "Loading");
  EXPECT_EQ(text("infolabel2"), kName);
  EXPECT_FALSE(launcher_.findChild<QLabel*>("infolabel2")->isVisible());
  EXPECT_FALSE(button("getbutton")->isEnabled());
  EXPECT_TRUE(button("abortbutton")->isEnabled());
  // Seven pieces of 16 KB are out when the server pauses.
  ASSERT_TRUE(QTest::qWaitFor([&] { return text("infolabel") == "114688 bytes"; }, 20000));
  EXPECT_EQ(text("infolabel3"), "Downloading: Qelm88LobbySetup.exe");
  EXPECT_TRUE(started_.empty());
  // No installer until the whole of it is in.
  EXPECT_FALSE(files().contains(kName));

  server.resume();
  ASSERT_TRUE(QTest::qWaitFor([&] { return idle(); }, 20000));
  EXPECT_EQ(text("infolabel"), "Received 300000 bytes");
  EXPECT_EQ(text("infolabel3"), "Installing");
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0].program, target());
  EXPECT_EQ(started_[0].arguments, (QStringList{"/SP-", "/silent", "/noicons"}));
  EXPECT_TRUE(started_[0].contents == body);
  EXPECT_TRUE(started_[0].executable);
  EXPECT_EQ(exits_, 1);
  EXPECT_TRUE(messages_.isEmpty());
  EXPECT_FALSE(button("abortbutton")->isEnabled());
  EXPECT_EQ(files(), QStringList{kName});

  const QByteArray request = server.request();
  EXPECT_TRUE(request.startsWith("GET /lobby/Qelm88LobbySetup.exe HTTP/1.1\r\n"));
  EXPECT_TRUE(request.contains("\r\nUser-Agent: Mozilla/3.0 (compatible)\r\n"));
  EXPECT_TRUE(
      request.contains("\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"));
}

TEST_F(TdownloadTest, StopDownloadLeavesNothingBehind) {
  // Pressed with nothing running, it only says so.
  button("abortbutton")->click();
  EXPECT_EQ(launcher_.state(), Tdownload::Aborted);
  EXPECT_EQ(text("infolabel"), "Download has been aborted.");
  EXPECT_EQ(text("infolabel3"), "Download Aborted");

  WebServer server(WebServer::Whole, installerBytes(300'000));
  server.holdAfter(40'000);
  launcher_.setDownloadAddress(server.address("/lobby/Qelm88LobbySetup.exe"));
  button("getbutton")->click();
  EXPECT_EQ(launcher_.state(), Tdownload::Downloading);
  ASSERT_TRUE(QTest::qWaitFor([&] { return text("infolabel") == "49152 bytes"; }, 20000));
  EXPECT_EQ(text("infolabel3"), "Downloading: Qelm88LobbySetup.exe");

  button("abortbutton")->click();
  server.resume();
  ASSERT_TRUE(QTest::qWaitFor([&] { return idle(); }, 5000));
  EXPECT_EQ(text("infolabel"), "Download Aborted");
  EXPECT_EQ(text("infolabel3"), "Download Aborted");
  EXPECT_EQ(launcher_.state(), Tdownload::Aborted);
  EXPECT_FALSE(button("abortbutton")->isEnabled());
  QTest::qWait(50);
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(exits_, 0);
  EXPECT_EQ(files(), QStringList{});
}

TEST_F(TdownloadTest, AFailedTransferRunsNothingAndKeepsAnEarlierInstaller) {
  struct Case {
    const char* what;
    QString address;
    const char* secondLine;  // null: whatever the line said before
  };
  WebServer missing(WebServer::NotFound, {});
  WebServer cut(WebServer::CutShort, installerBytes(300'000));
  // 127.0.0.2 is this machine too, but not an address the launcher may fetch from.
  WebServer elsewhere(WebServer::Whole, installerBytes(1000), QHostAddress("127.0.0.2"));
  WebServer redirect(WebServer::Redirect, elsewhere.address("/Qelm88LobbySetup.exe").toUtf8());
  QString nobody;
  {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    nobody = QStringLiteral("http://127.0.0.1:%1/lobby/%2").arg(closed.serverPort()).arg(kName);
  }
  // An error page is not the installer: its body never shows as a download.
  const Case cases[] = {
      {"404", missing.address("/lobby/Qelm88LobbySetup.exe"), ""},
      {"redirected away", redirect.address("/lobby/Qelm88LobbySetup.exe"), ""},
      {"closed mid-body", cut.address("/lobby/Qelm88LobbySetup.exe"),
       "Downloading: Qelm88LobbySetup.exe"},
      {"nobody listening", nobody, nullptr},
  };
  {
    QFile earlier(target());
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier installer");
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    launcher_.setDownloadAddress(c.address);
    download();
    EXPECT_EQ(text("infolabel"), "Download Aborted");
    if (c.secondLine) {
      EXPECT_EQ(text("infolabel3"), c.secondLine);
    }
    EXPECT_EQ(launcher_.state(), Tdownload::Aborted);
    EXPECT_TRUE(started_.empty());
    EXPECT_EQ(exits_, 0);
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(files(), QStringList{kName});
    QFile earlier(target());
    earlier.open(QIODevice::ReadOnly);
    EXPECT_EQ(earlier.readAll(), "an earlier installer");
  }
  EXPECT_EQ(redirect.connections(), 1);
  EXPECT_EQ(elsewhere.connections(), 0);
}

TEST_F(TdownloadTest, AnInstallerThatCannotStartKeepsTheGame) {
  WebServer server(WebServer::Whole, installerBytes(40'000));
  launcher_.setDownloadAddress(server.address("/Qelm88LobbySetup.exe"));
  startWorks_ = false;
  download();
  EXPECT_EQ(text("infolabel"), "Received 40000 bytes");
  EXPECT_EQ(text("infolabel3"), "Installing");
  EXPECT_EQ(started_.size(), 1u);
  EXPECT_EQ(messages_, QStringList{"An Error has Occurred."});
  EXPECT_EQ(exits_, 0);
  EXPECT_TRUE(launcher_.isVisible());
}

TEST_F(TdownloadTest, RefusesAddressesItMustNotFetchFrom) {
  WebServer server(WebServer::Whole, installerBytes(1000));
  const QString here = server.address("");
  const QString addresses[] = {
      "http://192.0.2.7/lobby/Qelm88LobbySetup.exe",
      "http://www.zandupelix.example/lobby/Qelm88LobbySetup.exe",
      "http://127.0.0.1.zandupelix.example/Qelm88LobbySetup.exe",
      "http://127.0.0.1@192.0.2.7/Qelm88LobbySetup.exe",
      QString(here).replace("http:", "ftp:") + "/Qelm88LobbySetup.exe",
      "file:///tmp/Qelm88LobbySetup.exe",
      here + "/lobby/",
      here + "/lobby/%2E%2E",
      "not an address",
  };
  for (const QString& address : addresses) {
    SCOPED_TRACE(address.toStdString());
    messages_.clear();
    launcher_.setDownloadAddress(address);
    button("getbutton")->click();
    EXPECT_EQ(messages_, QStringList{"An Error has Occurred."});
    EXPECT_EQ(launcher_.state(), Tdownload::Idle);
    EXPECT_TRUE(idle());
  }
  QTest::qWait(200);
  EXPECT_EQ(server.connections(), 0);
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(files(), QStringList{});
}

TEST_F(TdownloadTest, PlayWithOthersStartsAnInstalledLobby) {
  struct Case {
    const char* what;
    const char* lobbyFile;  // made executable unless it ends in ".txt"
    bool onPath;            // found by name in the search folder, else by whole path
    bool startWorks;
    QString message;
  };
  const Case cases[] = {
      {"by name on the path", "bin/qelm88lobby", true, true, {}},
      {"by its other name", "bin/Qelm88Lobby", true, true, {}},
      {"under /opt", "opt/Qelm88/Qelm88Lobby", false, true, {}},
      {"not installed", nullptr, false, true, kNoLobby},
      {"not a program", "opt/Qelm88/Qelm88Lobby.txt", false, true, kNoLobby},
      {"will not start", "bin/qelm88lobby", true, false, "An Error has Occurred."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath("bin");
    QDir(root.path()).mkpath("opt/Qelm88");
    QString lobby;
    if (c.lobbyFile) {
      lobby = root.filePath(c.lobbyFile);
      QFile file(lobby);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      if (!lobby.endsWith(".txt")) file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    Tdownload::LobbyPlaces places;
    places.searchPath = {root.filePath("bin")};
    places.files = {root.filePath("opt/Qelm88/Qelm88Lobby"),
                    root.filePath("opt/Qelm88/Qelm88Lobby.txt")};
    launcher_.setLobbyPlaces(places);
    started_.clear();
    messages_.clear();
    exits_ = 0;
    startWorks_ = c.startWorks;

    button("button_playothers")->click();
    const bool found = c.lobbyFile && c.message != kNoLobby;
    ASSERT_EQ(started_.size(), found ? 1u : 0u);
    if (found) {
      EXPECT_EQ(started_[0].program, lobby);
      EXPECT_EQ(started_[0].arguments, QStringList{});
    }
    EXPECT_EQ(messages_, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
    EXPECT_EQ(exits_, c.message.isEmpty() ? 1 : 0);
    EXPECT_TRUE(launcher_.isVisible());
  }
}

TEST_F(TdownloadTest, EnterPlaysSolo) {
  QTest::keyClick(&launcher_, Qt::Key_Return);
  EXPECT_FALSE(launcher_.isVisible());
  EXPECT_EQ(exits_, 0);
  EXPECT_TRUE(messages_.isEmpty());
}

}  // namespace
}  // namespace zp::windows
