// The directory's Qt shell over loopback: lists written on while their peers read, and
// nothing running while nothing waits.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <vector>

#include "directory/directory_server.h"
#include "directory/registrar_link.h"
#include "tests/support/loopback_client.h"

namespace zp::directory {
namespace {

using zp::testing::LoopbackClient;
using zp::testing::waitUntil;

// A host at its own loopback address registering `count` tables in one write.
std::unique_ptr<QTcpSocket> hostAt(const QString& address, quint16 port, int count) {
  auto socket = std::make_unique<QTcpSocket>();
  if (!socket->bind(QHostAddress(address))) return nullptr;
  socket->connectToHost(QHostAddress::LocalHost, port);
  if (!socket->waitForConnected(5000)) return nullptr;
  std::string registrations;
  // Nothing listens at their ports: they are listed through the relay.
  for (int n = 1; n <= count; ++n)
    registrations +=
        net::to_directory::reachme({n, net::Visibility::kPublic}) +
        net::to_directory::registertable({n,
                                          {"A table with a long name " + std::to_string(n),
                                           "1.0.15",
                                           true,
                                           300,
                                           60,
                                           2,
                                           {"Annabel", "Bartholomew", "Cyrus", "Delphine"},
                                           std::nullopt}});
  socket->write(registrations.data(), static_cast<qint64>(registrations.size()));
  return socket;
}

// How often the event loop wakes up within `ms`.
int wakeUpsWithin(int ms) {
  int wakeUps = 0;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  const QMetaObject::Connection counting =
      QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&] { ++wakeUps; });
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(counting);
  return wakeUps;
}

TEST(DirectoryServer, WritesAListOnWhileItsPeerReadsAndRestsWhenNothingWaits) {
  DirectoryServer server;
  ASSERT_TRUE(server.listen(0));
  server.setRelay(QString(), 7770);
  std::vector<std::unique_ptr<QTcpSocket>> hosts;
  for (int h = 1; h <= 24; ++h) {
    hosts.push_back(hostAt("127.0.2." + QString::number(h), server.port(), kMaxTablesPerAddress));
    ASSERT_TRUE(hosts.back());
  }
  const std::size_t tables = 24 * kMaxTablesPerAddress;
  ASSERT_TRUE(waitUntil([&] {
    if (server.directory().tables().size() != tables) return false;
    for (const auto& [key, table] : server.directory().tables())
      if (table.reach == net::Reach::kChecking) return false;
    return true;
  }));

  // Several pieces, written one after the other with nothing more asked.
  LoopbackClient lobby(server.port());
  ASSERT_TRUE(lobby.socket.waitForConnected(5000));
  lobby.write(net::to_directory::tablelist());
  const std::string end = net::from_directory::tablelistend({static_cast<int>(tables)});
  ASSERT_TRUE(lobby.waitFor(end.substr(0, end.size() - 1)));
  EXPECT_EQ(lobby.inbox.size(), tables + 1);
  std::size_t bytes = 0;
  for (const std::string& m : lobby.inbox) bytes += m.size();
  EXPECT_GT(bytes, 2 * kListPieceBytes);

  // Idle: the loop sleeps but for the one-second tick.
  ASSERT_TRUE(waitUntil([&] { return !server.busy(); }));
  EXPECT_LE(wakeUpsWithin(1500), 6);
}

// A directory that takes connections and never reads them, with the smallest receive buffer
// the system gives, so that what is sent to it soon waits at the sender.
class DeafDirectory {
 public:
  DeafDirectory() {
    listening_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int small = 1;
    ::setsockopt(listening_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ::bind(listening_, reinterpret_cast<sockaddr*>(&at), length);
    ::listen(listening_, 4);
    ::getsockname(listening_, reinterpret_cast<sockaddr*>(&at), &length);
    port = ntohs(at.sin_port);
  }
  ~DeafDirectory() {
    if (accepted_ >= 0) ::close(accepted_);
    ::close(listening_);
  }
  bool accepted() {
    if (accepted_ < 0) accepted_ = ::accept(listening_, nullptr, nullptr);
    return accepted_ >= 0;
  }
  // What the connection's sending end holds in the system, waiting to be taken.
  qint64 senderQueue() const {
    QFile tcp(QStringLiteral("/proc/net/tcp"));
    if (!tcp.open(QIODevice::ReadOnly)) return -1;
    const QByteArray to = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : tcp.readAll().split('\n')) {
      const QList<QByteArray> fields = line.simplified().split(' ');
      if (fields.size() > 4 && fields[2].endsWith(to) && fields[3] == "01")
        return fields[4].split(':').value(0).toLongLong(nullptr, 16);
    }
    return -1;
  }
  // What has arrived and waits unread.
  int waiting() const {
    int bytes = 0;
    return accepted_ >= 0 && ::ioctl(accepted_, FIONREAD, &bytes) == 0 ? bytes : 0;
  }
  quint16 port = 0;

 private:
  int listening_ = -1;
  int accepted_ = -1;
};

