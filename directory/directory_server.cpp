#include "directory/directory_server.h"

#include <optional>
#include <utility>

namespace zp::directory {
namespace {

// Lets a connection go after what was sent, then deletes it.
void closeAndForget(net::GameConnection* connection) {
  QObject::connect(connection, &net::GameConnection::OnInfo, connection,
                   [connection](const QString& text) {
                     if (text == net::GameConnection::kSocketClosed) connection->deleteLater();
                   });
  connection->close();
}

}  // namespace

DirectoryServer::DirectoryServer(QObject* parent)
    : QObject(parent), logic_(static_cast<DirectoryShell&>(*this)) {
  // Messages are answered while they wait, a batch at a time, so an idle directory costs
  // nothing and a busy one still reads its sockets between batches.
  serveTimer_.setInterval(0);
  connect(&serveTimer_, &QTimer::timeout, this, &DirectoryServer::serve);
  secondTimer_.setInterval(1000);
  connect(&secondTimer_, &QTimer::timeout, this, [this] { logic_.secondTick(); });
  secondTimer_.start();
  connect(&listener_, &net::TcpListener::newConnection, this, &DirectoryServer::accept);
}

DirectoryServer::~DirectoryServer() {
  for (std::size_t peer = 0; peer < connections_.size(); ++peer)
    if (net::GameConnection* connection = detach(static_cast<int>(peer))) connection->abort();
}

bool DirectoryServer::listen(quint16 port) {
  return listener_.listen(net::TcpListener::Reach::AnyAddress, port, /*backlog=*/128);
}

void DirectoryServer::accept() {
  while (std::optional<net::AcceptedSocket> socket = listener_.nextPendingConnection()) {
    const std::string peerAddress = socket->peer;
    auto* connection = new net::GameConnection(std::move(*socket), this);
    connection->setMaxUnsentBytes(kMaxUnsentBytes);
    const TableDirectory::Accepted accepted = logic_.acceptPeer(peerAddress);
    if (accepted.peer < 0) {
      connection->send(accepted.refusal);
      closeAndForget(connection);
      continue;
    }
    const int peer = accepted.peer;
    if (static_cast<std::size_t>(peer) >= connections_.size())
      connections_.resize(static_cast<std::size_t>(peer) + 1, nullptr);
    if (net::GameConnection* old = detach(peer)) old->deleteLater();
    connections_[static_cast<std::size_t>(peer)] = connection;
    connect(
        connection, &net::GameConnection::OnRead, this,
        [this, peer, connection](const QByteArray& bytes) { received(peer, connection, bytes); });
    connect(connection, &net::GameConnection::OnInfo, this,
            [this, peer, connection](const QString& text) {
              if (text == net::GameConnection::kSocketClosed) gone(peer, connection);
            });
  }
}

void DirectoryServer::received(int peer, net::GameConnection* connection, const QByteArray& bytes) {
  if (connections_[static_cast<std::size_t>(peer)] != connection) return;
  logic_.bytesReceived(peer, std::string_view(bytes.constData(), bytes.size()));
  if (logic_.hasWaitingMessages() && !serveTimer_.isActive()) serveTimer_.start();
}

void DirectoryServer::gone(int peer, net::GameConnection* connection) {
  // A late report from a connection already replaced or closed by us frees nothing.
  if (connections_[static_cast<std::size_t>(peer)] != connection) return;
  detach(peer);
  connection->deleteLater();
  logic_.peerClosed(peer);
}

net::GameConnection* DirectoryServer::detach(int peer) {
  net::GameConnection*& slot = connections_[static_cast<std::size_t>(peer)];
  net::GameConnection* connection = slot;
  slot = nullptr;
  if (connection) connection->disconnect(this);
  return connection;
}

void DirectoryServer::serve() {
  for (int i = 0; i < kServeBatch && logic_.serveOne(); ++i) {
  }
  if (!logic_.hasWaitingMessages()) serveTimer_.stop();
}

void DirectoryServer::send(int peer, std::string_view bytes) {
  if (peer < 0 || static_cast<std::size_t>(peer) >= connections_.size()) return;
  if (net::GameConnection* connection = connections_[static_cast<std::size_t>(peer)])
    connection->send(bytes);
}

void DirectoryServer::close(int peer) {
  if (peer < 0 || static_cast<std::size_t>(peer) >= connections_.size()) return;
  if (net::GameConnection* connection = detach(peer)) closeAndForget(connection);
}

std::size_t DirectoryServer::unsentBytes(int peer) const {
  if (peer < 0 || static_cast<std::size_t>(peer) >= connections_.size()) return 0;
  const net::GameConnection* connection = connections_[static_cast<std::size_t>(peer)];
  return connection ? static_cast<std::size_t>(connection->unsentBytes()) : 0;
}

void DirectoryServer::news(std::string_view line) {
  emit directoryNews(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

}  // namespace zp::directory
