// The game as a packager installs it and a player then runs it: the installed files where
// desktops look for them, and a game that keeps the player's files in the player's own data
// folder, never in the folder of the programs.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "net/catalogue.h"
#include "tests/support/loopback_client.h"

namespace {

using zp::testing::LoopbackClient;
using zp::testing::waitUntil;

constexpr uid_t kNobody = 65534;
// Root may write anywhere, so as root the game runs as "nobody", as a player would.
const bool kRoot = ::geteuid() == 0;

std::string text(const QString& s) {
  return s.toStdString();
}

// A port nobody listens on now; never the game's own.
quint16 freePort() {
  for (;;) {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    if (probe.serverPort() != 7772) return probe.serverPort();
  }
}

// Whether the kernel holds an established connection to local port `port`: the game's own
// client has reached its table, so the next connection is not the host's.
bool connectedTo(quint16 port) {
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    QFile file(QString::fromLatin1(table));
    if (!file.open(QIODevice::ReadOnly)) continue;
    file.readLine();  // the heading
    while (!file.atEnd()) {
      const QStringList columns =
          QString::fromLatin1(file.readLine()).simplified().split(QLatin1Char(' '));
      if (columns.size() < 4) continue;
      bool ok = false;
      const uint local = columns[1].section(QLatin1Char(':'), -1).toUInt(&ok, 16);
      if (ok && local == port && columns[3] == QLatin1String("01")) return true;
    }
  }
  return false;
}

// Every file and folder below `root`, with its size and modification time.
std::map<std::string, std::string> snapshot(const QString& root) {
  const auto stamp = [](const QFileInfo& info) {
    return text(QString::number(info.size()) + QLatin1Char(' ') +
                info.lastModified().toString(Qt::ISODateWithMs));
  };
  // The folder's own time shows a file that came and went again.
  std::map<std::string, std::string> files{{".", stamp(QFileInfo(root))}};
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    files[text(it.filePath().mid(root.size() + 1))] = stamp(it.fileInfo());
  }
  return files;
}

bool setMode(const QString& path, mode_t mode) {
  return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Hands `path` and everything below it to the player.
bool giveToPlayer(const QString& path) {
  if (!kRoot) return true;
  bool ok = ::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
  QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext())
    ok = ::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody) == 0 && ok;
  return ok;
}

