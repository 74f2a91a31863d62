#include "net/connection.h"

#include <QPointer>
#include <QTcpSocket>

namespace zp::net {

GameConnection::GameConnection(QObject* parent) : QObject(parent), socket_(new QTcpSocket(this)) {
  watch();
}

GameConnection::GameConnection(QTcpSocket* accepted, QObject* parent)
    : QObject(parent), socket_(accepted) {
  socket_->setParent(this);
  watch();
  // What came before it was taken over is not lost, and a peer already gone is reported.
  if (socket_->bytesAvailable() > 0)
    QMetaObject::invokeMethod(this, &GameConnection::readAll, Qt::QueuedConnection);
  if (socket_->state() == QAbstractSocket::UnconnectedState)
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
}

GameConnection::~GameConnection() {
  // The socket goes with us and must not report to a half-destroyed owner of its signals.
  socket_->disconnect(this);
}

void GameConnection::watch() {
  // Qt takes no more from the system than this before we read it, so a flooding peer is held
  // back by TCP instead of filling our memory.
  socket_->setReadBufferSize(kReadChunk * 2);
  closeGrace_.setSingleShot(true);
  closeGrace_.setInterval(kCloseGraceMs);
  connect(&closeGrace_, &QTimer::timeout, this, &GameConnection::abort);
  connect(socket_, &QTcpSocket::readyRead, this, &GameConnection::readAll);
  connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
    // A peer that leaves is no error; its close is reported as such.
    if (error != QAbstractSocket::RemoteHostClosedError)
      emit OnInfo(QString::fromLatin1(kSocketError) + socket_->errorString());
  });
  connect(socket_, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
    switch (state) {
      case QAbstractSocket::HostLookupState:
        info(kLookingUp);
        break;
      case QAbstractSocket::ConnectingState:
        info(kConnecting);
        break;
      case QAbstractSocket::ConnectedState:
        info(kConnected);
        break;
      case QAbstractSocket::UnconnectedState:
        // After whatever is reporting the change (an error, or a send that let the peer go)
        // has finished.
        QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
        break;
      default:
        break;
    }
  });
}

void GameConnection::connectToHost(const QString& host, quint16 port) {
  socket_->connectToHost(host, port);
}

bool GameConnection::send(std::string_view message) {
  if (!isOpen()) {
    info(kNotConnected);
    return false;
  }
  // A peer that stops reading would have everything sent to it pile up here.
  if (socket_->bytesToWrite() > maxUnsent_) {
    info(kNotReading);
    abort();
    return false;
  }
  socket_->write(message.data(), static_cast<qint64>(message.size()));
  return true;
}

void GameConnection::close() {
  if (socket_->state() == QAbstractSocket::UnconnectedState) {
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
    return;
  }
  socket_->disconnectFromHost();
  // A peer that reads nothing would keep what we sent, and this socket, for ever.
  if (socket_->state() != QAbstractSocket::UnconnectedState) closeGrace_.start();
}

void GameConnection::abort() {
  if (socket_->state() == QAbstractSocket::UnconnectedState) {
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
    return;
  }
  socket_->abort();
}

bool GameConnection::isOpen() const {
  return socket_->state() == QAbstractSocket::ConnectedState;
}

qint64 GameConnection::unsentBytes() const {
  return socket_->bytesToWrite();
}

void GameConnection::readAll() {
  const QPointer<GameConnection> self(this);
  while (socket_->bytesAvailable() > 0) {
    const QByteArray bytes = socket_->read(kReadChunk);
    if (bytes.isEmpty()) break;
    emit OnRead(bytes);
    if (!self) return;  // its owner let it go while handling the bytes
  }
}

void GameConnection::ended() {
  if (closedReported_) return;
  closedReported_ = true;
  closeGrace_.stop();
  info(kSocketClosed);
}

}  // namespace zp::net
