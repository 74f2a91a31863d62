// The lobby over real loopback TCP: a directory and headless hosts run as programs on free
// ports, the lobby's model in this process; a script stands in for the game it starts.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include "lobby/lobby.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_program.h"

namespace zp::lobby {
namespace {

using zp::testing::RunningProgram;
using zp::testing::waitUntil;

const QString kServer = QStringLiteral(ZANDUPELIX_SERVER);
const QString kDirectory = QStringLiteral(ZANDUPELIX_DIRECTORY);

quint16 freePort() {
  QTcpServer probe;
  if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
  return probe.serverPort();
}

const TableRow* rowOn(const Lobby& lobby, quint16 port) {
  for (const TableRow& row : lobby.rows())
    if (row.where.port == port) return &row;
  return nullptr;
}

bool knownAs(const Lobby& lobby, quint16 port, const std::string& name) {
  const TableRow* row = rowOn(lobby, port);
  return row && row->state == TableState::kKnown && row->info && row->info->name == name;
}

// Stands in for the game: writes down its arguments and its process number, then holds a
// lobby link open, as the game does, until it is stopped.
QString fakeGame(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("zandupelix"));
  QFile script(path);
  script.open(QIODevice::WriteOnly);
  script.write(
      "#!/bin/bash\n"
      "here=$(dirname \"$0\")\n"
      "printf '%s\\n' \"$@\" > \"$here/arguments.new\" && mv \"$here/arguments.new\" "
      "\"$here/arguments\"\n"
      "echo $$ > \"$here/pid\"\n"
      "exec 3<>/dev/tcp/127.0.0.1/${ZANDUPELIX_LOBBY_PORT:-1} || exit 1\n"
      "exec sleep 60\n");
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  return path;
}

QString slurp(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class LobbyLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    linkPort_ = freePort();
    ASSERT_NE(linkPort_, 0);
    qputenv("ZANDUPELIX_LOBBY_PORT", QByteArray::number(linkPort_));
  }
  void TearDown() override {
    // The stand-in game is detached: end it here if the test did not.
    const QString pid = slurp(dir_.filePath(QStringLiteral("pid"))).trimmed();
    if (!pid.isEmpty()) ::kill(static_cast<pid_t>(pid.toInt()), SIGKILL);
    qunsetenv("ZANDUPELIX_LOBBY_PORT");
  }
  LobbyOptions options(std::vector<net::HostPort> directories, quint16 tablePort) {
    return LobbyOptions{client::ProfileFile(dir_.filePath("qelmlobby.ini").toStdString()),
                        std::move(directories), tablePort, lobbyLinkPort(), fakeGame(dir_)};
  }

  QTemporaryDir dir_;
  quint16 linkPort_ = 0;
};

TEST_F(LobbyLoopback, ListsTheHostsADirectoryListsWithinARefreshAndDropsOneThatStops) {
  RunningProgram directory(kDirectory, {}, dir_.filePath("directory"));
  ASSERT_NE(directory.port, 0);
  const QString where = "127.0.0.1:" + QString::number(directory.port);
  RunningProgram alpha(kServer, {"--name", "Alpha", "--register", where}, dir_.filePath("alpha"));
  RunningProgram beta(kServer, {"--name", "Beta", "--register", where}, dir_.filePath("beta"));
  ASSERT_NE(alpha.port, 0);
  ASSERT_NE(beta.port, 0);
  ASSERT_TRUE(alpha.said("Listed by the directory"));
  ASSERT_TRUE(beta.said("Listed by the directory"));

  // Nothing runs on this computer's table port: no row for it.
  Lobby lobby(options({{"127.0.0.1", directory.port}}, freePort()));
  lobby.start();
  ASSERT_TRUE(waitUntil(
      [&] { return knownAs(lobby, alpha.port, "Alpha") && knownAs(lobby, beta.port, "Beta"); },
      static_cast<int>(kAnswerLimitMs)));
  EXPECT_EQ(lobby.rows().size(), 2u);
  EXPECT_EQ(rowOn(lobby, alpha.port)->sources, unsigned{kFromDirectory});
  EXPECT_EQ(rowOn(lobby, alpha.port)->where.host, "127.0.0.1");

  // Beta stops and takes itself back: gone by the next refresh.
  ASSERT_EQ(beta.stop(), 0);
  ASSERT_TRUE(waitUntil([&] { return !rowOn(lobby, beta.port); },
                        static_cast<int>(kRefreshMs + kAnswerLimitMs)));
  EXPECT_TRUE(knownAs(lobby, alpha.port, "Alpha"));
  EXPECT_EQ(lobby.rows().size(), 1u);
  EXPECT_EQ(lobby.statusLine(), "Games open: 0");

  // The directory stops: its table stays, unknown, and the status line says why.
  ASSERT_EQ(directory.stop(), 0);
  ASSERT_TRUE(waitUntil(
      [&] {
        const TableRow* row = rowOn(lobby, alpha.port);
        return row && row->state == TableState::kUnknown;
      },
      static_cast<int>(kRefreshMs + kAnswerLimitMs)));
  EXPECT_TRUE(lobby.statusLine().contains("The directory " + where + " does not answer"))
      << lobby.statusLine().toStdString();
}