// A fresh installation of this build, and a player's empty home folder beside it.
class InstalledGame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    // The player must reach the installation and their home through this folder.
    ASSERT_TRUE(setMode(root_.path(), 0755));
    prefix_ = root_.filePath(QStringLiteral("prefix"));
    bin_ = prefix_ + QStringLiteral("/bin");
    home_ = root_.filePath(QStringLiteral("home"));
    runtime_ = root_.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(home_));
    ASSERT_TRUE(QDir().mkpath(runtime_));
    ASSERT_TRUE(setMode(runtime_, 0700));
    ASSERT_TRUE(giveToPlayer(home_));
    ASSERT_TRUE(giveToPlayer(runtime_));

    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(ZP_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(ZP_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix_});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
  }

  void TearDown() override {
    // A non-root run could not remove what it made read-only.
    setMode(bin_, 0755);
  }

  // A new user's environment, offscreen, with its own home and nothing of ours from XDG.
  QProcessEnvironment newUserEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
      if (name.startsWith(QLatin1String("XDG_"))) env.remove(name);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("HOME"), home_);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
  }

  // Starts the installed game as a player does from the menu: no arguments, a solo table.
  void startGame(const QString& workingFolder) {
    port_ = freePort();
    ASSERT_NE(port_, 0);
    QProcessEnvironment env = newUserEnvironment();
    env.insert(QStringLiteral("ZANDUPELIX_PORT"), QString::number(port_));
    game_.setProcessEnvironment(env);
    game_.setWorkingDirectory(workingFolder);
    if (kRoot) {
      game_.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
          ::_exit(126);
      });
    }
    game_.start(bin_ + QStringLiteral("/zandupelix"), {});
    ASSERT_TRUE(game_.waitForStarted(10000)) << text(game_.errorString());
  }

  // The game has hosted its table on the port and sits at it as "You": a second player
  // logging in hears of them.
  void expectLoggedIn() {
    const bool reached = waitUntil(
        [&] { return connectedTo(port_) || game_.state() == QProcess::NotRunning; }, 15000);
    ASSERT_TRUE(reached && game_.state() == QProcess::Running)
        << "the game's own client never reached its table; stderr: "
        << game_.readAllStandardError().toStdString();
    LoopbackClient probe(port_);
    ASSERT_TRUE(probe.waitFor("CMD_sendlogininfo+2", 10000)) << "the game is not record 1";
    probe.write(zp::net::to_server::logininfo({2, std::string(zp::kGameVersion), "Probe"}));
    ASSERT_TRUE(waitUntil(
        [&] {
          return probe.has("CMD_newplayerinfo+1+You") || probe.has("CMD_existingplayers+1+You");
        },
        10000))
        << "stderr: " << game_.readAllStandardError().toStdString();
    // The window reads its settings, and so keeps them at close, only once it has handled its
    // own arrival, which nothing outside shows. The table and the window share one thread:
    // while the table answers a few chat lines one after the other, that thread also runs the
    // window's dispatch, which then has handled the few messages it had waiting.
    for (int line = 1; line <= 3; ++line) {
      const std::string said = "line " + std::to_string(line) + "|clBlack";
      probe.write(zp::net::to_server::chat({2, said}));
      ASSERT_TRUE(probe.waitFor("CMD_chat+2+Probe chats: " + said, 10000));
    }
  }

  // SIGTERM closes the window, which saves, as the player's own close does.
  void stopGame() {
    game_.terminate();
    ASSERT_TRUE(game_.waitForFinished(10000));
    EXPECT_EQ(game_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(game_.exitCode(), 0) << game_.readAllStandardError().toStdString();
  }

  // The per-user data folder as a desktop names it: ~/.local/share/zandupelix. The tally is
  // written at every exit; the settings only once something changed (a window closed where
  // it opened writes none), and then there too.
  void expectPlayersFilesInTheirDataFolder() {
    const QDir data(home_ + QStringLiteral("/.local/share/zandupelix"));
    EXPECT_TRUE(QFileInfo(data.filePath(QStringLiteral("ZanduPelixtally.tld"))).size() > 0);
    QFile settings(data.filePath(QStringLiteral("qelmlobby.ini")));
    if (settings.exists()) {
      ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << text(settings.fileName());
      EXPECT_TRUE(settings.readAll().contains("[ZanduPelix]"));
    }
  }

  QTemporaryDir root_;
  QString prefix_, bin_, home_, runtime_;
  quint16 port_ = 0;
  QProcess game_;
};

TEST_F(InstalledGame, PutsEachFileWhereDesktopsLookForIt) {
  // The programs and nothing else: no test or benchmark program.
  EXPECT_EQ(text(QDir(bin_)
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)
                     .join(QLatin1Char(' '))),
            "zandupelix zandupelix-directory zandupelix-lobby zandupelix-pack zandupelix-server");
  for (const QString& program : QDir(bin_).entryList(QDir::Files))
    EXPECT_TRUE(QFileInfo(bin_ + QLatin1Char('/') + program).isExecutable()) << text(program);
  // The modules the game loads when first needed; the game would find them where they were
  // built too, which would hide one left out.
  EXPECT_EQ(text(QDir(prefix_ + QStringLiteral("/" ZP_MODULE_DIR))
                     .entryList(QDir::Files, QDir::Name)
                     .join(QLatin1Char(' '))),
            "zandupelix-download.so zandupelix-sound.so zandupelix-speech.so");

  const QString share = prefix_ + QStringLiteral("/share");
  EXPECT_TRUE(QFile::exists(share + QStringLiteral("/zandupelix/zandutiles/wood.bmp")));
  EXPECT_TRUE(QFile::exists(share + QStringLiteral("/doc/zandupelix/SCOWL-COPYRIGHT")));

  QFile entry(share + QStringLiteral("/applications/zandupelix.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
  const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
  for (const char* line : {"[Desktop Entry]", "Type=Application", "Name=Zandu Pelix",
                           "Exec=zandupelix", "Icon=zandupelix", "Terminal=false"})
    EXPECT_TRUE(lines.contains(QLatin1String(line))) << line;

  QFile lobbyEntry(share + QStringLiteral("/applications/zandupelix-lobby.desktop"));
  ASSERT_TRUE(lobbyEntry.open(QIODevice::ReadOnly | QIODevice::Text));
  const QStringList lobbyLines = QString::fromUtf8(lobbyEntry.readAll()).split(QLatin1Char('\n'));
  for (const char* line : {"[Desktop Entry]", "Type=Application", "Name=Zandu Pelix Lobby",
                           "Exec=zandupelix-lobby", "Icon=zandupelix", "Terminal=false"})
    EXPECT_TRUE(lobbyLines.contains(QLatin1String(line))) << line;

  // Each picture is as big as the folder it sits in says, or desktops scale it wrongly.
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    const QString icon =
        share + QStringLiteral("/icons/hicolor/%1x%1/apps/zandupelix.png").arg(size);
    QImageReader reader(icon);
    EXPECT_EQ(reader.size(), QSize(size, size)) << text(icon);
  }
  EXPECT_TRUE(QFile::exists(share + QStringLiteral("/icons/hicolor/scalable/apps/zandupelix.svg")));
}

