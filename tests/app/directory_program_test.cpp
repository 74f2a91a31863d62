// zandupelix-directory and zandupelix-server --register as their users meet them: processes
// on loopback, on free ports.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <optional>
#include <vector>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/framing.h"
#include "tests/app/program_run.h"
#include "tests/support/ask_and_shut.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_program.h"

namespace zp::app::testing {
namespace {

using zp::testing::RunningProgram;

const QString kServer = QStringLiteral(ZANDUPELIX_SERVER);
const QString kDirectory = QStringLiteral(ZANDUPELIX_DIRECTORY);

// The list as a lobby reads it; nothing when the directory does not answer in full.
std::optional<std::vector<net::ListedTable>> askForList(quint16 port) {
  QTcpSocket socket;
  socket.connectToHost("127.0.0.1", port);
  if (!socket.waitForConnected(5000)) return std::nullopt;
  const std::string request = net::to_directory::tablelist();
  socket.write(request.data(), static_cast<qint64>(request.size()));
  net::MessageReader reader;
  std::vector<net::ListedTable> tables;
  bool ended = false;
  while (!ended && socket.waitForReadyRead(5000)) {
    const QByteArray bytes = socket.readAll();
    reader.feed(std::string_view(bytes.constData(), bytes.size()), [&](std::string&& m) {
      const net::SplitMessage split = net::splitMessage(m);
      if (split.command == net::cmd::listedtable) {
        if (auto table = net::from_directory::parseListedTable(split.args))
          tables.push_back(*table);
      } else if (split.command == net::cmd::tablelistend) {
        ended = true;
      }
    });
  }
  if (!ended) return std::nullopt;
  return tables;
}

// Asks every 100 ms until the list satisfies `wanted` (10 s at most).
std::vector<net::ListedTable> listUntil(
    quint16 port, const std::function<bool(const std::vector<net::ListedTable>&)>& wanted) {
  QElapsedTimer clock;
  clock.start();
  std::vector<net::ListedTable> last;
  while (clock.elapsed() < 10000) {
    if (auto tables = askForList(port)) {
      last = *tables;
      if (wanted(last)) break;
    }
    QThread::msleep(100);
  }
  return last;
}

const net::ListedTable* find(const std::vector<net::ListedTable>& tables, quint16 port) {
  for (const auto& t : tables)
    if (t.port == port) return &t;
  return nullptr;
}

TEST(DirectoryProgram, ListsTheHostsThatRegisterAndForgetsOneThatStops) {
  QTemporaryDir dir;
  QDir(dir.path()).mkdir("alpha");
  QDir(dir.path()).mkdir("beta");
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir.path());
  ASSERT_NE(directory.port, 0);
  const QString where = "127.0.0.1:" + QString::number(directory.port);
  RunningProgram alpha(kServer, {"--name", "Alpha", "--register", where, "--tick-ms", "20"},
                       dir.filePath("alpha"));
  RunningProgram beta(kServer, {"--name", "Beta", "--register", where}, dir.filePath("beta"));
  ASSERT_NE(alpha.port, 0);
  ASSERT_NE(beta.port, 0);

  auto both = listUntil(directory.port, [&](const auto& tables) {
    return find(tables, alpha.port) && find(tables, beta.port);
  });
  ASSERT_EQ(both.size(), 2u);
  const net::ListedTable* listed = find(both, alpha.port);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->address, "127.0.0.1");
  EXPECT_EQ(
      listed->info,
      (net::TableInfo{"Alpha", "1.0.15", false, 0, 0, 0, {}, ComputerStrength::Classic, "public"}));
  EXPECT_EQ(find(both, beta.port)->info.name, "Beta");
  EXPECT_EQ(alpha.readLine(),
            "Listed by the directory " + where + " as 127.0.0.1:" + QString::number(alpha.port));

  // An arrival at Alpha reaches the list without waiting for the refresh.
  QTcpSocket ann;
  ann.connectToHost("127.0.0.1", alpha.port);
  ASSERT_TRUE(ann.waitForConnected(5000));
  const std::string login = net::to_server::logininfo({1, "1.0.15", "Ann"});
  ann.write(login.data(), static_cast<qint64>(login.size()));
  ASSERT_TRUE(ann.waitForBytesWritten(5000));
  QElapsedTimer clock;
  clock.start();
  const auto seated = listUntil(directory.port, [&](const auto& tables) {
    const net::ListedTable* t = find(tables, alpha.port);
    return t && t->info.seats[0] == "Ann";
  });
  ASSERT_TRUE(find(seated, alpha.port));
  EXPECT_EQ(find(seated, alpha.port)->info.seats[0], "Ann");
  EXPECT_LT(clock.elapsed(), 5000) << "well before the 15 s refresh";