TEST_F(LobbyLoopback, HostsATableAndKeepsItListedWhileItsGameLinksBack) {
  RunningProgram directory(kDirectory, {}, dir_.filePath("directory"));
  ASSERT_NE(directory.port, 0);
  // The table the hosting game would run on this computer.
  RunningProgram local(kServer, {"--name", "Mine"}, dir_.filePath("local"));
  ASSERT_NE(local.port, 0);

  {
    Lobby lobby(options({{"127.0.0.1", directory.port}}, local.port));
    lobby.start();
    ASSERT_TRUE(waitUntil([&] { return knownAs(lobby, local.port, "Mine"); }, 3000));
    EXPECT_EQ(rowOn(lobby, local.port)->sources, unsigned{kOnThisComputer});
    // A table already answers here: hosting another would fail in the game.
    lobby.setName("Ann");
    EXPECT_FALSE(lobby.host());
    EXPECT_TRUE(lobby.statusLine().startsWith("A table already runs on this computer"));
  }

  // Hosting before the table answers: the stand-in game links back, and the table on this
  // computer is then taken for the one it hosts.
  Lobby fresh(options({{"127.0.0.1", directory.port}}, local.port));
  fresh.start();
  ASSERT_TRUE(fresh.followsGames());
  ASSERT_TRUE(fresh.host());
  const QString arguments = dir_.filePath("arguments");
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(arguments); }, 5000));
  EXPECT_EQ(slurp(arguments), "Ann\n127.0.0.1\ntrue\n");
  ASSERT_TRUE(waitUntil([&] { return fresh.openGames() == 1; }, 5000));
  EXPECT_TRUE(fresh.statusLine().contains("Games open: 1")) << fresh.statusLine().toStdString();

  // Listed by the directory: the next round shows it from there too.
  ASSERT_TRUE(waitUntil(
      [&] {
        const TableRow* row = rowOn(fresh, local.port);
        return fresh.registersHostedTable() && row && (row->sources & kFromDirectory);
      },
      static_cast<int>(3 * kRefreshMs)));

  // The game ends: its link closes, the table is taken back from the directory.
  const QString pid = slurp(dir_.filePath("pid")).trimmed();
  ASSERT_FALSE(pid.isEmpty());
  ASSERT_EQ(::kill(static_cast<pid_t>(pid.toInt()), SIGTERM), 0);
  ASSERT_TRUE(waitUntil([&] { return fresh.openGames() == 0; }, 5000));
  EXPECT_FALSE(fresh.registersHostedTable());
  ASSERT_TRUE(waitUntil(
      [&] {
        const TableRow* row = rowOn(fresh, local.port);
        return row && !(row->sources & kFromDirectory);
      },
      static_cast<int>(kRefreshMs + kAnswerLimitMs)));
}

TEST_F(LobbyLoopback, JoinsWithAPortTakenByAnotherLobbyAndSaysSoOnce) {
  QTcpServer other;  // another lobby holds the links' port
  ASSERT_TRUE(other.listen(QHostAddress::LocalHost, linkPort_));
  Lobby lobby(options({}, freePort()));
  lobby.start();
  EXPECT_FALSE(lobby.followsGames());
  EXPECT_EQ(lobby.statusLine(),
            QString("Port %1 for the games' lobby links is taken (is another lobby open?): games "
                    "started here are not followed")
                .arg(linkPort_));

  EXPECT_FALSE(lobby.join({"2001:db8::7", 7800}));
  EXPECT_TRUE(lobby.statusLine().startsWith("Type your name first"));
  lobby.setName("Zoë Ann");
  ASSERT_TRUE(lobby.join({"2001:db8::7", 7800}));
  const QString arguments = dir_.filePath("arguments");
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(arguments); }, 5000));
  EXPECT_EQ(slurp(arguments), "Zoë Ann\n[2001:db8::7]:7800\nfalse\n");
  EXPECT_TRUE(lobby.statusLine().startsWith("Started the game to join [2001:db8::7]:7800"));

  // Remembered for the next start.
  EXPECT_EQ(
      readLobbySettings(client::ProfileFile(dir_.filePath("qelmlobby.ini").toStdString())).name,
      "Zoë Ann");
}

}  // namespace
}  // namespace zp::lobby
