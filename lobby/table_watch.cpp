#include "lobby/table_watch.h"

#include <QTcpSocket>

#include "net/dispatch.h"
#include "net/framing.h"

namespace zp::lobby {

struct TableWatch::Ask {
  QTcpSocket* socket = nullptr;  // a child of the watch
  net::MessageReader reader;
  bool directory = false;
  qint64 bytes = 0;
  std::vector<net::ListedTable> listed;
};

TableWatch::TableWatch(QObject* parent) : QObject(parent), finder_(*this) {
  clock_.start();
  tick_.setInterval(kTickMs);
  QObject::connect(&tick_, &QTimer::timeout, this, [this] { finder_.tick(clock_.elapsed()); });
  opener_.setInterval(0);
  QObject::connect(&opener_, &QTimer::timeout, this, &TableWatch::openSome);
}

TableWatch::~TableWatch() {
  for (auto& [ask, a] : asks_) a->socket->disconnect(this);
}

void TableWatch::start() {
  tick_.start();
  finder_.refresh(clock_.elapsed());
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
  QTcpSocket* socket = a->socket = new QTcpSocket(this);
  asks_[ask] = std::move(a);
  QObject::connect(socket, &QTcpSocket::connected, this, [socket, directory] {
    const std::string request =
        directory ? net::to_directory::tablelist() : net::to_server::tableinfo();
    socket->write(request.data(), static_cast<qint64>(request.size()));
  });
  QObject::connect(socket, &QTcpSocket::readyRead, this, [this, ask] { received(ask); });
  QObject::connect(socket, &QTcpSocket::errorOccurred, this,
                   [this, ask](QAbstractSocket::SocketError error) {
                     received(ask);  // what came before the close counts
                     failed(ask, error == QAbstractSocket::ConnectionRefusedError);
                   });
  // Name look-ups run on Qt's own thread: connecting never holds the window up.
  socket->connectToHost(QString::fromStdString(where.host), where.port);
}

void TableWatch::received(int ask) {
  auto it = asks_.find(ask);
  if (it == asks_.end()) return;
  Ask& a = *it->second;
  const QByteArray bytes = a.socket->readAll();
  a.bytes += bytes.size();
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
                  } else if (a.directory && split.command == net::cmd::tablelistend) {
                    ended = true;
                  }
                });
  if (info) {
    drop(ask);
    finder_.tableAnswered(ask, *info);
  } else if (ended) {
    std::vector<net::ListedTable> listed = std::move(a.listed);
    drop(ask);
    finder_.directoryListed(ask, listed);
  } else if (a.bytes > (a.directory ? kMaxDirectoryBytes : kMaxTableBytes)) {
    failed(ask, false);
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
  QTcpSocket* socket = it->second->socket;
  asks_.erase(it);
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();  // it may be inside one of its own signals
}

}  // namespace zp::lobby
