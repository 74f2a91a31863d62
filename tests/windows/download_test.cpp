#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "tests/windows/web_server.h"
#include "windows/Tdownload.h"

namespace zp::windows {
namespace {

using testing::installerBytes;
using testing::WebServer;

constexpr auto kName = "Qelm88LobbySetup.exe";
constexpr auto kNoLobby =
    "Please close the game and open the Qelm88 Lobby using the icon on your desktop or using "
    "the your Window's start-up menu.";

class TdownloadTest : public ::testing::Test {
 protected:
  struct Started {
    QString program;
    QStringList arguments;
  };

  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    launcher_.setTargetFolder(folder_.path());
    launcher_.setHooks({
        [this](const QString& program, const QStringList& arguments) {
          started_.push_back({program, arguments});
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

  server.resume();
  ASSERT_TRUE(QTest::qWaitFor([&] { return idle(); }, 20000));
  EXPECT_EQ(text("infolabel"), "Received 300000 bytes");
  EXPECT_EQ(text("infolabel3"), "Installing");
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0].program, target());
  EXPECT_EQ(started_[0].arguments, (QStringList{"/SP-", "/silent", "/noicons"}));
  EXPECT_EQ(exits_, 1);
  EXPECT_TRUE(messages_.isEmpty());
  EXPECT_FALSE(button("abortbutton")->isEnabled());
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
}

TEST_F(TdownloadTest, AFailedTransferIsReportedAndRunsNothing) {
  struct Case {
    const char* what;
    WebServer::Answer answer;
    const char* secondLine;
  };
  // An error page is not the installer: its body never shows as a download.
  const Case cases[] = {
      {"404", WebServer::NotFound, ""},
      {"closed mid-body", WebServer::CutShort, "Downloading: Qelm88LobbySetup.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WebServer server(c.answer, installerBytes(300'000));
    launcher_.setDownloadAddress(server.address("/lobby/Qelm88LobbySetup.exe"));
    download();
    EXPECT_EQ(text("infolabel"), "Download Aborted");
    EXPECT_EQ(text("infolabel3"), c.secondLine);
    EXPECT_EQ(launcher_.state(), Tdownload::Aborted);
    EXPECT_FALSE(button("abortbutton")->isEnabled());
    EXPECT_TRUE(started_.empty());
    EXPECT_EQ(exits_, 0);
    EXPECT_TRUE(messages_.isEmpty());
  }
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

TEST_F(TdownloadTest, AnAddressItMustNotFetchFromIsAnError) {
  launcher_.setDownloadAddress("http://192.0.2.7/lobby/Qelm88LobbySetup.exe");
  button("getbutton")->click();
  EXPECT_EQ(messages_, QStringList{"An Error has Occurred."});
  EXPECT_EQ(launcher_.state(), Tdownload::Idle);
  EXPECT_TRUE(idle());
  EXPECT_EQ(text("infolabel"), "");
  EXPECT_TRUE(started_.empty());
}

TEST_F(TdownloadTest, PlayWithOthersStartsAnInstalledLobby) {
  struct Case {
    const char* what;
    const char* lobbyFile;  // made executable unless it ends in ".txt"
    bool onPath;            // found by name in the search folder, else by whole path
    bool startWorks;
    QString message;
    const char* alsoThere = nullptr;  // another lobby, installed too but not the one started
  };
  const Case cases[] = {
      {"ours, beside the game", "game/zandupelix-lobby", false, true, {}, "bin/zandupelix-lobby"},
      {"ours, on the path", "bin/zandupelix-lobby", true, true, {}, "bin/qelm88lobby"},
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
    QDir(root.path()).mkpath("game");
    QString lobby;
    for (const char* name : {c.alsoThere, c.lobbyFile}) {
      if (!name) continue;
      lobby = root.filePath(name);
      QFile file(lobby);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      if (!lobby.endsWith(".txt")) file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    Tdownload::LobbyPlaces places;
    places.besideGame = {root.filePath("game")};
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

TEST_F(TdownloadTest, WithNoAddressTheDownloadButtonIsDisabled) {
  Tdownload fresh;
  EXPECT_FALSE(fresh.findChild<QPushButton*>("getbutton")->isEnabled());
  fresh.setDownloadAddress("https://lobby.example/Setup.exe");
  EXPECT_TRUE(fresh.findChild<QPushButton*>("getbutton")->isEnabled());
  fresh.setDownloadAddress({});
  EXPECT_FALSE(fresh.findChild<QPushButton*>("getbutton")->isEnabled());
}

TEST_F(TdownloadTest, EnterPlaysSolo) {
  QTest::keyClick(&launcher_, Qt::Key_Return);
  EXPECT_FALSE(launcher_.isVisible());
  EXPECT_EQ(exits_, 0);
  EXPECT_TRUE(messages_.isEmpty());
}

}  // namespace
}  // namespace zp::windows
