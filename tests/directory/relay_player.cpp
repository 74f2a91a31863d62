// A scripted player for tests over real networks, speaking the catalogue's messages through
// the game's own connection. One line on stdout per thing it saw; exit status 0 when it did
// what it was asked.
//
//   relay_player list DIR:PORT                 every row: "direct NAME ADDR:PORT" or
//                                              "relayed NAME CODE"
//   relay_player find CODE@DIR:PORT            "direct ADDR:PORT", "relayed HOST:PORT" or
//                                              "refused REASON"
//   relay_player chat NAME TARGET              joins, logs in, chats, sees its own line back
//   relay_player play NAME TARGET OTHER host|guest
//                                              joins, logs in, chats with OTHER (whose line it
//                                              must see), plays until each has made a word;
//                                              the host starts the game
// TARGET is HOST:PORT, CODE@DIR:PORT, or row:NAME@DIR:PORT (the row of that name in the list).
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "net/catalogue.h"
#include "net/connection.h"
#include "net/dispatch.h"
#include "net/host_port.h"
#include "server/board.h"
#include "server/table_server.h"
#include "server/word_search.h"
#include "words/tdictn.h"

namespace {

namespace net = zp::net;

void say(const std::string& line) {
  std::cout << line << std::endl;
}

// Reads every message `connection` brings and hands each on.
void onMessages(net::GameConnection& connection, std::function<void(const std::string&)> handle) {
  auto reader = std::make_shared<net::MessageReader>();
  QObject::connect(&connection, &net::GameConnection::OnRead,
                   [reader, handle](const QByteArray& bytes) {
                     reader->feed(std::string_view(bytes.constData(), bytes.size()),
                                  [&](std::string&& m) { handle(m); });
                   });
}

struct Row {
  std::string name;
  std::string how;  // "direct ADDR:PORT" or "relayed CODE"
  std::string target;
};

// The directory's list, then `done` with it.
void listTables(net::GameConnection& connection, const net::HostPort& directory,
                std::function<void(const std::vector<Row>&)> done) {
  auto rows = std::make_shared<std::vector<Row>>();
  onMessages(connection, [rows, done, directory](const std::string& m) {
    const net::SplitMessage split = net::splitMessage(m);
    if (split.command == net::cmd::listedtable) {
      if (auto t = net::from_directory::parseListedTable(split.args)) {
        const std::string at = net::hostPortText({t->address, static_cast<std::uint16_t>(t->port)});
        rows->push_back({t->info.name, "direct " + at, at});
      }
    } else if (split.command == net::cmd::relayedtable) {
      if (auto t = net::from_directory::parseRelayedTable(split.args))
        rows->push_back(
            {t->info.name, "relayed " + t->code, t->code + "@" + net::hostPortText(directory)});
    } else if (split.command == net::cmd::tablelistend) {
      done(*rows);
    }
  });
  QObject::connect(&connection, &net::GameConnection::OnInfo, [&connection](const QString& text) {
    if (text == net::GameConnection::kConnected) connection.send(net::to_directory::tablelist());
  });
  connection.connectToHost(QString::fromStdString(directory.host), directory.port);
}

void join(net::GameConnection& connection, const std::string& target) {
  if (const auto invite = net::parseInviteAddress(target)) {
    connection.connectByCode(QString::fromStdString(invite->directoryHost), invite->directoryPort,
                             invite->code);
  } else if (const auto at = net::parseHostPort(target, 7772)) {
    connection.connectToHost(QString::fromStdString(at->host), at->port);
  }
}

// One player at a table: its record, the board, the words made.
class Seat {
 public:
  Seat(std::string name, std::string other, bool host, bool play)
      : name_(std::move(name)), other_(std::move(other)), host_(host), play_(play) {
    onMessages(connection_, [this](const std::string& m) { handle(m); });
    QObject::connect(&connection_, &net::GameConnection::OnInfo, [this](const QString& text) {
      if (text.startsWith(net::GameConnection::kSocketError))
        fail(text.toStdString());
      else if (text == net::GameConnection::kSocketClosed)
        fail("the connection closed");
    });
  }
  net::GameConnection& connection() { return connection_; }

