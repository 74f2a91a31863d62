// The lobby's Qt shells over loopback, against stand-ins written here: the watch asking
// tables and directories, and the listener taking the games' lobby links.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>
#include <set>
#include <vector>

#include "lobby/link_listener.h"
#include "lobby/table_watch.h"
#include "net/catalogue.h"
#include "net/connection.h"
#include "tests/support/loopback_client.h"

namespace zp::lobby {
namespace {

using zp::testing::waitUntil;

// Answers whoever connects with `answer` once it has asked, then keeps the connection open.
class Answering {
 public:
  explicit Answering(QByteArray answer) : answer_(std::move(answer)) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      ++connections;
      QTcpSocket* socket = server_.nextPendingConnection();
      QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
        socket->readAll();
        socket->write(answer_);
      });
    });
  }
  net::HostPort where() const { return {"127.0.0.1", server_.serverPort()}; }
  int connections = 0;

 private:
  QByteArray answer_;
  QTcpServer server_;
};

QByteArray bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

TEST(TableWatch, ReadsADirectorysLongListWholeAndCutsOffATableThatStreamsJunk) {
  // 2,000 tables: far more than a table's answer may hold.
  std::string list;
  for (int n = 0; n < 2000; ++n)
    list += net::from_directory::listedtable(
        {"10.0." + std::to_string(n / 256) + "." + std::to_string(n % 256),
         7772,
         {"Table " + std::to_string(n),
          "1.0.15",
          false,
          0,
          0,
          0,
          {"Ann", "", "", ""},
          std::nullopt}});
  // And one it relays, which comes as a row of its own by its code.
  list += net::from_directory::relayedtable(
      {"", 7770, "K7Q2M9", {"Behind a router", "1.0.15", false, 0, 0, 0, {}, std::nullopt}});
  list += net::from_directory::tablelistend({2001});
  ASSERT_GT(list.size(), static_cast<std::size_t>(TableWatch::kMaxTableBytes));
  Answering directory(bytes(list));
  // A table that sends more junk than a table's answer may hold before its answer.
  std::string junk;
  while (junk.size() <= static_cast<std::size_t>(TableWatch::kMaxTableBytes))
    junk += "CMD_junk+" + std::string(1000, 'j') + '\xFF';
  Answering streaming(bytes(
      junk + net::to_players::tableinfo({"Late", "1.0.15", false, 0, 0, 0, {}, std::nullopt})));

  TableWatch watch;
  watch.finder().setDirectories({directory.where()});
  watch.finder().setAdded({streaming.where()});
  watch.start();
  ASSERT_TRUE(waitUntil([&] { return !watch.finder().asking(); }));
  ASSERT_EQ(watch.finder().directories().size(), 1u);
  EXPECT_EQ(watch.finder().directories()[0].state, DirectoryStatus::State::kAnswered);
  EXPECT_EQ(watch.finder().directories()[0].tables, 2000u);
  for (const TableRow& row : watch.finder().rows()) {
    if (row.where != streaming.where()) continue;
    EXPECT_EQ(row.state, TableState::kUnknown) << "cut off before its answer";
  }
  EXPECT_EQ(watch.finder().rows().size(), 2002u);
  EXPECT_EQ(std::count_if(watch.finder().rows().begin(), watch.finder().rows().end(),
                          [](const TableRow& row) { return row.code == "K7Q2M9"; }),
            1);
}

const TableRow* rowAt(const TableWatch& watch, const net::HostPort& where) {
  for (const TableRow& row : watch.finder().rows())
    if (row.where == where) return &row;
  return nullptr;
}

// The answer time runs from the connection, not from the start of the round: a table that
// takes the connection and says nothing is unknown long before the next round.
TEST(TableWatch, ATableThatTakesTheConnectionButNeverAnswersIsUnknownWithinItsRound) {
  Answering answering(
      bytes(net::to_players::tableinfo({"Here", "1.0.15", false, 0, 0, 0, {}, std::nullopt})));
  QTcpServer silent;  // the system takes its connections; it never answers
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
  const net::HostPort quiet{"127.0.0.1", silent.serverPort()};
  TableWatch watch;
  watch.finder().setAdded({answering.where(), quiet});
  watch.start();
  // The next round begins a refresh after the first.
  ASSERT_TRUE(waitUntil([&] { return answering.connections == 2; }, kRefreshMs + 5000));
  const TableRow* row = rowAt(watch, quiet);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->state, TableState::kUnknown);
}

