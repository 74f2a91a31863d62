#include "lobby/link_listener.h"

#include <optional>
#include <utility>

#include "net/connection.h"

namespace zp::lobby {

quint16 lobbyLinkPort() {
  bool ok = false;
  const uint port = qEnvironmentVariable("ZANDUPELIX_LOBBY_PORT").toUInt(&ok);
  return ok && port >= 1 && port <= 65535 ? static_cast<quint16>(port) : kLobbyLinkPort;
}

LinkListener::LinkListener(QObject* parent) : QObject(parent) {
  QObject::connect(&server_, &net::TcpListener::newConnection, this, &LinkListener::accept);
}

bool LinkListener::listen(quint16 port) {
  return server_.listen(net::TcpListener::Reach::ThisMachine, port);
}

void LinkListener::accept() {
  while (std::optional<net::AcceptedSocket> socket = server_.nextPendingConnection()) {
    if (open_ >= kMaxLinks) continue;  // the socket closes as it goes
    const int link = nextLink_++;
    ++open_;
    // What a game sends anyway is read and thrown away.
    auto* connection = new net::GameConnection(std::move(*socket), this);
    QObject::connect(connection, &net::GameConnection::OnInfo, this,
                     [this, connection, link](const QString& text) {
                       if (text != net::GameConnection::kSocketClosed) return;
                       connection->deleteLater();
                       --open_;
                       emit linkClosed(link);
                     });
    emit linkOpened(link);
  }
}

}  // namespace zp::lobby
