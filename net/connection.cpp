#include "net/connection.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QTcpSocket>
#include <algorithm>
#include <memory>
#include <utility>

#include "net/catalogue.h"
#include "net/dispatch.h"

namespace zp::net {
namespace {

int errorNumber(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError:
      return ECONNRESET;
    case QAbstractSocket::SocketTimeoutError:
      return ETIMEDOUT;
    case QAbstractSocket::NetworkError:
      return ENETUNREACH;
    case QAbstractSocket::HostNotFoundError:
      return 0;
    default:
      return EIO;
  }
}

}  // namespace

GameConnection::GameConnection(QObject* parent) : QObject(parent) {
  closeGrace_.setSingleShot(true);
  closeGrace_.setInterval(kCloseGraceMs);
  connect(&closeGrace_, &QTimer::timeout, this, &GameConnection::abort);
  attempt_.setSingleShot(true);
  attempt_.setInterval(kConnectTimeoutMs);
  connect(&attempt_, &QTimer::timeout, this, [this] {
    if (state_ == State::Connecting)
      attemptFailed(ETIMEDOUT, QStringLiteral("Connection timed out"));
  });
}

GameConnection::GameConnection(AcceptedSocket accepted, QObject* parent) : GameConnection(parent) {
  QTcpSocket* socket = accepted.socket.release();
  if (socket == nullptr) {
    state_ = State::Closed;
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
    return;
  }
  adopt(socket);
  state_ = State::Connected;
  // What came before it was taken over is handed on, and a peer already gone is reported,
  // both once the taker has set up.
  if (socket->state() != QAbstractSocket::ConnectedState)
    socketGone(socket);
  else if (socket->bytesAvailable() > 0)
    QMetaObject::invokeMethod(this, &GameConnection::readSome, Qt::QueuedConnection);
}

GameConnection::~GameConnection() {
  if (lookupId_ != -1) QHostInfo::abortHostLookup(lookupId_);
  // The socket goes with us and must not report to a half-destroyed owner of its signals.
  if (socket_ != nullptr) socket_->disconnect(this);
}

void GameConnection::connectToHost(const QString& host, quint16 port) {
  if (state_ != State::Idle) return;
  state_ = State::LookingUp;
  port_ = port;
  info(kLookingUp);
  if (QHostAddress numeric; numeric.setAddress(host)) {
    addresses_ = QStringList{host};
    state_ = State::Connecting;
    info(kConnecting);
    tryNextAddress();
    return;
  }
  lookupId_ = QHostInfo::lookupHost(host, this, SLOT(lookedUp(QHostInfo)));
}

void GameConnection::lookedUp(const QHostInfo& host) {
  lookupId_ = -1;
  if (state_ != State::LookingUp) return;
  for (const QHostAddress& address : host.addresses()) addresses_ << address.toString();
  if (addresses_.isEmpty()) {
    lastError_ = 0;
    emit OnInfo(QString::fromLatin1(kSocketError) + (host.error() == QHostInfo::NoError
                                                         ? QStringLiteral("Host not found")
                                                         : host.errorString()));
    finish();
    return;
  }
  state_ = State::Connecting;
  info(kConnecting);
  tryNextAddress();
}

// Each address in turn until one answers; the last one's failure is the one reported.
void GameConnection::tryNextAddress() {
  if (addresses_.isEmpty()) {
    emit OnInfo(QString::fromLatin1(kSocketError) + lastErrorText_);
    finish();
    return;
  }
  const QString address = addresses_.takeFirst();
  auto* socket = new QTcpSocket(this);
  adopt(socket);
  connect(socket, &QTcpSocket::connected, this, [this, socket] {
    if (socket != socket_ || state_ != State::Connecting) return;
    attempt_.stop();
    addresses_.clear();
    lastError_ = 0;
    state_ = State::Connected;
    // Through a relay the table is on the line only once the relay says so.
    if (awaitingRelay_)
      send(to_relay::relayjoin({relayCode_}));
    else
      info(kConnected);
  });
  attempt_.start();
  // May fail at once (no IPv6 here, say), and then the next address has been tried already.
  socket->connectToHost(address, port_);
}

void GameConnection::attemptFailed(int error, const QString& text) {
  lastError_ = error;
  lastErrorText_ = text;
  dropSocket();
  tryNextAddress();
}

void GameConnection::adopt(QTcpSocket* socket) {
  socket_ = socket;
  socket->setParent(this);
  // Qt takes no more than this from the system before we read it: a peer faster than its
  // owner reads is held back by TCP, not by our memory.
  socket->setReadBufferSize(kReadChunk * 2);
  connect(socket, &QTcpSocket::readyRead, this, &GameConnection::readSome);
  connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { socketError(socket); });
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] { socketGone(socket); });
}