// A name looked up for an ask that was given up on meanwhile finds no ask and opens nothing.
TEST(TableWatch, ANameLookedUpAfterItsAskWasGivenUpOpensNothing) {
  TableWatch watch;
  watch.finder().setAdded({{"localhost", 1}});
  watch.start();
  // One turn of the loop at a time: the ask opens and looks its name up, and is given up on
  // before the answer can come back.
  QElapsedTimer clock;
  clock.start();
  while (watch.asksUnderWay() == 0 && clock.elapsed() < 5000) QCoreApplication::processEvents();
  ASSERT_EQ(watch.asksUnderWay(), 1);
  watch.finder().setAdded({});
  EXPECT_EQ(watch.asksUnderWay(), 0);
  // The same name looked up now is answered after the watch's own look-up.
  bool answered = false;
  QHostInfo::lookupHost("localhost", &watch, [&](const QHostInfo&) { answered = true; });
  ASSERT_TRUE(waitUntil([&] { return answered; }));
  EXPECT_EQ(watch.asksUnderWay(), 0);
  EXPECT_TRUE(watch.finder().rows().empty());

  // One given up on while it waits its turn to open never opens.
  Answering table(
      bytes(net::to_players::tableinfo({"Gone", "1.0.15", false, 0, 0, 0, {}, std::nullopt})));
  watch.finder().setAdded({table.where()});
  watch.refresh();
  watch.finder().setAdded({});
  waitUntil([] { return false; }, 300);
  EXPECT_EQ(table.connections, 0);
}

// A program on this computer connecting to the lobby's link port, sending `first`.
std::unique_ptr<QTcpSocket> linkTo(quint16 port, const std::string& first) {
  auto socket = std::make_unique<QTcpSocket>();
  socket->connectToHost(QHostAddress::LocalHost, port);
  if (!first.empty()) socket->write(bytes(first));
  return socket;
}

bool closed(const QTcpSocket& socket) {
  return socket.state() == QAbstractSocket::UnconnectedState;
}

TEST(LinkListener, FollowsOnlyLinksThatProveThemselvesAndForgetsTheClosedOnes) {
  LinkListener listener;
  ASSERT_TRUE(listener.listen(0));
  std::set<std::string> tokens;  // games started and not linked yet
  listener.setAdmission([&](int, const std::string& token) { return tokens.erase(token) > 0; });
  std::set<int> opened;
  QObject::connect(&listener, &LinkListener::linkOpened, [&](int link) { opened.insert(link); });
  QObject::connect(&listener, &LinkListener::linkClosed, [&](int link) {
    EXPECT_TRUE(opened.count(link)) << "link " << link << " closed, never opened";
    opened.erase(link);
  });

  // A stranger that leaves before it says anything is forgotten: it opened nothing to close.
  auto leaving = linkTo(listener.port(), "");
  net::GameConnection* taken = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    const auto links = listener.findChildren<net::GameConnection*>(Qt::FindDirectChildrenOnly);
    taken = links.size() == 1 ? links.first() : nullptr;
    return taken != nullptr;
  }));
  bool gone = false;  // reported after the listener's own handling of the close
  QObject::connect(taken, &net::GameConnection::OnInfo, [&](const QString& text) {
    gone = gone || text == net::GameConnection::kSocketClosed;
  });
  leaving->abort();
  ASSERT_TRUE(waitUntil([&] { return gone; }));
  EXPECT_EQ(listener.openLinks(), 0);

  // 70 strangers: wrong tokens are closed at once, silence within the wait.
  std::vector<std::unique_ptr<QTcpSocket>> strangers;
  for (int n = 0; n < 60; ++n) strangers.push_back(linkTo(listener.port(), "guess\xFF"));
  for (int n = 0; n < 10; ++n) strangers.push_back(linkTo(listener.port(), ""));
  ASSERT_TRUE(waitUntil(
      [&] {
        for (const auto& s : strangers)
          if (!closed(*s)) return false;
        return true;
      },
      LinkListener::kTokenWaitMs + 3000));
  EXPECT_EQ(listener.openLinks(), 0);
  EXPECT_TRUE(opened.empty());
  // One that pours bytes and never ends a token is closed without waiting for the limit.
  auto pourer = linkTo(listener.port(), std::string(LinkListener::kMaxTokenBytes + 1, 'x'));
  EXPECT_TRUE(waitUntil([&] { return closed(*pourer); }, LinkListener::kTokenWaitMs / 2));

  // 64 games, then one more: past the limit it is closed at once.
  std::vector<std::unique_ptr<QTcpSocket>> games;
  for (int n = 0; n <= LinkListener::kMaxLinks; ++n) {
    const std::string token = "game" + std::to_string(n);
    tokens.insert(token);
    games.push_back(linkTo(listener.port(), token + '\xFF'));
    ASSERT_TRUE(waitUntil([&] { return !tokens.count(token) || closed(*games.back()); }));
  }
  EXPECT_EQ(listener.openLinks(), LinkListener::kMaxLinks);
  EXPECT_TRUE(waitUntil([&] { return closed(*games.back()); }));

  // The games end: their links no longer count, and new games are followed again.
  for (auto& game : games) game->abort();
  ASSERT_TRUE(waitUntil([&] { return listener.openLinks() == 0; }));
  EXPECT_TRUE(opened.empty());
  tokens.insert("later");
  auto later = linkTo(listener.port(), "later\xFF");
  EXPECT_TRUE(waitUntil([&] { return listener.openLinks() == 1; }));
  EXPECT_EQ(opened.size(), 1u);
}