// The installed lobby answers as a program does and keeps its settings in the file the
// installed game uses, in the player's data folder, in a section of its own.
TEST_F(InstalledGame, TheLobbySharesTheGamesSettingsFile) {
  QProcess version;
  version.start(bin_ + QStringLiteral("/zandupelix-lobby"), {QStringLiteral("--version")});
  ASSERT_TRUE(version.waitForFinished(10000));
  EXPECT_EQ(text(QString::fromUtf8(version.readAllStandardOutput())),
            "zandupelix-lobby " + std::string(zp::kGameVersion) + "\n");
  EXPECT_EQ(version.exitCode(), 0);

  QProcess lobby;
  QProcessEnvironment env = newUserEnvironment();
  env.insert(QStringLiteral("ZANDUPELIX_PORT"), QString::number(freePort()));
  env.insert(QStringLiteral("ZANDUPELIX_LOBBY_PORT"), QString::number(freePort()));
  lobby.setProcessEnvironment(env);
  if (kRoot) {
    lobby.setChildProcessModifier([] {
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        ::_exit(126);
    });
  }
  // A directory given on the command line is remembered at once.
  lobby.start(bin_ + QStringLiteral("/zandupelix-lobby"),
              {QStringLiteral("--directory"), QStringLiteral("127.0.0.1:1")});
  ASSERT_TRUE(lobby.waitForStarted(10000));
  const QString settings = home_ + QStringLiteral("/.local/share/zandupelix/qelmlobby.ini");
  const bool written = waitUntil(
      [&] { return QFile::exists(settings) || lobby.state() == QProcess::NotRunning; }, 10000);
  ASSERT_TRUE(written && lobby.state() == QProcess::Running)
      << lobby.readAllStandardError().toStdString();
  lobby.terminate();
  ASSERT_TRUE(lobby.waitForFinished(10000));
  EXPECT_EQ(lobby.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(lobby.exitCode(), 0) << lobby.readAllStandardError().toStdString();
  QFile file(settings);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray content = file.readAll();
  EXPECT_TRUE(content.contains("[ZanduPelixLobby]\r\n")) << content.toStdString();
  EXPECT_TRUE(content.contains("Directory=127.0.0.1:1\r\n")) << content.toStdString();
  EXPECT_FALSE(QFile::exists(bin_ + QStringLiteral("/qelmlobby.ini")));
}

// As in /usr/bin: the player may not write where the programs are. The game runs from
// there, so the word file it writes out at start has to go elsewhere too.
TEST_F(InstalledGame, KeepsThePlayersFilesOutOfAProgramFolderTheyCannotWrite) {
  ASSERT_TRUE(setMode(bin_, 0555));
  const auto before = snapshot(bin_);
  ASSERT_NO_FATAL_FAILURE(startGame(bin_));
  ASSERT_NO_FATAL_FAILURE(expectLoggedIn());
  EXPECT_EQ(snapshot(bin_), before) << "written into the programs' folder while running";
  ASSERT_NO_FATAL_FAILURE(stopGame());
  expectPlayersFilesInTheirDataFolder();
  EXPECT_EQ(snapshot(bin_), before);
}

// As in ~/.local/bin: the player owns the programs' folder and could write there, but an
// installed game still keeps their files with the rest of their data.
TEST_F(InstalledGame, KeepsThePlayersFilesInTheirDataFolderWhereItCouldWriteItsOwn) {
  ASSERT_TRUE(giveToPlayer(prefix_));
  const auto before = snapshot(bin_);
  ASSERT_NO_FATAL_FAILURE(startGame(home_));
  ASSERT_NO_FATAL_FAILURE(expectLoggedIn());
  ASSERT_NO_FATAL_FAILURE(stopGame());
  expectPlayersFilesInTheirDataFolder();
  EXPECT_EQ(snapshot(bin_), before);
}

}  // namespace
