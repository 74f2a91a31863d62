#include "lobby/link_listener.h"

#include <QTcpSocket>

namespace zp::lobby {

quint16 lobbyLinkPort() {
  bool ok = false;
  const uint port = qEnvironmentVariable("ZANDUPELIX_LOBBY_PORT").toUInt(&ok);
  return ok && port >= 1 && port <= 65535 ? static_cast<quint16>(port) : kLobbyLinkPort;
}

LinkListener::LinkListener(QObject* parent) : QObject(parent) {
  QObject::connect(&server_, &QTcpServer::newConnection, this, &LinkListener::accept);
}

bool LinkListener::listen(quint16 port) {
  return server_.listen(QHostAddress::LocalHost, port);
}

void LinkListener::accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    socket->setParent(this);
    if (open_ >= kMaxLinks) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const int link = nextLink_++;
    ++open_;
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket, link] {
      socket->deleteLater();
      --open_;
      emit linkClosed(link);
    });
    emit linkOpened(link);
  }
}

}  // namespace zp::lobby