// The check of a table that takes the connection and never answers ends all the same, and so
// does one whose answer names the table's message but does not read as one.
TEST(DirectoryServer, ATableThatTakesTheCheckButNeverAnswersIsNotReached) {
  for (const char* answer : {"", "CMD_tableinfo+Silent+1.0.15\xFF"}) {
    SCOPED_TRACE(answer);
    DirectoryServer server;
    ASSERT_TRUE(server.listen(0));
    QTcpServer silent;  // the system takes the check's connection
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&silent, &QTcpServer::newConnection, [&silent, answer] {
      while (QTcpSocket* check = silent.nextPendingConnection()) check->write(answer);
    });
    const int port = silent.serverPort();
    LoopbackClient host(server.port());
    ASSERT_TRUE(host.socket.waitForConnected(5000));
    host.write(net::to_directory::registertable(
        {port, {"Silent", "1.0.15", false, 0, 0, 0, {"Ann", "", "", ""}, std::nullopt}}));
    const auto reach = [&] {
      const auto& tables = server.directory().tables();
      return tables.empty() ? net::Reach::kChecking : tables.begin()->second.reach;
    };
    EXPECT_TRUE(waitUntil([&] { return reach() == net::Reach::kUnreachable; },
                          kProbeSeconds * 1000 + 5000));
    const std::string told = net::from_directory::refused(
        {port, "the directory cannot reach the table at 127.0.0.1:" + std::to_string(port) +
                   " (open that port to the internet)"});
    EXPECT_TRUE(host.waitFor(told.substr(0, told.size() - 1)));
  }
}

// A peer that leaves is forgotten at once: lobbies that come and go from one address never
// use up its places.
TEST(DirectoryServer, APeerThatLeavesGivesItsPlaceBackAtOnce) {
  DirectoryServer server(PeerLimits{4, 2, 1});
  ASSERT_TRUE(server.listen(0));
  for (int n = 0; n < 3; ++n) {
    QTcpSocket lobby;
    lobby.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(waitUntil([&] { return server.directory().peers() == 1; }));
    lobby.abort();
    // Well before the directory lets a peer go that sent no whole message.
    ASSERT_TRUE(waitUntil([&] { return server.directory().peers() == 0; },
                          kWholeMessageSeconds * 1000 / 3))
        << "lobby " << n;
  }
  LoopbackClient lobby(server.port());
  ASSERT_TRUE(lobby.socket.waitForConnected(5000));
  lobby.write(net::to_directory::tablelist());
  EXPECT_TRUE(lobby.waitFor("CMD_tablelistend+0+"));
}

// The lobby's registration of the table its game hosts is told nothing: it asks what the
// table says every second, and the directory hears of a change without being asked.
TEST(RegistrarLink, WhatTheTableSaysNowReachesTheDirectoryUnasked) {
  DirectoryServer server;
  ASSERT_TRUE(server.listen(0));
  std::string name = "Before";
  RegistrarLink link({"127.0.0.1", server.port()}, 7772, [&name] {
    return net::TableInfo{name, "1.0.15", false, 0, 0, 0, {"Ann", "", "", ""}, std::nullopt};
  });
  link.start();
  const auto listedName = [&] {
    const auto& tables = server.directory().tables();
    return tables.empty() ? std::string() : tables.begin()->second.info.name;
  };
  ASSERT_TRUE(waitUntil([&] { return listedName() == "Before"; }));
  name = "After";
  EXPECT_TRUE(waitUntil([&] { return listedName() == "After"; }));
}

TEST(RegistrarLink, QuittingGivesUpOnADirectoryThatNeverConfirmsTheWithdrawal) {
  DeafDirectory directory;
  int change = 0;
  RegistrarLink link({"127.0.0.1", directory.port}, 7772, [&change] {
    return net::TableInfo{"A table with a name forty characters long",
                          "1.0.15",
                          true,
                          300,
                          60,
                          change % 99,
                          {"Annabel Annabel Annabel", "Bartholomew Bartholomew",
                           "Cyrus Cyrus Cyrus Cyrus", "Delphine Delphine Delphine"},
                          std::nullopt};
  });
  link.start();
  // Connected: its first registration has come.
  ASSERT_TRUE(waitUntil([&] { return directory.accepted() && directory.waiting() > 0; }));
  // Changes far faster than the directory takes them, until the system holds no more of
  // them: the last batch then waits in the connection, under its own limit.
  qint64 queued = -1;
  for (int batch = 0; batch < 40 && directory.senderQueue() > queued; ++batch) {
    queued = directory.senderQueue();
    for (int n = 0; n < 2000; ++n, ++change) link.refresh();
    waitUntil([] { return false; }, 50);
  }
  ASSERT_EQ(directory.senderQueue(), queued) << "the system's buffer never filled";

  bool withdrawn = false;
  QObject::connect(&link, &RegistrarLink::withdrawn, [&] { withdrawn = true; });
  QObject context;
  bool done = false;
  QElapsedTimer clock;
  clock.start();
  withdrawAll({&link}, &context, [&] { done = true; });
  ASSERT_TRUE(waitUntil([&] { return done; }, 10000));
  EXPECT_FALSE(withdrawn) << "the directory never took the withdrawal";
  EXPECT_GE(clock.elapsed(), 2500);
  EXPECT_LE(clock.elapsed(), 4500) << "about 3 s";
}

}  // namespace
}  // namespace zp::directory
