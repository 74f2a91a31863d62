#include "server/TServer.h"

#include <optional>
#include <utility>

#include "server/random_source.h"

namespace zp::server {

TServer::TServer(const Options& options, QObject* parent)
    : QObject(parent), spell(options.dictionaryFile, words::carriedWordList()) {
  words::releaseCarriedWordList();
  logic_ = std::make_unique<TableServer>(static_cast<ServerShell&>(*this), spell,
                                         words::carriedCandidateWords(),
                                         options.seed != 0 ? options.seed : clockSeed());
  setComputerStrength(options.computer);
  // The dispatch timer runs only while messages wait, so an idle table costs nothing.
  socktimer.setInterval(10);
  Timer1.setInterval(options.tickMs);
  computertimer.setInterval(options.tickMs);
  relaytimer.setInterval(options.relayTickMs);
  connect(&socktimer, &QTimer::timeout, this, [this] {
    logic_->socktimerTimer();
    if (!logic_->hasWaitingMessages()) socktimer.stop();
  });
  connect(&Timer1, &QTimer::timeout, this, [this] { logic_->Timer1Timer(); });
  connect(&computertimer, &QTimer::timeout, this, [this] { logic_->computertimerTimer(); });
  connect(&relaytimer, &QTimer::timeout, this, [this] { logic_->relaytimerTimer(); });
  // The wait for a new connection's first word is real time, whatever a game second is.
  logintimer.setInterval(1000);
  connect(&logintimer, &QTimer::timeout, this, [this] { logic_->logintimerTimer(); });
  logic_->setTableName(options.tableName);
  connect(&Sock1, &net::TcpListener::newConnection, this, &TServer::Sock1Accept);
}

TServer::~TServer() {
  // Closing the table ends every player's connection.
  for (int record = 1; record <= kFullRecord; ++record)
    if (net::GameConnection* connection = detach(record)) connection->abort();
}

void TServer::setComputerStrength(ComputerStrength strength) {
  if (strength == ComputerStrength::Expert && !wholeList_) {
    wholeList_ = std::make_unique<const words::WordGraph>(
        TableServer::wordsForExpert(words::carriedWordList()));
    words::releaseCarriedWordList();
  }
  logic_->setComputerStrength(strength, wholeList_.get());
}

bool TServer::listen(quint16 port) {
  if (Sock1.listen(net::TcpListener::Reach::AnyAddress, port, /*backlog=*/5)) return true;
  error_ = QStringLiteral("Listen - Error Binding Socket");
  return false;
}

void TServer::Sock1Accept() {
  while (std::optional<net::AcceptedSocket> socket = Sock1.nextPendingConnection()) {
    const int record = logic_->chooseRecord();
    // The refused connection before this one keeps what it was sent.
    if (record == kFullRecord)
      close(kFullRecord);
    else if (net::GameConnection* old = detach(record))
      old->deleteLater();
    auto* connection = new net::GameConnection(std::move(*socket), this);
    connections_[static_cast<std::size_t>(record)] = connection;
    connect(connection, &net::GameConnection::OnRead, this,
            [this, record, connection](const QByteArray& bytes) {
              Sock1Read(record, connection, bytes);
            });
    connect(connection, &net::GameConnection::OnInfo, this,
            [this, record, connection](const QString& text) {
              if (text == net::GameConnection::kSocketClosed) socketGone(record, connection);
            });
    logic_->connectionAccepted(record);
  }
}

void TServer::Sock1Read(int record, net::GameConnection* connection, const QByteArray& bytes) {
  if (connections_[static_cast<std::size_t>(record)] != connection) return;
  logic_->bytesReceived(record, std::string_view(bytes.constData(), bytes.size()));
  if (logic_->hasWaitingMessages() && !socktimer.isActive()) socktimer.start();
}

void TServer::socketGone(int record, net::GameConnection* connection) {
  // A connection no longer attached to its record (closed by us, or replaced) reports nothing;
  // so a late report never frees a record that a newcomer holds by now.
  if (connections_[static_cast<std::size_t>(record)] != connection) return;
  detach(record);
  connection->deleteLater();
  logic_->connectionClosed(record);
}

net::GameConnection* TServer::detach(int record) {
  net::GameConnection*& slot = connections_[static_cast<std::size_t>(record)];
  net::GameConnection* connection = slot;
  slot = nullptr;
  if (connection) connection->disconnect(this);
  return connection;
}

void TServer::send(int record, std::string_view message) {
  if (record < 1 || record > kFullRecord) return;
  // A peer that stops reading is let go by its connection, which reports the close once the
  // current handler is done: the table hears of it like any departure.
  if (net::GameConnection* connection = connections_[static_cast<std::size_t>(record)])
    connection->send(message);
}

void TServer::close(int record) {
  if (record < 1 || record > kFullRecord) return;
  net::GameConnection* connection = detach(record);
  if (!connection) return;
  // Let what was sent (CMD_full) go out first, then let the connection go.
  connect(connection, &net::GameConnection::OnInfo, connection, [connection](const QString& text) {
    if (text == net::GameConnection::kSocketClosed) connection->deleteLater();
  });
  connection->close();
}

QTimer& TServer::timerFor(ServerTimer timer) {
  switch (timer) {
    case ServerTimer::Timer1:
      return Timer1;
    case ServerTimer::computertimer:
      return computertimer;
    case ServerTimer::relaytimer:
      return relaytimer;
    case ServerTimer::logintimer:
      break;
  }
  return logintimer;
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
