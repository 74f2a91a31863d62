#include "net/listener.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace zp::net {
namespace {

constexpr int kRestMs = 100;

// The reasons a player reads after "port 7772: ", in the same words whatever the language.
QString listenError(const QTcpServer& server) {
  switch (server.serverError()) {
    case QAbstractSocket::AddressInUseError:
      return QStringLiteral("Address already in use");
    case QAbstractSocket::SocketAccessError:
      return QStringLiteral("Permission denied");
    default:
      return server.errorString();
  }
}

std::string addressText(QHostAddress address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);  // also when it came mapped into IPv6
  if (isV4) return QHostAddress(v4).toString().toStdString();
  address.setScopeId(QString());
  return address.toString().toStdString();
}

}  // namespace

void AcceptedSocket::Closer::operator()(QTcpSocket* socket) const {
  delete socket;
}

TcpListener::TcpListener(QObject* parent) : QObject(parent), server_(new QTcpServer(this)) {
  rest_.setSingleShot(true);
  rest_.setInterval(kRestMs);
  connect(&rest_, &QTimer::timeout, server_, &QTcpServer::resumeAccepting);
  connect(server_, &QTcpServer::acceptError, this, [this] { rest_.start(); });
  connect(server_, &QTcpServer::newConnection, this, &TcpListener::newConnection);
}

TcpListener::~TcpListener() {
  close();
}

bool TcpListener::listen(Reach reach, std::uint16_t port, int backlog) {
  close();
  error_.clear();
  server_->setListenBacklogSize(backlog);
  const QHostAddress where(reach == Reach::AnyAddress ? QHostAddress::Any
                                                      : QHostAddress::LocalHost);
  if (server_->listen(where, port)) return true;
  error_ = listenError(*server_);
  return false;
}

bool TcpListener::isListening() const {
  return server_->isListening();
}

void TcpListener::close() {
  rest_.stop();
  server_->close();
}

std::uint16_t TcpListener::port() const {
  return server_->isListening() ? server_->serverPort() : 0;
}

std::optional<AcceptedSocket> TcpListener::nextPendingConnection() {
  QTcpSocket* socket = server_->nextPendingConnection();
  if (socket == nullptr) return std::nullopt;
  // Its taker alone owns it from now on, whether or not the listener outlives it.
  socket->setParent(nullptr);
  AcceptedSocket accepted;
  accepted.socket.reset(socket);
  accepted.peer = addressText(socket->peerAddress());
  return accepted;
}

}  // namespace zp::net
