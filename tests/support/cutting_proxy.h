#pragma once

// A TCP proxy on a free loopback port that passes bytes to a target port unchanged, and cuts
// every connection through it on demand: both sides see their connection end, as after a
// router restart, with no goodbye from either.
//
//   CuttingProxy proxy(table.port());
//   window.connectTo(proxy.port());
//   proxy.cut();

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace zp::testing {

class CuttingProxy : public QObject {
 public:
  explicit CuttingProxy(quint16 target) : target_(target) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* near = server_.nextPendingConnection()) join(near);
    });
  }
  quint16 port() const { return server_.serverPort(); }
  int cuts() const { return cuts_; }
  // Ends every connection through the proxy at once, both ways; later ones pass again.
  void cut() {
    for (const QPointer<QTcpSocket>& socket : sockets_)
      if (socket) socket->abort();
    sockets_.clear();
    ++cuts_;
  }

 private:
  void join(QTcpSocket* near) {
    auto* far = new QTcpSocket(this);
    near->setParent(this);
    sockets_ << near << far;
    // What arrives before the far side is up waits in the near socket's buffer.
    connect(far, &QTcpSocket::connected, near, [near, far] { far->write(near->readAll()); });
    connect(near, &QTcpSocket::readyRead, far, [near, far] {
      if (far->state() == QAbstractSocket::ConnectedState) far->write(near->readAll());
    });
    connect(far, &QTcpSocket::readyRead, near, [near, far] { near->write(far->readAll()); });
    // One side that ends ends the other.
    connect(near, &QTcpSocket::disconnected, far, &QTcpSocket::disconnectFromHost);
    connect(far, &QTcpSocket::disconnected, near, &QTcpSocket::disconnectFromHost);
    far->connectToHost(QHostAddress::LocalHost, target_);
  }

  quint16 target_;
  QTcpServer server_;
  QList<QPointer<QTcpSocket>> sockets_;
  int cuts_ = 0;
};

}  // namespace zp::testing