  // Beta stops: it takes itself back, long before the directory would drop it.
  EXPECT_EQ(beta.stop(), 0);
  clock.restart();
  const auto one =
      listUntil(directory.port, [&](const auto& tables) { return !find(tables, beta.port); });
  EXPECT_LT(clock.elapsed(), 5000);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].port, alpha.port);

  EXPECT_EQ(alpha.stop(), 0);
  EXPECT_EQ(directory.stop(), 0);
  const QString news = directory.output();
  EXPECT_TRUE(news.contains(QString("Dropped 127.0.0.1:%1 (withdrawn)").arg(beta.port)))
      << news.toStdString();
}

struct OptionCase {
  QString program;
  QStringList args;
  int exitCode;
  QString out;
  QString err;
};

TEST(DirectoryProgram, OptionsAreCheckedAndExplained) {
  const QString seeDirectory = " (see zandupelix-directory --help)\n";
  const QString seeServer = " (see zandupelix-server --help)\n";
  const QString port =
      "zandupelix-directory: --port \"%1\" is not a port: give 0 to 65535 (0 "
      "takes any free port)" +
      seeDirectory;
  const QString registerText =
      "zandupelix-server: --register \"%1\" is not a directory: give HOST or HOST:PORT, the port "
      "1 to 65535" +
      seeServer;
  const QString name =
      "zandupelix-server: --name \"%1\" is not allowed: give 1 to 40 characters" + seeServer;
  const QString fortyOne(41, QChar(0x00E9));
  const std::vector<OptionCase> cases = {
      {kDirectory, {"--port", "65536"}, 2, "", port.arg("65536")},
      {kDirectory, {"--port", "x"}, 2, "", port.arg("x")},
      {kDirectory,
       {"--port", "0", "extra"},
       2,
       "",
       "zandupelix-directory: unexpected argument \"extra\"" + seeDirectory},
      {kDirectory,
       {"--name", "x"},
       2,
       "",
       "zandupelix-directory: Unknown option 'name'." + seeDirectory},
      {kDirectory, {"--version"}, 0, "zandupelix-directory 1.0.15\n", ""},
      {kServer, {"--port", "0", "--register", "dir:0"}, 2, "", registerText.arg("dir:0")},
      {kServer,
       {"--port", "0", "--register", "a", "--register", "[::1"},
       2,
       "",
       registerText.arg("[::1")},
      {kServer, {"--port", "0", "--name", ""}, 2, "", name.arg("")},
      {kServer, {"--port", "0", "--name", fortyOne}, 2, "", name.arg(fortyOne)},
  };
  QTemporaryDir dir;
  for (const OptionCase& c : cases) {
    const Finished f = runToEnd(c.program, c.args, dir.path());
    EXPECT_EQ(f.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_EQ(f.out, c.out) << c.args.join(' ').toStdString();
    EXPECT_EQ(f.err, c.err) << c.args.join(' ').toStdString();
  }
  const Finished help = runToEnd(kDirectory, {"--help"}, dir.path());
  EXPECT_EQ(help.exitCode, 0);
  for (const char* text : {"--port <N>", "default 7771", "--version"})
    EXPECT_TRUE(help.out.contains(text)) << text;
  const Finished serverHelp = runToEnd(kServer, {"--help"}, dir.path());
  for (const char* text : {"--name <TEXT>", "Table on", "--register <HOST[:PORT]>", "7771"})
    EXPECT_TRUE(serverHelp.out.contains(text)) << text;
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(DirectoryProgram, AHostIsListedUnderItsNameOfUpTo40CharactersOrItsMachines) {
  QTemporaryDir dir;
  QDir(dir.path()).mkdir("named");
  QDir(dir.path()).mkdir("unnamed");
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir.path());
  const QString where = "127.0.0.1:" + QString::number(directory.port);
  const QString forty(40, QChar(0x00E9));  // 80 bytes in UTF-8
  RunningProgram named(kServer, {"--name", forty, "--register", where}, dir.filePath("named"));
  RunningProgram unnamed(kServer, {"--register", where}, dir.filePath("unnamed"));
  ASSERT_NE(named.port, 0);
  ASSERT_NE(unnamed.port, 0);
  const auto tables = listUntil(directory.port, [](const auto& t) { return t.size() == 2; });
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(QString::fromStdString(find(tables, named.port)->info.name), forty);
  EXPECT_EQ(QString::fromStdString(find(tables, unnamed.port)->info.name),
            "Table on " + QSysInfo::machineHostName().left(31));
}

// QTcpSocket closes both ways at the peer's end of data: the answer must be with the system
// before that.
TEST(DirectoryProgram, APeerThatShutsItsSendingSideStillGetsItsAnswer) {
  QTemporaryDir dir;
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir.path());
  ASSERT_NE(directory.port, 0);
  // A registration is answered once the directory has checked the table, later than this:
  // a code is answered at once.
  const std::string question = net::to_directory::findcode({"222222"});
  EXPECT_EQ(zp::testing::askAndShut(directory.port, question),
            net::from_directory::refused({0, "No such table"}));
  const std::string list = zp::testing::askAndShut(directory.port, net::to_directory::tablelist());
  const std::string end = net::from_directory::tablelistend({0});
  EXPECT_TRUE(list.size() >= end.size() &&
              list.compare(list.size() - end.size(), end.size(), end) == 0)
      << list;
}

