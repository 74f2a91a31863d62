#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <utility>

namespace zp::windows::testing {

// A one-page web server on a free loopback port, answering every GET in one of a few ways.
class WebServer {
 public:
  enum Answer { Whole, NotFound, CutShort, Redirect };

  // For a redirect, `body` is where to.
  WebServer(Answer answer, QByteArray body, const QHostAddress& host = QHostAddress::LocalHost)
      : answer_(answer), body_(std::move(body)) {
    server_.listen(host, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
  }
  QString address(const QString& path) const {
    return QStringLiteral("http://%1:%2%3")
        .arg(server_.serverAddress().toString())
        .arg(server_.serverPort())
        .arg(path);
  }
  // Stops sending once this many body bytes are out, until resume().
  void holdAfter(qsizetype bytes) { hold_ = bytes; }
  void resume() { hold_ = -1; }
  QByteArray request() const { return request_; }
  int connections() const { return connections_; }

 private:
  void serve(QTcpSocket* socket) {
    ++connections_;
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
      request_ += socket->readAll();
      if (request_.contains("\r\n\r\n")) answer(socket);
    });
  }

  void answer(QTcpSocket* socket) {
    if (answer_ == Redirect) {
      socket->write("HTTP/1.1 302 Found\r\nLocation: " + body_ +
                    "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      socket->disconnectFromHost();
      return;
    }
    if (answer_ == NotFound) {
      socket->write(
          "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot here\n");
      socket->disconnectFromHost();
      return;
    }
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                  QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n");
    const qsizetype end = answer_ == CutShort ? body_.size() / 3 : body_.size();
    auto* pacer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    QObject::connect(pacer, &QTimer::timeout, socket, [this, socket, pacer, sent, end] {
      if (hold_ >= 0 && *sent >= hold_) return;
      socket->write(body_.mid(*sent, std::min(kPiece, end - *sent)));
      *sent += kPiece;
      if (*sent < end) return;
      pacer->stop();
      socket->disconnectFromHost();
    });
    pacer->start(5);
  }

  static constexpr qsizetype kPiece = 16384;
  QTcpServer server_;
  Answer answer_;
  qsizetype hold_ = -1;
  QByteArray body_;
  QByteArray request_;
  int connections_ = 0;
};

inline QByteArray installerBytes(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 251) & 0xff);
  return bytes;
}

}  // namespace zp::windows::testing