 private:
  void handle(const std::string& m) {
    const net::SplitMessage split = net::splitMessage(m);
    if (split.command == net::cmd::sendlogininfo) {
      if (const auto n = net::to_players::parseSendLoginInfo(split.args)) {
        record_ = n->n;
        connection_.send(
            net::to_server::logininfo({record_, std::string(zp::kGameVersion), name_}));
        connection_.send(net::to_server::chat({record_, "hello from " + name_ + "|clBlack"}));
        say("logged in as record " + std::to_string(record_));
      }
    } else if (split.command == net::cmd::chat) {
      const auto line = net::to_players::parseChat(split.args);
      if (!line) return;
      say("chat: " + line->text);
      if (line->text == name_ + " chats: hello from " + name_) ownLine_ = true;
      if (line->text == other_ + " chats: hello from " + other_) otherLine_ = true;
      if (!play_ && ownLine_) finish();
      if (play_ && host_ && ownLine_ && otherLine_ && !started_) {
        started_ = true;
        connection_.send(net::to_server::startgame({name_, 500, 60, false, 0}));
      }
    } else if (split.command == net::cmd::theboard) {
      if (const auto b = net::to_players::parseTheBoard(split.args))
        for (int a = 0; a < zp::board::kBoardSize; ++a)
          for (int c = 0; c < zp::board::kBoardSize; ++c)
            board_.set(a, c, b->codes[zp::board::cellIndex(a, c)]);
    } else if (split.command == net::cmd::nextplayer) {
      const auto next = net::to_players::parseNextPlayer(split.args);
      if (next && next->n == record_ && !madeOwn_) playWord();
    } else if (split.command == net::cmd::madeword) {
      const auto made = net::to_players::parseMadeWord(split.args);
      if (!made) return;
      say("word " + made->word + " by " + std::to_string(made->n));
      if (made->n == record_) {
        madeOwn_ = true;
        connection_.send(net::to_server::direction({record_, zp::board::kDown}));
      } else {
        madeOther_ = true;
      }
      if (madeOwn_ && madeOther_) finish();
    } else if (split.command == net::cmd::notvalid) {
      say("not valid");
    }
  }
  void playWord() {
    static const zp::words::WordGraph words =
        zp::server::TableServer::wordsForExpert(zp::words::carriedWordList());
    const auto best = zp::server::bestTrace(board_, words);
    if (!best) return fail("no word on the board");
    connection_.send(net::to_server::playerdone({record_, best->path}));
  }
  void finish() {
    if (done_) return;
    done_ = true;
    say("done");
    connection_.send(net::to_server::goodbye({record_}));
    QTimer::singleShot(200, [] { QCoreApplication::exit(0); });
  }
  void fail(const std::string& why) {
    if (done_) return;
    done_ = true;
    say("failed: " + why);
    QCoreApplication::exit(1);
  }

  std::string name_, other_;
  bool host_, play_;
  net::GameConnection connection_;
  int record_ = 0;
  zp::server::Board board_;
  bool ownLine_ = false, otherLine_ = false, started_ = false, madeOwn_ = false, madeOther_ = false,
       done_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) return 2;
  const std::string mode = args[1].toStdString();
  QTimer::singleShot(60000, [] {
    say("failed: out of time");
    QCoreApplication::exit(1);
  });
  net::GameConnection directory;
  std::optional<Seat> seat;

  const auto start = [&](const std::string& target) {
    const bool play = mode == "play";
    seat.emplace(args[2].toStdString(), play ? args[4].toStdString() : "",
                 play && args[5] == "host", play);
    join(seat->connection(), target);
  };

  if (mode == "list") {
    const auto at = net::parseHostPort(args[2].toStdString(), net::kDirectoryPort);
    if (!at) return 2;
    listTables(directory, *at, [](const std::vector<Row>& rows) {
      for (const Row& row : rows)
        say(row.how.substr(0, row.how.find(' ')) + " " + row.name + " " +
            row.how.substr(row.how.find(' ') + 1));
      say("end");
      QCoreApplication::exit(0);
    });
  } else if (mode == "find") {
    const auto invite = net::parseInviteAddress(args[2].toStdString());
    if (!invite) return 2;
    onMessages(directory, [](const std::string& m) {
      const net::SplitMessage split = net::splitMessage(m);
      if (const auto at = net::from_directory::parseCodeAt(split.args);
          split.command == net::cmd::codeat && at)
        say(std::string(net::reachName(at->reach)) + " " + at->host + ":" +
            std::to_string(at->port));
      else if (const auto no = net::from_directory::parseRefused(split.args))
        say("refused " + no->reason);
      QCoreApplication::exit(0);
    });
    QObject::connect(&directory, &net::GameConnection::OnInfo,
                     [&directory, code = invite->code](const QString& text) {
                       if (text == net::GameConnection::kConnected)
                         directory.send(net::to_directory::findcode({code}));
                     });
    directory.connectToHost(QString::fromStdString(invite->directoryHost), invite->directoryPort);
  } else if ((mode == "chat" && args.size() == 4) || (mode == "play" && args.size() == 6)) {
    const std::string target = args[3].toStdString();
    if (target.starts_with("row:")) {
      const std::size_t at = target.find('@');
      const std::string wanted = target.substr(4, at - 4);
      const auto where = net::parseHostPort(target.substr(at + 1), net::kDirectoryPort);
      if (at == std::string::npos || !where) return 2;
      listTables(directory, *where, [&, wanted](const std::vector<Row>& rows) {
        for (const Row& row : rows)
          if (row.name == wanted) {
            say("joining the row " + row.how);
            return start(row.target);
          }
        say("failed: no row " + wanted);
        QCoreApplication::exit(1);
      });
    } else {
      start(target);
    }
  } else {
    return 2;
  }
  return app.exec();
}