void GameConnection::socketError(QTcpSocket* socket) {
  if (socket != socket_) return;
  const QAbstractSocket::SocketError error = socket->error();
  if (state_ == State::Connecting) {
    attemptFailed(errorNumber(error), socket->errorString());
    return;
  }
  lastError_ = errorNumber(error);
  // A peer that leaves is no error; its close is reported as such.
  if (error != QAbstractSocket::RemoteHostClosedError) {
    const QPointer<GameConnection> self(this);
    emit OnInfo(QString::fromLatin1(kSocketError) + socket->errorString());
    if (!self) return;
  }
  if (socket == socket_ && socket->state() != QAbstractSocket::ConnectedState) socketGone(socket);
}

void GameConnection::socketGone(QTcpSocket* socket) {
  if (socket != socket_) return;
  if (state_ != State::Connected) {
    finish();
    return;
  }
  // What the peer sent before it left is handed on first (the owner may be holding reading
  // back), and its close reported after.
  held_ += socket->readAll();
  dropSocket();
  state_ = State::Closed;
  peerGone_ = true;
  QMetaObject::invokeMethod(this, &GameConnection::readSome, Qt::QueuedConnection);
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
  // Goes out from the loop, so a burst of messages leaves in few writes.
  socket_->write(message.data(), static_cast<qint64>(message.size()));
  return true;
}

qint64 GameConnection::unsentBytes() const {
  return socket_ != nullptr ? socket_->bytesToWrite() : 0;
}

void GameConnection::pauseReading() {
  paused_ = true;
}

void GameConnection::resumeReading() {
  if (!paused_) return;
  paused_ = false;
  // Qt tells of nothing new while what it holds waits: what waits is read from the loop.
  QMetaObject::invokeMethod(this, &GameConnection::readSome, Qt::QueuedConnection);
}

void GameConnection::connectThroughRelay(const QString& relayHost, quint16 relayPort,
                                         const std::string& code) {
  if (state_ != State::Idle) return;
  relayCode_ = inviteCodeFrom(code).value_or(code);
  awaitingRelay_ = true;
  connectToHost(relayHost, relayPort);
}

void GameConnection::connectByCode(const QString& directoryHost, quint16 directoryPort,
                                   const std::string& code) {
  if (state_ != State::Idle) return;
  state_ = State::LookingUp;
  directoryHost_ = directoryHost;
  info(kLookingUp);
  ask_ = new GameConnection(this);
  auto reader = std::make_shared<MessageReader>();
  // As typed, with or without the dash; the directory refuses what is no code.
  connect(ask_, &GameConnection::OnInfo, this,
          [this, code = inviteCodeFrom(code).value_or(code)](const QString& text) {
            if (text == kConnected)
              ask_->send(to_directory::findcode({code}));
            else if (text == kSocketClosed)
              failWith(QStringLiteral("The directory did not say where the table is"));
          });
  connect(ask_, &GameConnection::OnRead, this, [this, reader](const QByteArray& bytes) {
    std::optional<std::string> first;
    reader->feed(std::string_view(bytes.constData(), bytes.size()), [&first](std::string&& m) {
      if (!first) first = std::move(m);
    });
    if (first) codeAnswered(*first);
  });
  QTimer::singleShot(kCodeAnswerMs, ask_, [this] {
    failWith(QStringLiteral("The directory did not say where the table is"));
  });
  ask_->connectToHost(directoryHost, directoryPort);
}

void GameConnection::codeAnswered(const std::string& message) {
  const SplitMessage split = splitMessage(message);
  if (split.command == cmd::codeat) {
    if (const auto at = from_directory::parseCodeAt(split.args)) {
      GameConnection* ask = std::exchange(ask_, nullptr);
      ask->disconnect(this);
      ask->abort();
      ask->deleteLater();
      state_ = State::Idle;
      const QString host = at->host.empty() ? directoryHost_ : QString::fromStdString(at->host);
      if (at->reach == Reach::kRelayed)
        connectThroughRelay(host, static_cast<quint16>(at->port), at->code);
      else
        connectToHost(host, static_cast<quint16>(at->port));
      return;
    }
  } else if (split.command == cmd::refused) {
    if (const auto no = from_directory::parseRefused(split.args))
      return failWith(QString::fromStdString(no->reason));
  }
  failWith(QStringLiteral("The directory's answer does not read"));
}

