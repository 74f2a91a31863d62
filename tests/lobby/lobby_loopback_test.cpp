// The lobby over real loopback TCP: a directory and headless hosts run as programs on free
// ports, the lobby's model in this process; a script stands in for the game it starts.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "lobby/lobby.h"
#include "net/catalogue.h"
#include "net/dispatch.h"
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
// lobby link open, sending the token it was handed as the game does, and writes down what the
// lobby sends it, until it is stopped.
// It links only once the test has made the file "go", so a test can act before the link; its
// number is written before its arguments, so a test that saw them can always end it, and it
// ends by itself once its folder is gone.
QString fakeGame(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("zandupelix"));
  QFile script(path);
  script.open(QIODevice::WriteOnly);
  script.write(
      "#!/bin/bash\n"
      "here=$(dirname \"$0\")\n"
      "echo $$ > \"$here/pid\"\n"
      "printf '%s\\n' \"$@\" > \"$here/arguments.new\" && mv \"$here/arguments.new\" "
      "\"$here/arguments\"\n"
      "while [ ! -e \"$here/go\" ]; do [ -d \"$here\" ] || exit 0; sleep 0.05; done\n"
      "exec 3<>/dev/tcp/127.0.0.1/${ZANDUPELIX_LOBBY_PORT:-1} || exit 1\n"
      "printf '%s\\377' \"$ZANDUPELIX_LOBBY_TOKEN\" >&3\n"
      "exec timeout 60 cat <&3 > \"$here/news\"\n");
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

  void letTheGameLink() {
    QFile go(dir_.filePath(QStringLiteral("go")));
    ASSERT_TRUE(go.open(QIODevice::WriteOnly));
  }

  QTemporaryDir dir_;
  quint16 linkPort_ = 0;
};

TEST_F(LobbyLoopback, ListsTheHostsADirectoryListsWithinARefreshAndDropsOneThatStops) {
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir_.filePath("directory"));
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
  // The directory given on the command line is remembered for the next start.
  EXPECT_EQ(readLobbySettings(client::ProfileFile(dir_.filePath("qelmlobby.ini").toStdString()))
                .directories,
            (std::vector<net::HostPort>{{"127.0.0.1", directory.port}}));
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
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir_.filePath("directory"));
  ASSERT_NE(directory.port, 0);
  // The table the hosting game would run on this computer.
  RunningProgram local(kServer, {"--name", "Mine"}, dir_.filePath("local"));
  ASSERT_NE(local.port, 0);

  {
    Lobby lobby(options({{"127.0.0.1", directory.port}}, local.port));
    lobby.start();
    ASSERT_TRUE(waitUntil([&] { return knownAs(lobby, local.port, "Mine"); }, 10000));
    EXPECT_EQ(rowOn(lobby, local.port)->sources, unsigned{kOnThisComputer});
    // A table already answers here: hosting another would fail in the game.
    lobby.setName("Ann");
    EXPECT_FALSE(lobby.host());
    EXPECT_TRUE(lobby.statusLine().startsWith("A table already runs on this computer"));
  }

  {
    // A table its host keeps to this network is registered with no directory, even once its
    // game runs and the table answers.
    Lobby hidden(options({{"127.0.0.1", directory.port}}, local.port));
    hidden.start();
    HostChoice choice = hidden.hostChoice();
    choice.visibility = net::Visibility::kLocal;
    ASSERT_TRUE(hidden.host(choice));
    ASSERT_TRUE(waitUntil([&] { return knownAs(hidden, local.port, "Mine"); }, 10000));
    letTheGameLink();
    ASSERT_TRUE(waitUntil([&] { return hidden.openGames() == 1; }, 5000));
    EXPECT_FALSE(hidden.registersHostedTable());
    const QString pid = slurp(dir_.filePath("pid")).trimmed();
    ASSERT_FALSE(pid.isEmpty());
    ASSERT_EQ(::kill(static_cast<pid_t>(pid.toInt()), SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return hidden.openGames() == 0; }, 5000));
    for (const char* left : {"go", "arguments", "pid", "news"})
      QFile::remove(dir_.filePath(QString::fromLatin1(left)));
  }

  // Hosting before the table answers: the stand-in game links back, and the table on this
  // computer is then taken for the one it hosts.
  Lobby fresh(options({{"127.0.0.1", directory.port}}, local.port));
  fresh.start();
  ASSERT_TRUE(fresh.followsGames());
  ASSERT_TRUE(fresh.host());
  // A stranger links first, before the game: it is not taken for the hosted game.
  QTcpSocket stranger;
  stranger.connectToHost(QHostAddress::LocalHost, linkPort_);
  stranger.write("CMD_linked+\xFF");
  ASSERT_TRUE(waitUntil([&] { return stranger.state() == QAbstractSocket::UnconnectedState; }));
  EXPECT_EQ(fresh.openGames(), 0);
  EXPECT_FALSE(fresh.registersHostedTable());
  letTheGameLink();
  const QString arguments = dir_.filePath("arguments");
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(arguments); }, 5000));
  // The table goes by the player's name unless the host named it.
  EXPECT_EQ(slurp(arguments), "Ann\n127.0.0.1\ntrue\n--table-name\nAnn's table\n");
  ASSERT_TRUE(waitUntil([&] { return fresh.openGames() == 1; }, 5000));
  EXPECT_TRUE(fresh.statusLine().contains("Games open: 1")) << fresh.statusLine().toStdString();

  // Listed by the directory: the next round shows it from there too.
  ASSERT_TRUE(waitUntil(
      [&] {
        const TableRow* row = rowOn(fresh, local.port);
        return fresh.registersHostedTable() && row && (row->sources & kFromDirectory);
      },
      static_cast<int>(3 * kRefreshMs)));
  // The game is told the code the directory gave its table, which the lobby shows too.
  const QString news = dir_.filePath("news");
  const auto told = [&] {
    QFile file(news);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  };
  ASSERT_TRUE(waitUntil([&] { return told().ends_with('\xFF'); }, 5000));
  const std::string message = told();
  ASSERT_TRUE(message.starts_with("CMD_invitecode+")) << message;
  const auto code = net::from_lobby::parseInviteCode(
      net::splitMessage(std::string_view(message).substr(0, message.size() - 1)).args);
  ASSERT_TRUE(code && !code->code.empty()) << message;
  EXPECT_TRUE(fresh.statusLine().contains(QString::fromStdString(net::inviteCodeText(code->code))));

  // The game ends: its link closes, the table is taken back from the directory.
  const QString pid = slurp(dir_.filePath("pid")).trimmed();
  ASSERT_FALSE(pid.isEmpty());
  ASSERT_EQ(::kill(static_cast<pid_t>(pid.toInt()), SIGTERM), 0);
  ASSERT_TRUE(waitUntil([&] { return fresh.openGames() == 0; }, 5000));
  EXPECT_FALSE(fresh.registersHostedTable());
  EXPECT_FALSE(fresh.statusLine().contains(QStringLiteral("Your table's invite code")))
      << fresh.statusLine().toStdString();
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

