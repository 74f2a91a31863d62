// zandupelix-server as a host meets it: its options, its word file, its port and its news.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "server/table_server.h"
#include "server/word_search.h"
#include "tests/app/program_run.h"
#include "tests/support/ask_and_shut.h"
#include "tests/support/running_program.h"
#include "words/tdictn.h"

namespace zp::app::testing {
namespace {

const QString kServer = QStringLiteral(ZANDUPELIX_SERVER);
// Game seconds of 20 ms: whole games in moments.
const QStringList kFast{"--tick-ms", "20"};

using zp::testing::RunningProgram;

ino_t inodeOf(const QString& file) {
  struct stat st = {};
  return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

TEST(ServerProgram, ASecondServerInTheSameFolderLeavesTheFirstOnesWordFile) {
  QTemporaryDir dir;
  const QString wordFile = dir.filePath("English");
  RunningProgram first(kServer, kFast, dir.path());
  ASSERT_NE(first.port, 0);
  const ino_t written = inodeOf(wordFile);
  ASSERT_NE(written, 0u);

  const Finished second = runToEnd(kServer, {"--port", QString::number(first.port)}, dir.path());
  EXPECT_EQ(second.exitCode, 1);
  // The fixed text, then the port and the system's own reason.
  EXPECT_TRUE(
      second.err.startsWith(QString("Listen - Error Binding Socket\nport %1: ").arg(first.port)))
      << second.err.toStdString();
  EXPECT_TRUE(second.err.contains("in use")) << second.err.toStdString();
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(inodeOf(wordFile), written) << "neither replaced nor deleted by the second";

  EXPECT_EQ(first.stop(), 0);
  EXPECT_FALSE(QFile::exists(wordFile)) << "the last server out deletes it";
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Root writes anywhere, so the server is run as "nobody" there, from a copy that nobody may
// run; elsewhere the folder's missing write permission is enough.
TEST(ServerProgram, AnUnwritableWorkingFolderMovesTheWordFileOrStopsTheStart) {
  QTemporaryDir dir;
  const bool root = ::geteuid() == 0;
  const uid_t nobody = 65534;
  QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadOther | QFile::ExeOther);
  const QString program = dir.filePath("zandupelix-server");
  ASSERT_TRUE(QFile::copy(kServer, program));
  QFile::setPermissions(program,
                        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
  QDir(dir.path()).mkdir("work");
  QDir(dir.path()).mkdir("run");
  QFile::setPermissions(dir.filePath("work"),
                        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
  if (root) {
    ASSERT_EQ(::chown(QFile::encodeName(dir.filePath("run")).constData(), nobody, nobody), 0);
  }
  QFile plain(dir.filePath("plain-file"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();

  const auto prepare = [&](const QString& runtime) {
    return [&, runtime](QProcess& process) {
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("XDG_RUNTIME_DIR", runtime);
      env.insert("XDG_CACHE_HOME", dir.filePath("plain-file/cache"));
      process.setProcessEnvironment(env);
      if (root) {
        process.setChildProcessModifier([nobody] {
          if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(126);
        });
      }
    };
  };
  const QString work = dir.filePath("work");

  {
    RunningProgram server(program, kFast, work, prepare(dir.filePath("run")));
    ASSERT_NE(server.port, 0) << server.errors().toStdString();
    const QString moved = dir.filePath("run/zandupelix/English");
    EXPECT_TRUE(QFile::exists(moved));
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(server.errors(),
              QString("zandupelix-server: the working folder cannot take the word file (%1: "
                      "Permission denied); using %2 instead\n")
                  .arg(dir.filePath("work/English"), moved));
    EXPECT_FALSE(QFile::exists(moved));
  }

  const Finished stopped =
      runToEnd(program, {"--port", "0"}, work, prepare(dir.filePath("plain-file/run")));
  EXPECT_EQ(stopped.exitCode, 1);
  EXPECT_EQ(stopped.out, "") << "it never listens";
  EXPECT_EQ(stopped.err,
            QString("zandupelix-server: no folder can take the word file: "
                    "%1: Permission denied; %2: Not a directory; %3: Not a "
                    "directory\n")
                .arg(dir.filePath("work/English"), dir.filePath("plain-file/run/zandupelix"),
                     dir.filePath("plain-file/cache/zandupelix")));
}

struct OptionCase {
  QStringList args;
  int exitCode;
  QString out;  // the whole of stdout
  QString err;  // the whole of stderr
};

TEST(ServerProgram, OptionsAreCheckedAndExplained) {
  const QString see = " (see zandupelix-server --help)\n";
  const QString port =
      "zandupelix-server: --port \"%1\" is not a port: give 0 to 65535 (0 takes "
      "any free port)" +
      see;
  const std::vector<OptionCase> cases = {
      {{"--port", "99999"}, 2, "", port.arg("99999")},
      {{"--port", "abc"}, 2, "", port.arg("abc")},
      {{"--port", "-1"}, 2, "", port.arg("-1")},
      {{"--port", "0", "--tick-ms", "0"},
       2,
       "",
       "zandupelix-server: --tick-ms \"0\" is not allowed: give the ms of one game second, 1 to "
       "60000" +
           see},
      {{"--port", "0", "--seed", "x"},
       2,
       "",
       "zandupelix-server: --seed \"x\" is not allowed: give a whole number from 0 to "
       "18446744073709551615 (0 seeds from the clock)" +
           see},
      {{"--port", "0", "--computer", "hard"},
       2,
       "",
       "zandupelix-server: --computer \"hard\" is not a strength: give easy, classic, strong or "
       "expert" +
           see},
      {{"--port", "0", "--computer", ""},
       2,
       "",
       "zandupelix-server: --computer \"\" is not a strength: give easy, classic, strong or "
       "expert" +
           see},
      {{"--port", "0", "surplus"},
       2,
       "",
       "zandupelix-server: unexpected argument \"surplus\"" + see},
      {{"--port", "0", "--colour"}, 2, "", "zandupelix-server: Unknown option 'colour'." + see},
      {{"--version"}, 0, "zandupelix-server 1.0.15\n", ""},
  };
  QTemporaryDir dir;
  for (const OptionCase& c : cases) {
    const Finished f = runToEnd(kServer, c.args, dir.path());
    EXPECT_EQ(f.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_EQ(f.out, c.out) << c.args.join(' ').toStdString();
    EXPECT_EQ(f.err, c.err) << c.args.join(' ').toStdString();
  }

  // The help's lines wrap at a width the longest option sets.
  for (const char* help : {"--help", "-h"}) {
    const Finished f = runToEnd(kServer, {help}, dir.path());
    EXPECT_EQ(f.exitCode, 0);
    for (const char* text :
         {"--port <N>", "takes any free port", "--tick-ms <MS>", "--seed <S>",
          "--computer <STRENGTH>", "easy, classic, strong or expert (default classic)",
          "--name <TEXT>", "--register <HOST[:PORT]>"})
      EXPECT_TRUE(f.out.simplified().contains(text)) << help << " lacks " << text;
  }
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(ServerProgram, TellsOnStdoutWhoArrives) {
  QTemporaryDir dir;
  RunningProgram server(kServer, kFast, dir.path());
  ASSERT_NE(server.port, 0);
  QTcpSocket ann;
  ann.connectToHost("127.0.0.1", server.port);
  QByteArray got;
  while (!got.contains("CMD_sendlogininfo+1\xff") && ann.waitForReadyRead(10000))
    got += ann.readAll();
  // A name that would colour the terminal arrives in the news escaped.
  ann.write("CMD_logininfo+1+1.0.15+Ann\x1b[31m\xff");
  ASSERT_TRUE(ann.waitForBytesWritten(10000));
  const QString news = server.readLine();
  EXPECT_TRUE(news.contains("Ann\\x1B[31m arrived")) << news.toStdString();
  EXPECT_FALSE(news.contains(QChar(0x1B))) << news.toStdString();
  EXPECT_EQ(server.stop(), 0);
}

// A lobby that asks and shuts its sending side at once (as "nc -N" does) still hears what
// the table holds, though the table's socket closes both ways at the end of the ask.
TEST(ServerProgram, AnAskFollowedByAHalfCloseIsAnswered) {
  QTemporaryDir dir;
  RunningProgram server(kServer, kFast + QStringList{"--name", "Half"}, dir.path());
  ASSERT_NE(server.port, 0);
  const std::string answer = zp::testing::askAndShut(server.port, net::to_server::tableinfo());
  const std::size_t at = answer.find(std::string(net::cmd::tableinfo) + "+");
  ASSERT_NE(at, std::string::npos) << answer;
  const std::string message = answer.substr(at, answer.find('\xff', at) - at);
  const auto info = net::to_players::parseTableInfo(net::splitMessage(message).args);
  ASSERT_TRUE(info.has_value()) << message;
  EXPECT_EQ(info->name, "Half");
}

// A host who only watches, so the computer plays the first turn on the first board: the
// board and the computer's word, as the host's window receives them.
struct FirstWord {
  zp::board::Letters board{};
  net::MadeWord made;
};
std::optional<FirstWord> firstComputerWord(quint16 port) {
  QTcpSocket ann;
  ann.connectToHost("127.0.0.1", port);
  const std::string login = net::to_server::logininfo({1, "1.0.15", "Ann"}) +
                            net::to_server::startgame({"Ann", 500, 30, false, 0}) +
                            net::to_server::justwatch({1, 1});
  ann.write(login.data(), static_cast<qint64>(login.size()));
  FirstWord first;
  std::string pending;
  while (ann.waitForReadyRead(10000)) {
    const QByteArray bytes = ann.readAll();
    pending.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    for (std::size_t end; (end = pending.find('\xff')) != std::string::npos;
         pending.erase(0, end + 1)) {
      const net::SplitMessage m = net::splitMessage(std::string_view(pending).substr(0, end));
      if (m.command == net::cmd::theboard) {
        if (const auto board = net::to_players::parseTheBoard(m.args)) first.board = board->codes;
      } else if (m.command == net::cmd::madeword) {
        const auto made = net::to_players::parseMadeWord(m.args);
        if (!made) return std::nullopt;
        first.made = *made;
        return first;
      }
    }
  }
  return std::nullopt;
}

TEST(ServerProgram, PlaysTheComputerAtTheStrengthItIsGiven) {
  QTemporaryDir dir;
  {
    RunningProgram server(kServer, kFast + QStringList{"--computer", "expert", "--seed", "5"},
                          dir.path());
    ASSERT_NE(server.port, 0) << server.errors().toStdString();
    const auto first = firstComputerWord(server.port);
    ASSERT_TRUE(first);
    zp::server::Board board;
    for (int a = 0; a < 7; ++a)
      for (int b = 0; b < 7; ++b) board.set(a, b, first->board[zp::board::cellIndex(a, b)]);
    const auto best = zp::server::bestTrace(
        board, zp::server::TableServer::wordsForExpert(words::carriedWordList()));
    ASSERT_TRUE(best);
    EXPECT_EQ(first->made.points, best->points) << first->made.word;
    EXPECT_EQ(server.stop(), 0);
  }
  {
    RunningProgram server(kServer, kFast + QStringList{"--computer", "easy", "--seed", "5"},
                          dir.path());
    ASSERT_NE(server.port, 0) << server.errors().toStdString();
    const auto first = firstComputerWord(server.port);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->made.word.size(), 4u) << first->made.word;
    EXPECT_EQ(server.stop(), 0);
  }
}

}  // namespace
}  // namespace zp::app::testing
