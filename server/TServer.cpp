#include "server/TServer.h"

#include <QTcpSocket>
#include <chrono>
#include <random>

namespace zp::server {
namespace {

std::uint64_t clockSeed() {
  std::random_device device;
  const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(now);
}

constexpr qint64 kReadChunk = 32768;
// Far more than a player is ever sent in the time it takes to read it.
constexpr qint64 kMaxUnsentBytes = 1024 * 1024;

}  // namespace

TServer::TServer(const Options& options, QObject* parent)
    : QObject(parent), spell(options.dictionaryFile, words::carriedWordList()) {
  words::releaseCarriedWordList();
  logic_ = std::make_unique<TableServer>(static_cast<ServerShell&>(*this), spell,
                                         words::carriedCandidateWords(),
                                         options.seed != 0 ? options.seed : clockSeed());
  // The dispatch timer runs only while messages wait, so an idle table costs nothing.
  socktimer.setInterval(10);
  Timer1.setInterval(options.tickMs);
  computertimer.setInterval(options.tickMs);
  connect(&socktimer, &QTimer::timeout, this, [this] {
    logic_->socktimerTimer();
    if (!logic_->hasWaitingMessages()) socktimer.stop();
  });
  connect(&Timer1, &QTimer::timeout, this, [this] { logic_->Timer1Timer(); });
  connect(&computertimer, &QTimer::timeout, this, [this] { logic_->computertimerTimer(); });
  connect(&Sock1, &QTcpServer::newConnection, this, &TServer::Sock1Accept);
}

TServer::~TServer() {
  // Closing the table ends every player's connection.
  for (int record = 1; record <= kFullRecord; ++record)
    if (QTcpSocket* socket = detach(record)) socket->abort();
}

bool TServer::listen(quint16 port) {
  Sock1.setListenBacklogSize(5);
  if (Sock1.listen(QHostAddress::Any, port)) return true;
  error_ = QStringLiteral("Listen - Error Binding Socket");
  return false;
}

void TServer::Sock1Accept() {
  while (QTcpSocket* socket = Sock1.nextPendingConnection()) {
    const int record = logic_->chooseRecord();
    if (QTcpSocket* old = detach(record)) old->deleteLater();
    sockets_[static_cast<std::size_t>(record)] = socket;
    ++attachments_[static_cast<std::size_t>(record)];
    socket->setParent(this);
    // Qt takes no more from the system than this before we read it, so a flooding peer is
    // held back by TCP instead of filling our memory.
    socket->setReadBufferSize(kReadChunk * 2);
    connect(socket, &QTcpSocket::readyRead, this,
            [this, record, socket] { Sock1Read(record, socket); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, record, socket] { socketGone(record, socket); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, record, socket] { socketGone(record, socket); });
    logic_->connectionAccepted(record);
  }
}

void TServer::Sock1Read(int record, QTcpSocket* socket) {
  if (sockets_[static_cast<std::size_t>(record)] != socket) return;
  while (socket->bytesAvailable() > 0) {
    const QByteArray bytes = socket->read(kReadChunk);
    if (bytes.isEmpty()) break;
    logic_->bytesReceived(record, std::string_view(bytes.constData(), bytes.size()));
  }
  if (logic_->hasWaitingMessages() && !socktimer.isActive()) socktimer.start();
}

void TServer::socketGone(int record, QTcpSocket* socket) {
  // A socket no longer attached to its record (closed by us, or replaced) reports nothing.
  if (sockets_[static_cast<std::size_t>(record)] != socket) return;
  detach(record);
  socket->deleteLater();
  logic_->connectionClosed(record);
}

QTcpSocket* TServer::detach(int record) {
  QTcpSocket*& slot = sockets_[static_cast<std::size_t>(record)];
  QTcpSocket* socket = slot;
  slot = nullptr;
  if (socket) socket->disconnect(this);
  return socket;
}

void TServer::send(int record, std::string_view message) {
  if (record < 1 || record > kFullRecord) return;
  QTcpSocket* socket = sockets_[static_cast<std::size_t>(record)];
  if (!socket) return;
  // A peer that stops reading would have everything sent to it pile up here. Past the cap it
  // is let go like a player who left; the table hears of it once the current handler is done.
  if (socket->bytesToWrite() > kMaxUnsentBytes) {
    detach(record);
    socket->abort();
    socket->deleteLater();
    // Unless the record has been freed and handed to a newcomer in the meantime.
    const quint64 attached = attachments_[static_cast<std::size_t>(record)];
    QMetaObject::invokeMethod(
        this,
        [this, record, attached] {
          if (attachments_[static_cast<std::size_t>(record)] == attached)
            logic_->connectionClosed(record);
        },
        Qt::QueuedConnection);
    return;
  }
  socket->write(message.data(), static_cast<qint64>(message.size()));
}

void TServer::close(int record) {
  if (record < 1 || record > kFullRecord) return;
  QTcpSocket* socket = detach(record);
  if (!socket) return;
  // Let what was sent (CMD_full) go out first, then let the socket go.
  connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  socket->disconnectFromHost();
  if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
}

QTimer& TServer::timerFor(ServerTimer timer) {
  return timer == ServerTimer::Timer1 ? Timer1 : computertimer;
}

void TServer::startTimer(ServerTimer timer) {
  timerFor(timer).start();
}
void TServer::stopTimer(ServerTimer timer) {
  timerFor(timer).stop();
}

void TServer::tellHost(std::string_view text) {
  emit hostNotice(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TServer::news(std::string_view line) {
  emit tableNews(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

}  // namespace zp::server
