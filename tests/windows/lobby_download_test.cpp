// The lobby's download without its dialog, against a web server on a free loopback port.
#include "windows/lobby_download.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <utility>
#include <vector>

#include "tests/windows/web_server.h"

namespace zp::windows {
namespace {

using testing::installerBytes;
using testing::WebServer;

constexpr auto kName = "Qelm88LobbySetup.exe";

class LobbyDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    download_.setFolder(folder_.path());
    QObject::connect(&download_, &LobbyDownload::headersArrived, [this](int lines) {
      headers_.push_back({lines, begun_});
    });
    QObject::connect(&download_, &LobbyDownload::begun, [this] { ++begun_; });
    QObject::connect(&download_, &LobbyDownload::progressed,
                     [this](qint64 bytes) { progress_.push_back(bytes); });
    QObject::connect(&download_, &LobbyDownload::finished, [this](bool complete, qint64 bytes) {
      ends_.push_back({complete, bytes});
    });
  }

  // Every file left in the target folder, temporary ones included.
  QStringList files() const {
    return QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  }
  QString target() const { return QDir(folder_.path()).filePath(kName); }
  bool waitForEnd() {
    return QTest::qWaitFor([&] { return !download_.running(); }, 20000);
  }

  QTemporaryDir folder_;
  LobbyDownload download_;
  std::vector<std::pair<int, int>> headers_;  // lines, and how often begun() had come before
  int begun_ = 0;
  std::vector<qint64> progress_;
  std::vector<std::pair<bool, qint64>> ends_;
};

