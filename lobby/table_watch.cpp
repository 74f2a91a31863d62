#include "lobby/table_watch.h"

#include <QHostInfo>
#include <cerrno>

#include "net/catalogue.h"
#include "net/connection.h"
#include "net/dispatch.h"
#include "net/framing.h"

namespace zp::lobby {

struct TableWatch::Ask {
  net::GameConnection* connection = nullptr;  // a child of the watch, once looked up
  std::uint16_t port = 0;
  net::MessageReader reader;
  bool directory = false;
  qint64 bytes = 0;
  std::vector<net::ListedTable> listed;
  std::vector<net::RelayedTable> relayed;
};

TableWatch::TableWatch(QObject* parent) : QObject(parent), finder_(*this) {
  clock_.start();
  tick_.setInterval(kTickMs);
  QObject::connect(&tick_, &QTimer::timeout, this, [this] { finder_.tick(clock_.elapsed()); });
  opener_.setInterval(0);
  QObject::connect(&opener_, &QTimer::timeout, this, &TableWatch::openSome);
}

TableWatch::~TableWatch() {
  for (auto& [ask, a] : asks_)
    if (a->connection) a->connection->disconnect(this);
}

void TableWatch::start() {
  tick_.start();
  finder_.refresh(clock_.elapsed());
}

void TableWatch::askLocalNetwork(quint16 tablesPort, NetworkAsk::Reach reach) {
  delete network_;
  network_ = new NetworkAsk(
      tablesPort, reach,
      [this](const net::IpAddress& from, std::string_view datagram) {
        finder_.networkAnswered(from, datagram);
      },
      this);
  QObject::connect(network_, &NetworkAsk::problem, this, &TableWatch::networkProblem);
  finder_.setNetworkAsked(true);
}

void TableWatch::askNetwork(const std::string& query) {
  if (network_) network_->send(query);
}

void TableWatch::askTable(int ask, const net::HostPort& where) {
  queue(ask, where, false);
}

void TableWatch::askDirectory(int ask, const net::HostPort& where) {
  queue(ask, where, true);
}

void TableWatch::cancel(int ask) {
  std::erase_if(queued_, [ask](const Queued& q) { return q.ask == ask; });
  drop(ask);
}

void TableWatch::queue(int ask, const net::HostPort& where, bool directory) {
  queued_.push_back(Queued{ask, where, directory});
  if (!opener_.isActive()) opener_.start();
}

void TableWatch::openSome() {
  for (int n = 0; n < kOpensPerTurn && !queued_.empty(); ++n) {
    const Queued next = std::move(queued_.front());
    queued_.pop_front();
    open(next.ask, next.where, next.directory);
  }
  if (queued_.empty()) opener_.stop();
}

void TableWatch::open(int ask, const net::HostPort& where, bool directory) {
  auto a = std::make_unique<Ask>();
  a->directory = directory;
  a->port = where.port;
  asks_[ask] = std::move(a);
  if (net::isAddressText(where.host)) {
    connectTo(ask, where.host);
    return;
  }
  // Looked up here, off the loop, so that the finder keeps the addresses for the next rounds:
  // a slow resolver then costs one round, not every one.
  QHostInfo::lookupHost(QString::fromStdString(where.host), this,
                        [this, ask, host = where.host](const QHostInfo& found) {
                          std::vector<std::string> addresses;
                          for (const QHostAddress& address : found.addresses())
                            addresses.push_back(address.toString().toStdString());
                          finder_.lookedUp(host, addresses, clock_.elapsed());
                          if (!asks_.count(ask)) return;  // given up on meanwhile
                          if (addresses.empty())
                            failed(ask, false);
                          else
                            connectTo(ask, addresses.front());
                        });
}

void TableWatch::connectTo(int ask, const std::string& address) {
  Ask& a = *asks_.at(ask);
  const bool directory = a.directory;
  auto* connection = a.connection = new net::GameConnection(this);
  QObject::connect(connection, &net::GameConnection::OnInfo, this,
                   [this, ask, connection, directory](const QString& text) {
                     if (text == net::GameConnection::kConnected) {
                       finder_.connected(ask, clock_.elapsed());
                       connection->send(directory ? net::to_directory::tablelist()
                                                  : net::to_server::tableinfo());
                     } else if (text == net::GameConnection::kSocketClosed) {
                       // Closed before a whole answer (else the ask is gone already).
                       failed(ask, connection->lastError() == ECONNREFUSED);
                     }
                   });
  QObject::connect(connection, &net::GameConnection::OnRead, this,
                   [this, ask](const QByteArray& bytes) { received(ask, bytes); });
  connection->connectToHost(QString::fromStdString(address), a.port);
}

void TableWatch::received(int ask, const QByteArray& bytes) {
  auto it = asks_.find(ask);
  if (it == asks_.end()) return;
  Ask& a = *it->second;
  a.bytes += bytes.size();
  // Past its cap an answer is not read on, whatever follows.
  if (a.bytes > (a.directory ? kMaxDirectoryBytes : kMaxTableBytes)) {
    failed(ask, false);
    return;
  }
  std::optional<net::TableInfo> info;
  bool ended = false;
  a.reader.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                [&](std::string&& message) {
                  if (info || ended) return;
                  const net::SplitMessage split = net::splitMessage(message);
                  // Anything else first (the login request, a full table's notice) is skipped.
                  if (!a.directory && split.command == net::cmd::tableinfo) {
                    info = net::to_players::parseTableInfo(split.args);
                  } else if (a.directory && split.command == net::cmd::listedtable) {
                    if (a.listed.size() >= kMaxTablesPerDirectory) return;
                    if (auto table = net::from_directory::parseListedTable(split.args))
                      a.listed.push_back(std::move(*table));
                  } else if (a.directory && split.command == net::cmd::relayedtable) {
                    if (a.listed.size() + a.relayed.size() >= kMaxTablesPerDirectory) return;
                    if (auto table = net::from_directory::parseRelayedTable(split.args))
                      a.relayed.push_back(std::move(*table));
                  } else if (a.directory && split.command == net::cmd::tablelistend) {
                    ended = true;
                  }
                });
  if (info) {
    drop(ask);
    finder_.tableAnswered(ask, *info);
  } else if (ended) {
    std::vector<net::ListedTable> listed = std::move(a.listed);
    std::vector<net::RelayedTable> relayed = std::move(a.relayed);
    drop(ask);
    finder_.directoryListed(ask, listed, relayed);
  }
}

void TableWatch::failed(int ask, bool refused) {
  if (!asks_.count(ask)) return;
  drop(ask);
  finder_.askFailed(ask, refused);
}

void TableWatch::drop(int ask) {
  auto it = asks_.find(ask);
  if (it == asks_.end()) return;
  net::GameConnection* connection = it->second->connection;
  asks_.erase(it);
  if (!connection) return;  // still looking up: its answer finds no ask
  connection->disconnect(this);
  connection->abort();
  connection->deleteLater();  // it may be inside one of its own signals
}

}  // namespace zp::lobby
