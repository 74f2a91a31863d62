// GameConnection over real loopback TCP, on a free port.
#include "net/connection.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QHostInfo>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>

#include "net/framing.h"
#include "tests/net/own_network.h"
#include "tests/support/loopback_client.h"

namespace zp::net {
namespace {

using zp::testing::LoopbackClient;
using zp::testing::OwnNetwork;
using zp::testing::ownNetwork;
using zp::testing::waitUntil;

// One end of a connection with everything it reported.
struct End {
  explicit End(std::unique_ptr<GameConnection> c) : connection(std::move(c)) {
    QObject::connect(connection.get(), &GameConnection::OnRead, [this](const QByteArray& bytes) {
      largestRead = std::max(largestRead, bytes.size());
      inbox.feed(std::string_view(bytes.constData(), bytes.size()));
    });
    QObject::connect(connection.get(), &GameConnection::OnInfo,
                     [this](const QString& text) { infos.push_back(text); });
  }
  int count(const char* text) const {
    return static_cast<int>(std::count(infos.begin(), infos.end(), QString::fromLatin1(text)));
  }
  std::unique_ptr<GameConnection> connection;
  Inbox inbox;
  qsizetype largestRead = 0;
  std::vector<QString> infos;
};

class Connection : public ::testing::Test {
 protected:
  Connection() {
    EXPECT_TRUE(listener.listen(TcpListener::Reach::ThisMachine, 0));
    client = std::make_unique<End>(std::make_unique<GameConnection>());
    client->connection->connectToHost("127.0.0.1", listener.port());
    server = std::make_unique<End>(std::make_unique<GameConnection>(accepted()));
    EXPECT_TRUE(waitUntil([&] { return client->connection->isOpen(); }));
  }
  AcceptedSocket accepted() {
    std::optional<AcceptedSocket> socket;
    EXPECT_TRUE(waitUntil([&] { return (socket = listener.nextPendingConnection()).has_value(); }));
    return socket ? std::move(*socket) : AcceptedSocket{};
  }
  TcpListener listener;
  std::unique_ptr<End> client;
  std::unique_ptr<End> server;
};

TEST_F(Connection, MessagesGoBothWaysWholeAndInOrderReadInChunks) {
  EXPECT_EQ(client->infos, (std::vector<QString>{"Looking Up Host", "Connecting", "Connected"}));
  const std::string big(7000, 'b');
  std::string many;
  for (int i = 0; i < 20; ++i) many += big + kTerminator;
  EXPECT_TRUE(client->connection->send("CMD_chat+1+hello\xFF"));
  EXPECT_TRUE(client->connection->send(many));
  ASSERT_TRUE(waitUntil([&] { return server->inbox.size() == 21; }));
  EXPECT_EQ(server->inbox.take(), "CMD_chat+1+hello");
  EXPECT_EQ(server->inbox.take(), big);
  EXPECT_LE(server->largestRead, GameConnection::kReadChunk);
  EXPECT_TRUE(server->connection->send("CMD_timeup+\xFF"));
  ASSERT_TRUE(waitUntil([&] { return !client->inbox.empty(); }));
  EXPECT_EQ(client->inbox.take(), "CMD_timeup+");
}

TEST_F(Connection, SocketClosedIsReportedOnceOnBothEndsWhicheverCloses) {
  server->connection->send("CMD_full+\xFF");
  server->connection->close();
  ASSERT_TRUE(waitUntil([&] { return client->count("Socket Closed") == 1; }));
  ASSERT_TRUE(waitUntil([&] { return server->count("Socket Closed") == 1; }));
  EXPECT_EQ(client->inbox.take(), "CMD_full+") << "what was sent before the close arrives";
  for (const End* end : {client.get(), server.get()})
    for (const QString& info : end->infos)
      EXPECT_FALSE(info.startsWith(GameConnection::kSocketError)) << "a close is no error";
  EXPECT_FALSE(client->connection->send("CMD_chat+1+late\xFF"));
  EXPECT_EQ(client->count("Send - Socket Not Connected"), 1);
  client->connection->close();
  waitUntil([] { return false; }, 50);
  EXPECT_EQ(client->count("Socket Closed"), 1);
  EXPECT_EQ(server->count("Socket Closed"), 1);
}

TEST_F(Connection, APeerThatStopsReadingIsLetGoAndReportedAfterTheSend) {
  // A peer that takes almost nothing from the network and never reads.
  LoopbackClient sleeper(listener.port(), /*readBuffer=*/1024);
  End sender(std::make_unique<GameConnection>(accepted()));
  sender.connection->setMaxUnsentBytes(64 * 1024);
  const std::string line = std::string(7000, 'z') + kTerminator;
  bool closedDuringSend = false;
  const bool letGo = waitUntil(
      [&] {
        if (!sender.connection->send(line)) return true;
        closedDuringSend = closedDuringSend || sender.count("Socket Closed") > 0;
        return false;
      },
      20000);
  ASSERT_TRUE(letGo);
  EXPECT_EQ(sender.count("Send - Peer Not Reading"), 1);
  EXPECT_EQ(sender.count("Socket Closed"), 0) << "reported once the sender is done";
  EXPECT_TRUE(waitUntil([&] { return sender.count("Socket Closed") == 1; }));
  EXPECT_FALSE(closedDuringSend);
  EXPECT_FALSE(sender.connection->isOpen());
}

// A close lets what was sent go out, but a peer that reads nothing cannot hold the connection
// (and its unsent bytes) for ever.
TEST_F(Connection, ACloseToAPeerThatReadsNothingEndsAfterItsGrace) {
  LoopbackClient sleeper(listener.port(), /*readBuffer=*/1024);
  End sender(std::make_unique<GameConnection>(accepted()));
  sender.connection->setMaxUnsentBytes(64 * 1024 * 1024);
  // Far more than the system's buffers take in while nobody reads.
  ASSERT_TRUE(sender.connection->send(std::string(16 * 1024 * 1024, 'z') + kTerminator));
  waitUntil([] { return false; }, 100);
  sender.connection->close();
  EXPECT_GT(sender.connection->unsentBytes(), 0);
  EXPECT_EQ(sender.count("Socket Closed"), 0) << "what was sent is given its time";
  EXPECT_TRUE(waitUntil([&] { return sender.count("Socket Closed") == 1; },
                        GameConnection::kCloseGraceMs + 5000));
}

TEST_F(Connection, AnOwnerThatPausesReadingHoldsThePeerBackAndLosesNothing) {
  // Far more than the system's buffers on both sides take in while nobody reads.
  std::string flood;
  for (int i = 0; flood.size() < 16 * 1024 * 1024; ++i)
    flood += "CMD_madeword+1+W" + std::to_string(i) + std::string(2000, 'Q') + kTerminator;
  server->connection->pauseReading();
  client->connection->setMaxUnsentBytes(64 * 1024 * 1024);
  ASSERT_TRUE(client->connection->send(flood));
  client->connection->close();
  // Held back by TCP: the sender still holds most of it, the reader has taken none.
  waitUntil([] { return false; }, 300);
  EXPECT_GT(client->connection->unsentBytes(), 0);
  EXPECT_TRUE(server->inbox.empty());
  EXPECT_EQ(server->count("Socket Closed"), 0);

  server->connection->resumeReading();
  ASSERT_TRUE(waitUntil([&] { return server->count("Socket Closed") == 1; }, 20000));
  std::string arrived;
  while (auto message = server->inbox.take()) arrived += *message + kTerminator;
  EXPECT_EQ(arrived.size(), flood.size());
  EXPECT_TRUE(arrived == flood) << "every byte, in order, before the close";
  EXPECT_EQ(client->count("Socket Closed"), 1);
}

TEST_F(Connection, ACloseWhileReadingIsPausedIsReportedAfterTheBytesBeforeIt) {
  server->connection->pauseReading();
  client->connection->send("CMD_chat+1+bye\xFF");
  client->connection->close();
  ASSERT_TRUE(waitUntil([&] { return client->count("Socket Closed") == 1; }));
  waitUntil([] { return false; }, 200);
  EXPECT_EQ(server->count("Socket Closed"), 0);
  server->connection->resumeReading();
  ASSERT_TRUE(waitUntil([&] { return server->count("Socket Closed") == 1; }));
  EXPECT_EQ(server->inbox.take(), "CMD_chat+1+bye");
}

TEST(ConnectionRefused, IsReportedAsAnErrorThenClosed) {
  QTcpServer unused;
  ASSERT_TRUE(unused.listen(QHostAddress::LocalHost, 0));
  const quint16 port = unused.serverPort();
  unused.close();
  End client(std::make_unique<GameConnection>());
  client.connection->connectToHost("127.0.0.1", port);
  ASSERT_TRUE(waitUntil([&] { return client.count("Socket Closed") == 1; }));
  ASSERT_GE(client.infos.size(), 2u);
  EXPECT_EQ(client.infos[client.infos.size() - 2], "Socket Error - Connection refused");
  EXPECT_EQ(client.connection->lastError(), ECONNREFUSED);
}

// Something at the relay's port that answers with bytes and never a whole message is no
// relay: the player is told so rather than left waiting while it holds ever more.
TEST(ThroughARelay, AnAnswerThatNeverEndsIsGivenUp) {
  QTcpServer notARelay;
  ASSERT_TRUE(notARelay.listen(QHostAddress::LocalHost, 0));
  QObject::connect(&notARelay, &QTcpServer::newConnection, [&] {
    notARelay.nextPendingConnection()->write(QByteArray(kMaxMessageBytes + 1000, 'x'));
  });
  End player(std::make_unique<GameConnection>());
  player.connection->connectThroughRelay("127.0.0.1", notARelay.serverPort(), "K7Q2M9");
  ASSERT_TRUE(waitUntil([&] { return player.count("Socket Closed") == 1; }));
  EXPECT_EQ(player.count("Socket Error - The relay's answer does not read"), 1);
  EXPECT_EQ(player.count("Connected"), 0);
}

TEST(HostName, IsLookedUpOffTheLoopAndALookupOutlivesItsConnection) {
  TcpListener listener;
  ASSERT_TRUE(listener.listen(TcpListener::Reach::AnyAddress, 0));
  {
    // Gone before its answer: the answer finds no one.
    GameConnection forgotten;
    forgotten.connectToHost("localhost", listener.port());
  }
  End client(std::make_unique<GameConnection>());
  client.connection->connectToHost("localhost", listener.port());
  EXPECT_EQ(client.infos, std::vector<QString>{"Looking Up Host"}) << "nothing waits for the name";
  ASSERT_TRUE(waitUntil([&] { return client.connection->isOpen(); }));
  EXPECT_EQ(client.infos, (std::vector<QString>{"Looking Up Host", "Connecting", "Connected"}));

  // More names at once than Qt looks up side by side: the rest wait their turn.
  std::vector<std::unique_ptr<GameConnection>> many;
  for (int i = 0; i < 30; ++i) {
    many.push_back(std::make_unique<GameConnection>());
    many.back()->connectToHost("localhost", listener.port());
  }
  EXPECT_TRUE(waitUntil([&] {
    return std::all_of(many.begin(), many.end(), [](const auto& c) { return c->isOpen(); });
  }));
}

TEST(HostName, AnAddressThatNeverAnswersGivesWayToTheNext) {
  const OwnNetwork where =
      ownNetwork("127.0.0.1 localhost\n127.0.0.2 twice.zp.test\n127.0.0.3 twice.zp.test\n");
  if (where == OwnNetwork::kUnavailable) GTEST_SKIP() << "a network namespace needs root";
  if (where == OwnNetwork::kRan) return;
  const QList<QHostAddress> twice = QHostInfo::fromName("twice.zp.test").addresses();
  ASSERT_EQ(twice.size(), 2);
  // The first address takes attempts into a full accept queue and answers none of them, as a
  // host behind a route that drops everything; the second listens.
  QTcpServer silent;
  silent.setListenBacklogSize(0);
  ASSERT_TRUE(silent.listen(twice[0], 0));
  QTcpSocket filler;
  filler.connectToHost(twice[0], silent.serverPort());
  ASSERT_TRUE(filler.waitForConnected(2000));
  QTcpServer listening;
  ASSERT_TRUE(listening.listen(twice[1], silent.serverPort()));

  End client(std::make_unique<GameConnection>());
  client.connection->setConnectTimeout(300);
  client.connection->connectToHost("twice.zp.test", silent.serverPort());
  ASSERT_TRUE(waitUntil([&] { return client.connection->isOpen(); }));
  EXPECT_EQ(client.infos, (std::vector<QString>{"Looking Up Host", "Connecting", "Connected"}));
  EXPECT_TRUE(waitUntil([&] { return listening.hasPendingConnections(); }));
}

TEST(HostName, AGoodNameIsAnsweredWhileOthersAreNever) {
  const OwnNetwork where = ownNetwork("127.0.0.1 localhost\n127.0.0.1 good.zp.test\n",
                                      "nameserver 127.0.0.1\noptions timeout:3 attempts:1\n");
  if (where == OwnNetwork::kUnavailable) GTEST_SKIP() << "a network namespace needs root";
  if (where == OwnNetwork::kRan) return;
  // A name server that takes every question and answers none.
  QUdpSocket nameServer;
  ASSERT_TRUE(nameServer.bind(QHostAddress::LocalHost, 53));
  TcpListener listener;
  ASSERT_TRUE(listener.listen(TcpListener::Reach::ThisMachine, 0));

  std::vector<std::unique_ptr<End>> silent;
  for (int i = 1; i <= 8; ++i) {
    silent.push_back(std::make_unique<End>(std::make_unique<GameConnection>()));
    silent.back()->connection->connectToHost(QStringLiteral("silent%1.zp.test").arg(i),
                                             listener.port());
  }
  End good(std::make_unique<GameConnection>());
  good.connection->connectToHost("good.zp.test", listener.port());
  ASSERT_TRUE(waitUntil([&] { return good.connection->isOpen(); }));
  for (const auto& name : silent)
    EXPECT_EQ(name->infos, std::vector<QString>{"Looking Up Host"}) << "still unanswered";

  // A resolver that does not answer is not a host that does not exist.
  ASSERT_TRUE(waitUntil([&] { return silent.back()->count("Socket Closed") == 1; }));
  const QString said = silent.back()->infos.at(silent.back()->infos.size() - 2);
  EXPECT_TRUE(said.startsWith("Socket Error - ")) << said.toStdString();
  EXPECT_NE(said, "Socket Error - Host not found");
}

TEST(Listener, TellsWhereEachConnectionCameFromAndWhyAPortIsRefused) {
  struct Case {
    TcpListener::Reach reach;
    const char* from;
  };
  for (const Case& c : {Case{TcpListener::Reach::AnyAddress, "127.0.0.1"},
                        Case{TcpListener::Reach::AnyAddress, "::1"},
                        Case{TcpListener::Reach::ThisMachine, "127.0.0.1"}}) {
    SCOPED_TRACE(c.from);
    TcpListener listener;
    ASSERT_TRUE(listener.listen(c.reach, 0));
    QTcpSocket peer;
    peer.connectToHost(QString::fromLatin1(c.from), listener.port());
    if (!peer.waitForConnected(2000) && std::string_view(c.from) == "::1") continue;  // no IPv6
    std::optional<AcceptedSocket> accepted;
    ASSERT_TRUE(
        waitUntil([&] { return (accepted = listener.nextPendingConnection()).has_value(); }));
    EXPECT_EQ(accepted->peer, c.from);

    TcpListener second;
    EXPECT_FALSE(second.listen(c.reach, listener.port()));
    EXPECT_EQ(second.errorString(), "Address already in use");
    EXPECT_FALSE(second.isListening());
  }
}

TEST(Listener, OutOfFileHandlesRestsInsteadOfSpinningAndTakesTheConnectionLater) {
  TcpListener listener;
  ASSERT_TRUE(listener.listen(TcpListener::Reach::ThisMachine, 0));
  int wakes = 0;
  std::optional<AcceptedSocket> accepted;
  QObject::connect(&listener, &TcpListener::newConnection, [&] {
    ++wakes;
    if (!accepted) accepted = listener.nextPendingConnection();
  });
  QTcpSocket peer;
  peer.connectToHost("127.0.0.1", listener.port());
  ASSERT_TRUE(peer.waitForConnected(2000));

  // The undefined-behaviour checker tries an object's type through a pipe, which needs file
  // handles; a type it has tried once it remembers.
  QSocketNotifier(peer.socketDescriptor(), QSocketNotifier::Exception).setEnabled(false);
  // No new file handle can be had: the lowest free one is the limit.
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
  const int lowestFree = ::dup(0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit tight = before;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  waitUntil([] { return false; }, 350);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &before), 0);
  EXPECT_FALSE(accepted.has_value());
  EXPECT_LE(wakes, 6) << "a waiting connection it cannot take must not keep waking the loop";

  EXPECT_TRUE(waitUntil([&] { return accepted.has_value(); }, 2000));
}

}  // namespace
}  // namespace zp::net