void GameConnection::failWith(const QString& reason) {
  if (state_ == State::Closed) return;
  lastError_ = ECONNREFUSED;
  emit OnInfo(QString::fromLatin1(kSocketError) + reason);
  finish();
}

// The relay's first message: joined (the rest is the table's), or refused.
bool GameConnection::relayAnswered() {
  const qsizetype end = relayHead_.indexOf(static_cast<char>(kTerminator));
  if (end < 0) {
    if (relayHead_.size() > static_cast<qsizetype>(kMaxMessageBytes))
      failWith(QStringLiteral("The relay's answer does not read"));
    return false;
  }
  const std::string message(relayHead_.constData(), static_cast<std::size_t>(end));
  relayHead_.remove(0, end + 1);
  const SplitMessage split = splitMessage(message);
  if (split.command == cmd::relayed) {
    awaitingRelay_ = false;
    const QPointer<GameConnection> self(this);
    info(kConnected);
    if (self && !relayHead_.isEmpty()) held_.prepend(std::exchange(relayHead_, {}));
    return self;
  }
  const auto refusal =
      split.command == cmd::relayrefused ? from_relay::parseRelayRefused(split.args) : std::nullopt;
  failWith(refusal ? QString::fromStdString(refusal->reason)
                   : QStringLiteral("The relay's answer does not read"));
  return false;
}

void GameConnection::readSome() {
  const QPointer<GameConnection> self(this);
  while (awaitingRelay_ && state_ == State::Connected && socket_->bytesAvailable() > 0) {
    relayHead_ += socket_->read(kReadChunk);
    if (!relayAnswered()) return;
    if (!self) return;
  }
  if (awaitingRelay_ && peerGone_) {
    relayHead_ += std::exchange(held_, {});
    if (!relayAnswered()) {
      if (state_ != State::Closed) failWith(QStringLiteral("The relay closed the connection"));
      return;
    }
  }
  while (!paused_) {
    QByteArray bytes;
    if (!held_.isEmpty()) {
      bytes = held_.first(std::min<qsizetype>(held_.size(), kReadChunk));
      held_.remove(0, bytes.size());
    } else if (state_ == State::Connected && socket_->bytesAvailable() > 0) {
      bytes = socket_->read(kReadChunk);
    }
    if (bytes.isEmpty()) break;
    emit OnRead(bytes);
    if (!self) return;  // its owner let it go while handling the bytes
    // What the owner answered goes to the system now, before the socket looks for more: a
    // peer that asked and shut its sending side still gets the answer (Qt closes both ways at
    // the end of the peer's data). One write per chunk read keeps a burst's writes few.
    flush();
  }
  if (peerGone_ && held_.isEmpty()) finish();
}

void GameConnection::flush() {
  if (socket_ != nullptr && state_ == State::Connected) socket_->flush();
}

void GameConnection::close() {
  switch (state_) {
    case State::Connected:
      // Nothing more is read; what was sent goes out first.
      state_ = State::Closing;
      if (unsentBytes() == 0) {
        finish();
        break;
      }
      // A peer that reads nothing would keep what we sent, and this socket, for ever.
      closeGrace_.start();
      socket_->disconnectFromHost();
      break;
    case State::LookingUp:
    case State::Connecting:
    case State::Closed:
      finish();
      break;
    case State::Closing:
      break;
    case State::Idle:
      QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
      break;
  }
}

void GameConnection::abort() {
  if (state_ == State::Idle) {
    QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
    return;
  }
  finish();
}

void GameConnection::dropSocket() {
  attempt_.stop();
  QTcpSocket* socket = std::exchange(socket_, nullptr);
  if (socket == nullptr) return;
  // Possibly inside one of its own signals: it goes once that has returned.
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

// The connection is over: the socket goes now, the report once the caller's work is done,
// so a sender going through its connections never sees one vanish under it.
void GameConnection::finish() {
  if (GameConnection* ask = std::exchange(ask_, nullptr)) {
    ask->disconnect(this);
    ask->abort();
    ask->deleteLater();
  }
  awaitingRelay_ = false;
  if (lookupId_ != -1) {
    QHostInfo::abortHostLookup(lookupId_);
    lookupId_ = -1;
  }
  dropSocket();
  addresses_.clear();
  held_.clear();
  peerGone_ = false;
  closeGrace_.stop();
  state_ = State::Closed;
  QMetaObject::invokeMethod(this, &GameConnection::ended, Qt::QueuedConnection);
}

void GameConnection::ended() {
  if (closedReported_) return;
  closedReported_ = true;
  closeGrace_.stop();
  info(kSocketClosed);
}

}  // namespace zp::net