// Connections from `count` loopback addresses of their own (127.0.3.1, ...), each sending
// `first` once it is connected.
std::vector<std::unique_ptr<QTcpSocket>> connectFrom(int count, quint16 port,
                                                     const std::string& first = {}) {
  std::vector<std::unique_ptr<QTcpSocket>> sockets;
  for (int n = 0; n < count; ++n) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QString("127.0.3.%1").arg(n + 1)));
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!first.empty()) socket->write(first.data(), static_cast<qint64>(first.size()));
    sockets.push_back(std::move(socket));
  }
  return sockets;
}

TEST(DirectoryProgram, AConnectionPastTheLimitIsToldWhy) {
  QTemporaryDir dir;
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir.path());
  ASSERT_NE(directory.port, 0);
  std::vector<std::unique_ptr<QTcpSocket>> held;
  for (int n = 0; n < 80; ++n) {  // one address's share
    held.push_back(std::make_unique<QTcpSocket>());
    held.back()->connectToHost("127.0.0.1", directory.port);
    ASSERT_TRUE(held.back()->waitForConnected(5000));
  }
  QTcpSocket late;
  late.connectToHost("127.0.0.1", directory.port);
  ASSERT_TRUE(late.waitForConnected(5000));
  QByteArray said;
  while (!said.endsWith('\xFF') && late.waitForReadyRead(5000)) said += late.readAll();
  EXPECT_EQ(said.toStdString(), net::from_directory::refused({0, "too many connections"}));
}

TEST(DirectoryProgram, WithFewFileHandlesEveryConnectionIsAnsweredOrClosedNoneLeftWaiting) {
  QTemporaryDir dir;
  // 64 connections at most, as the directory says on stderr.
  RunningProgram directory(kDirectory, {"--relay-port", "0"}, dir.path(), [](QProcess& process) {
    process.setChildProcessModifier([] {
      const rlimit files{192, 192};
      ::setrlimit(RLIMIT_NOFILE, &files);
    });
  });
  ASSERT_NE(directory.port, 0);
  const std::string registration =
      net::to_directory::registertable({7772, {"T", "1.0.15", false, 0, 0, 0, {}, std::nullopt}});
  auto hosts = connectFrom(250, directory.port, registration);
  const auto settled = [&] {
    for (const auto& host : hosts)
      if (host->bytesAvailable() == 0 && host->state() != QAbstractSocket::UnconnectedState)
        return false;
    return true;
  };
  EXPECT_TRUE(zp::testing::waitUntil(settled, 10000));
  // Nothing listens at their port: each host taken is checked and told so, none listed.
  int registered = 0;
  for (const auto& host : hosts)
    if (host->readAll().startsWith("CMD_refused+7772+the directory cannot reach")) ++registered;
  EXPECT_GT(registered, 0);
  EXPECT_LT(registered, 64) << "some room is kept for lobbies";
  const auto tables = askForList(directory.port);
  ASSERT_TRUE(tables);
  EXPECT_EQ(tables->size(), 0U);
  EXPECT_EQ(directory.errors(),
            "zandupelix-directory: at most 64 connections at once, as the system lets this "
            "program open only 192 files\n");
}

}  // namespace
}  // namespace zp::app::testing
