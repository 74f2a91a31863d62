#include "directory/relay_server.h"

#include <optional>
#include <utility>

namespace zp::directory {

RelayServer::RelayServer(RelayTables& tables, RelayLimits limits, QObject* parent)
    : QObject(parent),
      random_((static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}()),
      logic_(static_cast<RelayShell&>(*this), tables, limits) {
  secondTimer_.setInterval(1000);
  connect(&secondTimer_, &QTimer::timeout, this, [this] { logic_.secondTick(); });
  secondTimer_.start();
  connect(&listener_, &net::TcpListener::newConnection, this, &RelayServer::accept);
}

RelayServer::~RelayServer() {
  for (std::size_t link = 0; link < connections_.size(); ++link)
    if (net::GameConnection* connection = detach(static_cast<int>(link))) connection->abort();
}

bool RelayServer::listen(quint16 port) {
  return listener_.listen(net::TcpListener::Reach::AnyAddress, port, kBacklog);
}

void RelayServer::accept() {
  for (int taken = 0; taken < kAcceptsPerTurn; ++taken) {
    std::optional<net::AcceptedSocket> socket = listener_.nextPendingConnection();
    if (!socket) return;
    const std::string address = socket->peer;
    auto* connection = new net::GameConnection(std::move(*socket), this);
    // The relay holds back a side whose partner reads slowly long before this.
    connection->setMaxUnsentBytes(static_cast<qint64>(kRelayMaxUnsent) * 4);
    const Relay::Accepted accepted = logic_.acceptLink(address);
    if (accepted.link < 0) {
      connection->send(accepted.refusal);
      closeAndForget(connection);
      continue;
    }
    const int link = accepted.link;
    if (static_cast<std::size_t>(link) >= connections_.size())
      connections_.resize(static_cast<std::size_t>(link) + 1, nullptr);
    if (net::GameConnection* old = detach(link)) old->deleteLater();
    connections_[static_cast<std::size_t>(link)] = connection;
    connect(connection, &net::GameConnection::OnRead, this,
            [this, link, connection](const QByteArray& bytes) {
              if (at(link) == connection)
                logic_.bytesReceived(link, std::string_view(bytes.constData(), bytes.size()));
            });
    connect(connection, &net::GameConnection::OnInfo, this,
            [this, link, connection](const QString& text) {
              if (text != net::GameConnection::kSocketClosed || at(link) != connection) return;
              detach(link);
              connection->deleteLater();
              logic_.linkClosed(link);
            });
  }
}

void RelayServer::closeAndForget(net::GameConnection* connection) {
  QObject::connect(connection, &net::GameConnection::OnInfo, this,
                   [connection](const QString& text) {
                     if (text == net::GameConnection::kSocketClosed) connection->deleteLater();
                   });
  connection->close();
}

net::GameConnection* RelayServer::at(int link) const {
  if (link < 0 || static_cast<std::size_t>(link) >= connections_.size()) return nullptr;
  return connections_[static_cast<std::size_t>(link)];
}

net::GameConnection* RelayServer::detach(int link) {
  if (link < 0 || static_cast<std::size_t>(link) >= connections_.size()) return nullptr;
  net::GameConnection* connection =
      std::exchange(connections_[static_cast<std::size_t>(link)], nullptr);
  if (connection) connection->disconnect(this);
  return connection;
}

bool RelayServer::send(int link, std::string_view bytes) {
  net::GameConnection* connection = at(link);
  return connection && connection->send(bytes);
}

void RelayServer::close(int link) {
  if (net::GameConnection* connection = detach(link)) closeAndForget(connection);
}

void RelayServer::pauseReading(int link) {
  if (net::GameConnection* connection = at(link)) connection->pauseReading();
}

void RelayServer::resumeReading(int link) {
  if (net::GameConnection* connection = at(link)) connection->resumeReading();
}

std::size_t RelayServer::unsentBytes(int link) const {
  const net::GameConnection* connection = at(link);
  return connection ? static_cast<std::size_t>(connection->unsentBytes()) : 0;
}

}  // namespace zp::directory