TEST_F(LobbyDownloadTest, AnInstallerIsSavedOnlyWholeAndStartsSilently) {
  const QByteArray body = installerBytes(300'000);
  WebServer server(WebServer::Whole, body);
  server.holdAfter(100'000);
  download_.setAddress(server.address("/lobby/Qelm88LobbySetup.exe"));

  ASSERT_TRUE(download_.start());
  EXPECT_FALSE(download_.start()) << "one download at a time";
  EXPECT_EQ(download_.state(), LobbyDownload::Downloading);
  EXPECT_EQ(download_.fileName(), kName);
  // Seven pieces of 16 KB are out when the server pauses.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !progress_.empty() && progress_.back() == 114688; }, 20000));
  ASSERT_FALSE(headers_.empty());
  EXPECT_EQ(headers_.front(), std::make_pair(3, 0)) << "the header lines, before the body";
  EXPECT_EQ(begun_, 1);
  EXPECT_TRUE(ends_.empty());
  EXPECT_FALSE(files().contains(kName)) << "no installer until the whole of it is in";
  EXPECT_TRUE(download_.installerPath().isEmpty());

  server.resume();
  ASSERT_TRUE(waitForEnd());
  EXPECT_EQ(ends_, (std::vector<std::pair<bool, qint64>>{{true, 300'000}}));
  EXPECT_EQ(progress_.back(), 300'000);
  EXPECT_EQ(download_.state(), LobbyDownload::Idle);
  EXPECT_EQ(files(), QStringList{kName});
  EXPECT_EQ(download_.installerPath(), target());
  QFile saved(target());
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll() == body);
  EXPECT_EQ(server.connections(), 1);

  const QByteArray request = server.request();
  EXPECT_TRUE(request.startsWith("GET /lobby/Qelm88LobbySetup.exe HTTP/1.1\r\n"));
  EXPECT_TRUE(request.contains("\r\nUser-Agent: Mozilla/3.0 (compatible)\r\n"));
  EXPECT_TRUE(
      request.contains("\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"));

  for (const bool startWorks : {true, false}) {
    std::vector<std::pair<QString, QStringList>> started;
    bool executable = false;
    EXPECT_EQ(download_.install([&](const QString& program, const QStringList& arguments) {
      started.emplace_back(program, arguments);
      executable = QFileInfo(program).isExecutable();
      return startWorks;
    }),
              startWorks);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].first, target());
    EXPECT_EQ(started[0].second, (QStringList{"/SP-", "/silent", "/noicons"}));
    EXPECT_TRUE(executable);
  }
}

TEST_F(LobbyDownloadTest, StoppingLeavesNothingBehind) {
  download_.abort();
  EXPECT_EQ(download_.state(), LobbyDownload::Aborted) << "said even with nothing running";
  EXPECT_TRUE(ends_.empty());

  enum How { WhileHeld, AsItBegins, Stalled };
  struct Case {
    const char* what;
    How how;
  };
  const Case cases[] = {
      {"stopped while the server pauses", WhileHeld},
      {"stopped by whoever hears it begin", AsItBegins},
      {"the server pauses for longer than the download waits", Stalled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    progress_.clear();
    ends_.clear();
    WebServer server(WebServer::Whole, installerBytes(300'000));
    server.holdAfter(40'000);
    // Pieces come every few milliseconds until the pause, so only the pause is a stall.
    download_.setStallTime(c.how == Stalled ? 300 : 60'000);
    QMetaObject::Connection stopper;
    if (c.how == AsItBegins)
      stopper = QObject::connect(&download_, &LobbyDownload::begun, [this] { download_.abort(); });
    download_.setAddress(server.address("/lobby/Qelm88LobbySetup.exe"));
    ASSERT_TRUE(download_.start());
    if (c.how == WhileHeld) {
      ASSERT_TRUE(
          QTest::qWaitFor([&] { return !progress_.empty() && progress_.back() == 49152; }, 20000));
      download_.abort();
      server.resume();
    }
    ASSERT_TRUE(waitForEnd());
    QObject::disconnect(stopper);
    QTest::qWait(50);
    EXPECT_EQ(ends_, (std::vector<std::pair<bool, qint64>>{{false, 0}}));
    EXPECT_EQ(download_.state(), LobbyDownload::Aborted);
    EXPECT_EQ(files(), QStringList{});
    EXPECT_TRUE(download_.installerPath().isEmpty());
    if (c.how == AsItBegins) {
      EXPECT_TRUE(progress_.empty());
    }
    if (c.how == Stalled) {
      ASSERT_FALSE(progress_.empty());
      EXPECT_EQ(progress_.back(), 49152) << "all before the pause was taken";
    }
  }
  bool called = false;
  EXPECT_FALSE(
      download_.install([&](const QString&, const QStringList&) { return called = true; }));
  EXPECT_FALSE(called) << "nothing to install";
}

TEST_F(LobbyDownloadTest, AFailedTransferKeepsAnEarlierInstallerAndNothingElse) {
  struct Case {
    const char* what;
    QString address;
    bool begins;  // whether any of it was taken for the installer
  };
  WebServer missing(WebServer::NotFound, {});
  WebServer cut(WebServer::CutShort, installerBytes(300'000));
  // 127.0.0.2 is this machine too, but not an address the download may fetch from.
  WebServer elsewhere(WebServer::Whole, installerBytes(1000), QHostAddress("127.0.0.2"));
  WebServer redirect(WebServer::Redirect, elsewhere.address("/Qelm88LobbySetup.exe").toUtf8());
  QString nobody;
  {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    nobody = QStringLiteral("http://127.0.0.1:%1/lobby/%2").arg(closed.serverPort()).arg(kName);
  }
  // An error page is not the installer.
  const Case cases[] = {
      {"404", missing.address("/lobby/Qelm88LobbySetup.exe"), false},
      {"redirected away", redirect.address("/lobby/Qelm88LobbySetup.exe"), false},
      {"closed mid-body", cut.address("/lobby/Qelm88LobbySetup.exe"), true},
      {"nobody listening", nobody, false},
  };
  {
    QFile earlier(target());
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier installer");
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    begun_ = 0;
    ends_.clear();
    download_.setAddress(c.address);
    ASSERT_TRUE(download_.start());
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(begun_, c.begins ? 1 : 0);
    EXPECT_EQ(ends_, (std::vector<std::pair<bool, qint64>>{{false, 0}}));
    EXPECT_EQ(download_.state(), LobbyDownload::Aborted);
    EXPECT_EQ(files(), QStringList{kName});
    QFile earlier(target());
    earlier.open(QIODevice::ReadOnly);
    EXPECT_EQ(earlier.readAll(), "an earlier installer");
  }
  EXPECT_EQ(redirect.connections(), 1);
  EXPECT_EQ(elsewhere.connections(), 0);
}

TEST_F(LobbyDownloadTest, RefusesAddressesAndFoldersItMustNotUse) {
  WebServer server(WebServer::Whole, installerBytes(1000));
  const QString here = server.address("");
  {
    QFile file(QDir(folder_.path()).filePath("a file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  struct Case {
    QString address;
    QString folder;  // empty: the test's folder
  };
  const Case cases[] = {
      {"http://192.0.2.7/lobby/Qelm88LobbySetup.exe", {}},
      {"http://www.zandupelix.example/lobby/Qelm88LobbySetup.exe", {}},
      {"http://127.0.0.1.zandupelix.example/Qelm88LobbySetup.exe", {}},
      {"http://127.0.0.1@192.0.2.7/Qelm88LobbySetup.exe", {}},
      {QString(here).replace("http:", "ftp:") + "/Qelm88LobbySetup.exe", {}},
      {"file:///tmp/Qelm88LobbySetup.exe", {}},
      {here + "/lobby/", {}},
      {here + "/lobby/%2E%2E", {}},
      {"not an address", {}},
      // A good address, but the folder cannot be made.
      {here + "/Qelm88LobbySetup.exe", QDir(folder_.path()).filePath("a file/lobby")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address.toStdString());
    download_.setAddress(c.address);
    download_.setFolder(c.folder.isEmpty() ? folder_.path() : c.folder);
    EXPECT_FALSE(download_.start());
    EXPECT_FALSE(download_.running());
    EXPECT_EQ(download_.state(), LobbyDownload::Idle);
  }
  QTest::qWait(200);
  EXPECT_EQ(server.connections(), 0);
  EXPECT_TRUE(ends_.empty());
  EXPECT_EQ(files(), QStringList{"a file"});
}

// Plain http only to this machine, however its address is written.
TEST(LobbyDownloadAddress, PlainHttpOnlyToThisMachine) {
  struct Case {
    const char* address;
    bool allowed;
  };
  const Case cases[] = {
      {"https://lobby.zandupelix.example/Qelm88LobbySetup.exe", true},
      {"http://localhost/Qelm88LobbySetup.exe", true},
      {"http://LocalHost:8080/Qelm88LobbySetup.exe", true},
      {"http://127.0.0.1:8080/Qelm88LobbySetup.exe", true},
      {"http://127.1/Qelm88LobbySetup.exe", true},
      {"http://2130706433/Qelm88LobbySetup.exe", true},
      {"http://[::1]:8080/Qelm88LobbySetup.exe", true},
      {"http://[0:0:0:0:0:0:0:1]/Qelm88LobbySetup.exe", true},
      {"http://127.0.0.2/Qelm88LobbySetup.exe", false},
      {"http://[::2]/Qelm88LobbySetup.exe", false},
      {"http://[::1a]/Qelm88LobbySetup.exe", false},
      {"http://[::ffff:127.0.0.1]/Qelm88LobbySetup.exe", false},
      {"http://localhost.zandupelix.example/Qelm88LobbySetup.exe", false},
      {"http://1.127.0.0.1/Qelm88LobbySetup.exe", false},
      {"http:///Qelm88LobbySetup.exe", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LobbyDownload::addressAllowed(QUrl(QString::fromLatin1(c.address))), c.allowed)
        << c.address;
}

}  // namespace
}  // namespace zp::windows
