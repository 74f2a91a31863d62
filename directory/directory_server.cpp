#include "directory/directory_server.h"

#include "net/dispatch.h"

#include <QTcpSocket>
#include <memory>
#include <optional>
#include <utility>

namespace zp::directory {

DirectoryServer::DirectoryServer(PeerLimits limits, QObject* parent)
    : QObject(parent), logic_(static_cast<DirectoryShell&>(*this), limits) {
  // Lists are written on at once while their peers take them, and looked at now and then
  // while they do not; an idle directory costs nothing.
  connect(&listTimer_, &QTimer::timeout, this, &DirectoryServer::writeLists);
  secondTimer_.setInterval(1000);
  connect(&secondTimer_, &QTimer::timeout, this, [this] {
    logic_.secondTick();
    if (!logic_.writingLists()) listTimer_.stop();
  });
  secondTimer_.start();
  connect(&listener_, &net::TcpListener::newConnection, this, &DirectoryServer::accept);
}

DirectoryServer::~DirectoryServer() {
  for (auto& [id, connection] : probes_) {
    connection->disconnect(this);
    connection->abort();
  }
  for (std::size_t peer = 0; peer < connections_.size(); ++peer)
    if (net::GameConnection* connection = detach(static_cast<int>(peer))) connection->abort();
}

bool DirectoryServer::listen(quint16 port) {
  return listener_.listen(net::TcpListener::Reach::AnyAddress, port, kBacklog);
}

// Lets a connection go after what was sent, then deletes it.
void DirectoryServer::closeAndForget(net::GameConnection* connection) {
  ++closing_;
  QObject::connect(connection, &net::GameConnection::OnInfo, this,
                   [this, connection](const QString& text) {
                     if (text != net::GameConnection::kSocketClosed) return;
                     --closing_;
                     connection->deleteLater();
                   });
  connection->close();
}

void DirectoryServer::accept() {
  // A batch at a time, the rest at the next turn of the loop: the peers' own messages are
  // not held up by a flood of connections.
  for (int taken = 0; taken < kAcceptsPerTurn; ++taken) {
    std::optional<net::AcceptedSocket> socket = listener_.nextPendingConnection();
    if (!socket) return;
    // A connection refused or let go holds its file handle until its last words have gone
    // out; past what the handles allow, a new one is closed without a word.
    if (logic_.peers() + closing_ >= logic_.limits().total + kSpareHandles / 2) continue;
    const std::string peerAddress = socket->peer;
    // What the system holds for a peer that does not read is bounded too, not only ours.
    socket->socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption,
                                    kSystemSendBufferBytes);
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
  if (logic_.writingLists() && !listTimer_.isActive()) listTimer_.start(0);
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

void DirectoryServer::writeLists() {
  const bool wrote = logic_.writeLists();
  if (!logic_.writingLists())
    listTimer_.stop();
  else
    listTimer_.setInterval(wrote ? 0 : kListPollMs);
}

bool DirectoryServer::send(int peer, std::string_view bytes) {
  if (peer < 0 || static_cast<std::size_t>(peer) >= connections_.size()) return false;
  net::GameConnection* connection = connections_[static_cast<std::size_t>(peer)];
  return connection && connection->send(bytes);
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

namespace zp::directory {

// Connects back as a lobby would and waits for the table to say what it holds.
void DirectoryServer::probe(int id, const std::string& address, int port) {
  auto* connection = new net::GameConnection(this);
  probes_[id] = connection;
  connection->setConnectTimeout(kProbeSeconds * 1000);
  auto reader = std::make_shared<net::MessageReader>();
  QTimer::singleShot(kProbeSeconds * 1000, connection, [this, id] { probed(id, false); });
  connect(connection, &net::GameConnection::OnInfo, this,
          [this, id, connection](const QString& text) {
            if (text == net::GameConnection::kConnected)
              connection->send(net::to_server::tableinfo());
            else if (text == net::GameConnection::kSocketClosed)
              probed(id, false);
          });
  connect(
      connection, &net::GameConnection::OnRead, this, [this, id, reader](const QByteArray& bytes) {
        bool answered = false;
        reader->feed(std::string_view(bytes.constData(), bytes.size()), [&answered](
                                                                            std::string&& message) {
          const net::SplitMessage split = net::splitMessage(message);
          if (split.command == net::cmd::tableinfo && net::to_players::parseTableInfo(split.args))
            answered = true;
        });
        if (answered) probed(id, true);
      });
  connection->connectToHost(QString::fromStdString(address), static_cast<quint16>(port));
}

void DirectoryServer::probed(int id, bool reached) {
  const auto found = probes_.find(id);
  if (found == probes_.end()) return;
  net::GameConnection* connection = found->second;
  probes_.erase(found);
  connection->disconnect(this);
  connection->abort();
  connection->deleteLater();
  logic_.probeAnswered(id, reached);
}

}  // namespace zp::directory
