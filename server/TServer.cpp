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
  logic_->setWholeListSource([this] { return wholeList(); });
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
  // So is the grace a dropped player has to come back.
  holdtimer.setInterval(1000);
  connect(&holdtimer, &QTimer::timeout, this, [this] { logic_->holdtimerTimer(); });
  logic_->setGrace(options.graceSeconds);
  logic_->setTableName(options.tableName);
  connect(&Sock1, &net::TcpListener::newConnection, this, &TServer::Sock1Accept);
}

TServer::~TServer() {
  // Closing the table ends every player's connection, after a goodbye that reaches the system
  // before the socket goes.
  logic_->closing();
  for (int record = 1; record <= kFullRecord; ++record) {
    if (net::GameConnection* connection = detach(record)) {
      connection->flush();
      connection->abort();
    }
  }
}

void TServer::setComputerStrength(ComputerStrength strength) {
  logic_->setComputerStrength(strength,
                              strength == ComputerStrength::Expert ? wholeList() : nullptr);
}

const words::WordGraph* TServer::wholeList() {
  if (!wholeList_) {
    wholeList_ = std::make_unique<const words::WordGraph>(
        TableServer::wordsForExpert(words::carriedWordList()));
    words::releaseCarriedWordList();
  }
  return wholeList_.get();
}

bool TServer::listen(quint16 port) {
  if (Sock1.listen(net::TcpListener::Reach::AnyAddress, port, /*backlog=*/5)) return true;
  error_ = QStringLiteral("Listen - Error Binding Socket");
  return false;
}

void TServer::Sock1Accept() {
  while (std::optional<net::AcceptedSocket> socket = Sock1.nextPendingConnection())
    adoptConnection(new net::GameConnection(std::move(*socket), this));
}

void TServer::adoptConnection(net::GameConnection* connection) {
  connection->setParent(this);
  const int record = logic_->chooseRecord();
  // The refused connection before this one keeps what it was sent.
  if (record == kFullRecord)
    close(kFullRecord);
  else if (net::GameConnection* old = detach(record))
    old->deleteLater();
  connections_[static_cast<std::size_t>(record)] = connection;
  // The record is looked up at each report: a player who comes back moves its connection
  // to the seat that was held.
  connect(connection, &net::GameConnection::OnRead, this,
          [this, connection](const QByteArray& bytes) { Sock1Read(connection, bytes); });
  connect(connection, &net::GameConnection::OnInfo, this, [this, connection](const QString& text) {
    if (text == net::GameConnection::kSocketClosed) socketGone(connection);
  });
  logic_->connectionAccepted(record);
}

int TServer::recordOf(const net::GameConnection* connection) const {
  for (int record = 1; record <= kFullRecord; ++record)
    if (connections_[static_cast<std::size_t>(record)] == connection) return record;
  return 0;
}

void TServer::Sock1Read(net::GameConnection* connection, const QByteArray& bytes) {
  const int record = recordOf(connection);
  if (record == 0) return;
  logic_->bytesReceived(record, std::string_view(bytes.constData(), bytes.size()));
  if (logic_->hasWaitingMessages() && !socktimer.isActive()) socktimer.start();
}

void TServer::socketGone(net::GameConnection* connection) {
  // A connection no longer attached to a record (closed by us, or replaced) reports nothing;
  // so a late report never frees a record that a newcomer holds by now.
  const int record = recordOf(connection);
  if (record == 0) return;
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

void TServer::moveConnection(int from, int to) {
  if (from < 1 || from > kMaxPlayer || to < 1 || to > kMaxPlayer || from == to) return;
  if (net::GameConnection* old = detach(to)) old->deleteLater();
  std::swap(connections_[static_cast<std::size_t>(from)],
            connections_[static_cast<std::size_t>(to)]);
}

QTimer& TServer::timerFor(ServerTimer timer) {
  switch (timer) {
    case ServerTimer::Timer1:
      return Timer1;
    case ServerTimer::computertimer:
      return computertimer;
    case ServerTimer::relaytimer:
      return relaytimer;
    case ServerTimer::holdtimer:
      return holdtimer;
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
