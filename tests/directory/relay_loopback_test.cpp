// A table the directory cannot reach, joined by its code through the relay over loopback:
// the directory, its relay, the table and its registration, and a game's connection.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cerrno>
#include <memory>
#include <optional>

#include "directory/directory_server.h"
#include "directory/registrar_link.h"
#include "directory/relay_server.h"
#include "net/catalogue.h"
#include "net/connection.h"
#include "server/TServer.h"
#include "tests/support/loopback_client.h"

namespace zp::directory {
namespace {

using zp::testing::waitUntil;

// A port nothing listens on: the table registers it, so the directory's check finds nobody,
// as it would at a table behind a home router.
quint16 closedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// A game's connection, keeping every message and every status it reports.
struct Player {
  net::GameConnection connection;
  net::MessageReader reader;
  std::vector<std::string> inbox;
  std::vector<QString> infos;
  Player() {
    QObject::connect(&connection, &net::GameConnection::OnRead, [this](const QByteArray& bytes) {
      reader.feed(std::string_view(bytes.constData(), bytes.size()),
                  [this](std::string&& m) { inbox.push_back(std::move(m)); });
    });
    QObject::connect(&connection, &net::GameConnection::OnInfo,
                     [this](const QString& text) { infos.push_back(text); });
  }
  bool has(const std::string& m) const {
    return std::find(inbox.begin(), inbox.end(), m) != inbox.end();
  }
  bool waitFor(const std::string& m) {
    return waitUntil([&] { return has(m); });
  }
  bool told(const QString& text) const {
    return std::find(infos.begin(), infos.end(), text) != infos.end();
  }
  bool waitToBeTold(const QString& text) {
    return waitUntil([&] { return told(text); }, 15000);
  }
};

struct RelayedTable : ::testing::Test {
  // spliced: the registration runs apart from the table (as the lobby registers the table
  // its game hosts) and passes relayed players on to it over loopback.
  explicit RelayedTable(bool spliced = false) {
    EXPECT_TRUE(directory.listen(0));
    EXPECT_TRUE(relay.listen(0));
    directory.setRelay(QString(), relay.port());
    server::TServer::Options options;
    options.dictionaryFile = (dir.path() + "/English").toStdString();
    options.seed = 7;
    options.graceSeconds = 0;  // a player who leaves is gone at once
    table = std::make_unique<server::TServer>(options);
    EXPECT_TRUE(table->listen(0));
    link = std::make_unique<RegistrarLink>(
        net::HostPort{"127.0.0.1", directory.port()}, closedPort(),
        [this] { return table->table().tableInfo(); }, net::Visibility::kPublic);
    if (spliced) {
      QObject::connect(link.get(), &RegistrarLink::relayedConnection, &owner,
                       [this](net::GameConnection* relayed) {
                         spliceToLocalTable(relayed, table->port(), &owner);
                       });
    } else {
      QObject::connect(link.get(), &RegistrarLink::relayedConnection, table.get(),
                       &server::TServer::adoptConnection);
    }
    link->start();
  }
  QObject owner;
  QTemporaryDir dir;
  DirectoryServer directory;
  RelayServer relay{directory.relayTables()};
  std::unique_ptr<server::TServer> table;
  std::unique_ptr<RegistrarLink> link;
};

TEST_F(RelayedTable, APlayerJoinsByCodeAndPlaysThroughTheRelay) {
  ASSERT_TRUE(waitUntil([&] { return link->reach() == net::Reach::kRelayed; }, 15000));
  const std::string code = link->inviteCode();
  ASSERT_EQ(code.size(), net::kInviteCodeChars);

  Player ann;
  ann.connection.connectByCode("127.0.0.1", directory.port(), net::inviteCodeText(code));
  ASSERT_TRUE(ann.waitFor("CMD_sendlogininfo+1"));
  EXPECT_TRUE(ann.told(net::GameConnection::kConnected));
  ann.connection.send(net::to_server::logininfo({1, "1.0.15", "Ann"}));
  ASSERT_TRUE(ann.waitFor("CMD_newplayerinfo+1+Ann"));

  Player bob;
  bob.connection.connectThroughRelay("127.0.0.1", relay.port(), code);
  ASSERT_TRUE(bob.waitFor("CMD_sendlogininfo+2"));
  bob.connection.send(net::to_server::logininfo({2, "1.0.15", "Bob"}));
  bob.connection.send(net::to_server::chat({2, "hello|clBlack"}));
  const std::string line = net::to_players::chat({2, "Bob chats: hello|clBlack"});
  ASSERT_TRUE(ann.waitFor(line.substr(0, line.size() - 1)));
  EXPECT_EQ(relay.relay().pairs(), 2);
  EXPECT_EQ(relay.relay().playersAt(code), 2);

  // Ann leaves: her relayed pair ends on both sides, Bob stays.
  ann.connection.close();
  ASSERT_TRUE(waitUntil([&] { return relay.relay().pairs() == 1; }));
  ASSERT_TRUE(bob.waitFor("CMD_playerdisconnected+1+Ann"));
}

// A relayed player who sends faster than the relay passes on is held back by TCP: the relay
// reads no more of it until its allowance has grown again.
TEST_F(RelayedTable, APlayerWhoFloodsIsHeldToTheRelaysRate) {
  ASSERT_TRUE(waitUntil([&] { return link->reach() == net::Reach::kRelayed; }, 15000));
  // The table's side of the pair counts what reaches it and says nothing.
  QObject::disconnect(link.get(), &RegistrarLink::relayedConnection, table.get(), nullptr);
  qsizetype passed = 0;
  QObject::connect(link.get(), &RegistrarLink::relayedConnection, &owner,
                   [&passed](net::GameConnection* relayed) {
                     QObject::connect(
                         relayed, &net::GameConnection::OnRead,
                         [&passed](const QByteArray& bytes) { passed += bytes.size(); });
                   });
  Player flood;
  flood.connection.connectThroughRelay("127.0.0.1", relay.port(), link->inviteCode());
  ASSERT_TRUE(flood.waitToBeTold(net::GameConnection::kConnected));
  const std::string piece(64 * 1024, 'x');
  for (int n = 0; n < 16; ++n) ASSERT_TRUE(flood.connection.send(piece));
  waitUntil([] { return false; }, 1500);
  const RelayLimits limits;
  EXPECT_GT(passed, 0);
  EXPECT_LT(passed,
            limits.burstBytes + 3 * limits.bytesPerSecond + 4 * net::GameConnection::kReadChunk)
      << "sent 1 MB";
  // It goes on at the relay's pace.
  const qsizetype before = passed;
  EXPECT_TRUE(waitUntil([&] { return passed > before; }, 3000));
}

struct SplicedTable : RelayedTable {
  SplicedTable() : RelayedTable(true) {}
};

TEST_F(SplicedTable, ATableHostedApartFromItsRegistrationTakesRelayedPlayers) {
  ASSERT_TRUE(waitUntil([&] { return link->reach() == net::Reach::kRelayed; }, 15000));
  Player ann;
  ann.connection.connectByCode("127.0.0.1", directory.port(), link->inviteCode());
  ASSERT_TRUE(ann.waitFor("CMD_sendlogininfo+1"));
  ann.connection.send(net::to_server::logininfo({1, "1.0.15", "Ann"}));
  ann.connection.send(net::to_server::chat({1, "hi|clBlack"}));
  const std::string line = net::to_players::chat({1, "Ann chats: hi|clBlack"});
  ASSERT_TRUE(ann.waitFor(line.substr(0, line.size() - 1)));
  ann.connection.close();
  ASSERT_TRUE(waitUntil([&] { return relay.relay().links() == 0; }));
}

// What a relayed player says before the splice has reached the table waits for it: its
// connection has the bytes already when the splice starts.
// What the player says before the table is on the line reaches it, and the player's leaving
// ends the table's side too, as if the player had left the table itself.
TEST(Splice, CarriesWhatThePlayerSaidEarlyAndEndsWithThePlayer) {
  net::TcpListener front;
  ASSERT_TRUE(front.listen(net::TcpListener::Reach::ThisMachine, 0));
  QTcpServer table;
  ASSERT_TRUE(table.listen(QHostAddress::LocalHost, 0));
  QByteArray atTable;
  bool tableSideEnded = false;
  QObject::connect(&table, &QTcpServer::newConnection, [&] {
    QTcpSocket* socket = table.nextPendingConnection();
    QObject::connect(socket, &QTcpSocket::readyRead, [&, socket] { atTable += socket->readAll(); });
    QObject::connect(socket, &QTcpSocket::disconnected, [&] { tableSideEnded = true; });
  });

  QTcpSocket player;
  player.connectToHost(QHostAddress::LocalHost, front.port());
  ASSERT_TRUE(player.waitForConnected(5000));
  const QByteArray early("CMD_logininfo+1+1.0.15+Ann\xFF\xFF");
  player.write(early);
  ASSERT_TRUE(player.waitForBytesWritten(5000));
  std::optional<net::AcceptedSocket> accepted;
  ASSERT_TRUE(waitUntil([&] { return (accepted = front.nextPendingConnection()).has_value(); }));
  ASSERT_TRUE(waitUntil([&] {
    accepted->socket->waitForReadyRead(10);
    return accepted->socket->bytesAvailable() >= early.size();
  }));

  QObject owner;
  spliceToLocalTable(new net::GameConnection(std::move(*accepted), &owner), table.serverPort(),
                     &owner);
  ASSERT_TRUE(waitUntil([&] { return atTable.size() >= early.size(); }));
  EXPECT_EQ(atTable, early);
  EXPECT_FALSE(tableSideEnded);
  player.disconnectFromHost();
  EXPECT_TRUE(waitUntil([&] { return tableSideEnded; }));
}

TEST(RelayServer, AConnectionPastItsLimitIsToldTheRelayIsBusy) {
  DirectoryServer directory;
  RelayServer relay{directory.relayTables(), RelayLimits{.total = 1}};
  ASSERT_TRUE(relay.listen(0));
  QTcpSocket first;  // connected and silent: it holds the one place
  first.connectToHost(QHostAddress::LocalHost, relay.port());
  ASSERT_TRUE(waitUntil([&] { return relay.relay().links() == 1; }));
  Player second;
  second.connection.connectThroughRelay("127.0.0.1", relay.port(), "K7Q2M9");
  EXPECT_TRUE(second.waitToBeTold(QString(net::GameConnection::kSocketError) +
                                  QString::fromUtf8(kRelayBusy.data(), kRelayBusy.size())));
  EXPECT_TRUE(second.waitToBeTold(net::GameConnection::kSocketClosed));
  EXPECT_EQ(relay.relay().links(), 1);
}

TEST_F(RelayedTable, ACodeThatNamesNothingIsRefusedInWords) {
  ASSERT_TRUE(waitUntil([&] { return link->reach() == net::Reach::kRelayed; }, 15000));
  std::string other = link->inviteCode() == "222222" ? "333333" : "222222";
  Player byCode;
  byCode.connection.connectByCode("127.0.0.1", directory.port(), other);
  ASSERT_TRUE(byCode.waitToBeTold(QString(net::GameConnection::kSocketError) + "No such table"));
  EXPECT_TRUE(byCode.waitToBeTold(net::GameConnection::kSocketClosed));
  EXPECT_FALSE(byCode.told(net::GameConnection::kConnected));
  EXPECT_EQ(byCode.connection.lastError(), ECONNREFUSED) << "refused, as a closed port is";
  Player atRelay;
  atRelay.connection.connectThroughRelay("127.0.0.1", relay.port(), other);
  ASSERT_TRUE(atRelay.waitToBeTold(QString(net::GameConnection::kSocketError) + "No such table"));
  EXPECT_FALSE(atRelay.told(net::GameConnection::kConnected));
  EXPECT_EQ(relay.relay().links(), 0);
}

}  // namespace
}  // namespace zp::directory