TEST(LinkListener, PastSixteenWaitingForTheirTokenTheLongestWaitingGoes) {
  LinkListener listener;
  ASSERT_TRUE(listener.listen(0));
  std::set<std::string> tokens{"game", "second"};
  listener.setAdmission([&](int, const std::string& token) { return tokens.erase(token) > 0; });
  int opened = 0;
  QObject::connect(&listener, &LinkListener::linkOpened, [&] { ++opened; });
  std::vector<std::unique_ptr<QTcpSocket>> silent;
  for (int n = 0; n <= LinkListener::kMaxWaiting; ++n) {
    silent.push_back(linkTo(listener.port(), ""));
    ASSERT_TRUE(silent.back()->waitForConnected(3000));
  }
  // A game last: once its link is open, the listener has taken every connection before it,
  // and the two that waited longest have made room for the last silent one and the game.
  auto game = linkTo(listener.port(), "game\xFF");
  ASSERT_TRUE(waitUntil([&] { return opened == 1; }));
  silent[1]->write("second\xFF");
  EXPECT_TRUE(waitUntil([&] { return closed(*silent[0]) && closed(*silent[1]); }));
  EXPECT_EQ(tokens.count("second"), 1u) << "its connection was let go: its token opened nothing";
  EXPECT_EQ(listener.openLinks(), 1);
  EXPECT_FALSE(closed(*game));

  // A game's open link first in line is passed over: the longest waiting goes, well before
  // its wait for a token is over.
  LinkListener early;
  ASSERT_TRUE(early.listen(0));
  early.setAdmission([](int, const std::string& token) { return token == "early"; });
  auto first = linkTo(early.port(), "early\xFF");
  ASSERT_TRUE(waitUntil([&] { return early.openLinks() == 1; }));
  std::vector<std::unique_ptr<QTcpSocket>> strangers;
  for (int n = 0; n <= LinkListener::kMaxWaiting; ++n) {
    strangers.push_back(linkTo(early.port(), ""));
    ASSERT_TRUE(strangers.back()->waitForConnected(3000));
  }
  EXPECT_TRUE(waitUntil([&] { return closed(*strangers[0]); }, LinkListener::kTokenWaitMs / 2));
  EXPECT_FALSE(closed(*first));
}

TEST(LinkListener, ListensOnThisMachinesLoopbackAddressAlone) {
  LinkListener listener;
  ASSERT_TRUE(listener.listen(0));
  QTcpSocket here;
  here.connectToHost(QHostAddress::LocalHost, listener.port());
  EXPECT_TRUE(here.waitForConnected(3000));
  // Another address of this machine, and its IPv6 loopback.
  for (const char* other : {"127.0.0.2", "::1"}) {
    QTcpSocket elsewhere;
    elsewhere.connectToHost(QHostAddress(QString::fromLatin1(other)), listener.port());
    EXPECT_FALSE(elsewhere.waitForConnected(3000)) << other;
  }
}

TEST(LinkListener, ThePortFromTheEnvironmentIsAPortOrIgnored) {
  const struct {
    const char* value;
    quint16 port;
  } cases[] = {{"7000", 7000},
               {"0", kLobbyLinkPort},
               {"65536", kLobbyLinkPort},
               {"x", kLobbyLinkPort},
               {"", kLobbyLinkPort}};
  for (const auto& c : cases) {
    qputenv("ZANDUPELIX_LOBBY_PORT", c.value);
    EXPECT_EQ(lobbyLinkPort(), c.port) << c.value;
  }
  qunsetenv("ZANDUPELIX_LOBBY_PORT");
  EXPECT_EQ(lobbyLinkPort(), kLobbyLinkPort);
}

}  // namespace
}  // namespace zp::lobby