// Another lobby holds the links' port, so the game is not followed: the table answering on this
// computer's port is taken for the hosted one from when it answers until it stops.
TEST_F(LobbyLoopback, WithoutItsLinkAHostedTableCountsWhileItsTableAnswers) {
  QTcpServer other;
  ASSERT_TRUE(other.listen(QHostAddress::LocalHost, linkPort_));
  const quint16 tablePort = freePort();
  Lobby lobby(options({}, tablePort));
  lobby.start();
  lobby.setName("Ann");
  ASSERT_TRUE(lobby.host());
  EXPECT_FALSE(lobby.host()) << "the game is still starting";
  {
    RunningProgram table(kServer, {"--port", QString::number(tablePort), "--name", "Mine"},
                         dir_.filePath("table"));
    ASSERT_EQ(table.port, tablePort);
    ASSERT_TRUE(waitUntil([&] { return knownAs(lobby, tablePort, "Mine"); },
                          static_cast<int>(kRefreshMs + kAnswerLimitMs)));
    EXPECT_FALSE(lobby.host());
    EXPECT_TRUE(lobby.statusLine().startsWith("A table is already hosted on this computer"));
  }
  ASSERT_TRUE(waitUntil([&] { return !rowOn(lobby, tablePort); },
                        static_cast<int>(kRefreshMs + kAnswerLimitMs)));
  // The first game still waits to be let link: it goes, and the next one writes anew.
  const QString first = slurp(dir_.filePath("pid")).trimmed();
  ASSERT_FALSE(first.isEmpty());
  ASSERT_EQ(::kill(static_cast<pid_t>(first.toInt()), SIGKILL), 0);
  for (const char* left : {"arguments", "pid"}) QFile::remove(dir_.filePath(left));
  EXPECT_TRUE(lobby.host()) << "its table has stopped: another can be hosted";
  // Its number written, the test's end can stop it.
  EXPECT_TRUE(waitUntil([&] { return QFile::exists(dir_.filePath("arguments")); }, 5000));
}

TEST_F(LobbyLoopback, KeepsWhatThePlayerTypesOnceAndAsksTheFirstDirectoryForACode) {
  // Two directories that take the connection and never answer.
  QTcpServer first, second;
  ASSERT_TRUE(first.listen(QHostAddress::LocalHost, 0));
  ASSERT_TRUE(second.listen(QHostAddress::LocalHost, 0));
  Lobby lobby(options({{"127.0.0.1", first.serverPort()}, {"127.0.0.1", second.serverPort()}},
                      freePort()));
  lobby.start();
  EXPECT_FALSE(lobby.statusLine().contains("does not answer"))
      << "not while it is asked: " << lobby.statusLine().toStdString();
  EXPECT_EQ(lobby.setName("  Zoë Ann \t"), "Zoë Ann");
  for (int twice = 0; twice < 2; ++twice) ASSERT_TRUE(lobby.addTable(" 127.0.0.1:7800 "));
  const client::ProfileFile file(dir_.filePath("qelmlobby.ini").toStdString());
  EXPECT_EQ(readLobbySettings(file).tables, (std::vector<net::HostPort>{{"127.0.0.1", 7800}}));
  EXPECT_FALSE(slurp(dir_.filePath("qelmlobby.ini")).contains("Table2")) << "written once";
  EXPECT_EQ(readLobbySettings(file).name, "Zoë Ann");

  ASSERT_TRUE(lobby.joinByCode(" k7q-2m9 "));
  const QString arguments = dir_.filePath("arguments");
  ASSERT_TRUE(waitUntil([&] { return QFile::exists(arguments); }, 5000));
  EXPECT_EQ(slurp(arguments),
            "Zoë Ann\nK7Q2M9@127.0.0.1:" + QString::number(first.serverPort()) + "\nfalse\n");
  ASSERT_TRUE(waitUntil([&] { return lobby.statusLine().contains("does not answer"); },
                        static_cast<int>(kAnswerLimitMs + 1000)));
}

}  // namespace
}  // namespace zp::lobby
