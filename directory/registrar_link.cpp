#include "directory/registrar_link.h"

#include <memory>
#include <utility>

namespace zp::directory {

RegistrarLink::RegistrarLink(net::HostPort directory, int tablePort,
                             std::function<net::TableInfo()> info,
                             std::optional<net::Visibility> visibility, QObject* parent)
    : QObject(parent),
      where_(std::move(directory)),
      info_(std::move(info)),
      logic_(static_cast<RegistrarShell&>(*this), net::hostPortText(where_), tablePort, info_(),
             visibility) {
  tick_.setInterval(1000);
  QObject::connect(&tick_, &QTimer::timeout, this, [this] {
    logic_.update(info_());
    logic_.tick();
  });
}

RegistrarLink::~RegistrarLink() {
  drop();
}

void RegistrarLink::start() {
  tick_.start();
  logic_.start();
}

void RegistrarLink::refresh() {
  logic_.update(info_());
}

void RegistrarLink::withdraw() {
  tick_.stop();
  if (!logic_.withdraw() || !connection_) {
    drop();
    QMetaObject::invokeMethod(this, &RegistrarLink::withdrawn, Qt::QueuedConnection);
    return;
  }
  // The take-back goes out before the connection ends; its end is the signal.
  net::GameConnection* connection = connection_;
  connection_ = nullptr;
  connection->disconnect(this);
  QObject::connect(connection, &net::GameConnection::OnInfo, this,
                   [this, connection](const QString& text) {
                     if (text != net::GameConnection::kSocketClosed) return;
                     connection->deleteLater();
                     emit withdrawn();
                   });
  connection->close();
}

void RegistrarLink::connect() {
  drop();
  auto* connection = new net::GameConnection(this);
  connection_ = connection;
  QObject::connect(connection, &net::GameConnection::OnRead, this,
                   [this, connection](const QByteArray& bytes) {
                     if (connection == connection_)
                       logic_.bytesReceived(std::string_view(bytes.constData(), bytes.size()));
                   });
  QObject::connect(connection, &net::GameConnection::OnInfo, this,
                   [this, connection](const QString& text) {
                     if (connection != connection_) return;
                     if (text == net::GameConnection::kConnected) {
                       logic_.connected();
                     } else if (text == net::GameConnection::kSocketClosed) {
                       drop();
                       logic_.lost();
                     }
                   });
  connection->connectToHost(QString::fromStdString(where_.host), where_.port);
}

void RegistrarLink::drop() {
  if (!connection_) return;
  net::GameConnection* connection = connection_;
  connection_ = nullptr;
  connection->disconnect(this);
  connection->abort();
  connection->deleteLater();
}

void RegistrarLink::abort() {
  drop();
}

void RegistrarLink::send(std::string_view bytes) {
  if (connection_) connection_->send(bytes);
}

void RegistrarLink::report(std::string_view line) {
  emit registrationNews(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

// The relay's connection starts with the ticket; the table's own messages follow on it as on
// any connection it accepted. One that does not come about within the relay's wait is dropped.
void RegistrarLink::openRelay(int relayPort, const std::string& ticket) {
  auto* connection = new net::GameConnection(this);
  connection->setConnectTimeout(10'000);
  QObject::connect(connection, &net::GameConnection::OnInfo, this,
                   [this, connection, ticket](const QString& text) {
                     if (text == net::GameConnection::kConnected) {
                       connection->disconnect(this);
                       connection->send(net::to_relay::relayback({ticket}));
                       emit relayedConnection(connection);
                     } else if (text == net::GameConnection::kSocketClosed) {
                       connection->deleteLater();
                     }
                   });
  connection->connectToHost(QString::fromStdString(where_.host), static_cast<quint16>(relayPort));
}

void RegistrarLink::inviteCode(const std::string& code) {
  emit inviteCodeChanged(QString::fromStdString(code));
}

void spliceToLocalTable(net::GameConnection* relayed, quint16 port, QObject* owner) {
  relayed->setParent(owner);
  auto* local = new net::GameConnection(owner);
  // What the player says before the table is on the line waits for it.
  auto early = std::make_shared<QByteArray>();
  const auto end = [relayed, local] {
    relayed->disconnect(local);
    local->disconnect(relayed);
    relayed->close();
    local->close();
  };
  QObject::connect(relayed, &net::GameConnection::OnRead, local,
                   [local, early](const QByteArray& bytes) {
                     if (local->isOpen())
                       local->send(std::string_view(bytes.constData(), bytes.size()));
                     else
                       early->append(bytes);
                   });
  QObject::connect(local, &net::GameConnection::OnRead, relayed,
                   [relayed](const QByteArray& bytes) {
                     relayed->send(std::string_view(bytes.constData(), bytes.size()));
                   });
  QObject::connect(local, &net::GameConnection::OnInfo, relayed,
                   [local, early, end](const QString& text) {
                     if (text == net::GameConnection::kConnected && !early->isEmpty()) {
                       local->send(std::string_view(early->constData(), early->size()));
                       early->clear();
                     } else if (text == net::GameConnection::kSocketClosed) {
                       end();
                     }
                   });
  QObject::connect(relayed, &net::GameConnection::OnInfo, local, [end](const QString& text) {
    if (text == net::GameConnection::kSocketClosed) end();
  });
  for (net::GameConnection* side : {relayed, local}) {
    QObject::connect(side, &net::GameConnection::OnInfo, owner, [side](const QString& text) {
      if (text == net::GameConnection::kSocketClosed) side->deleteLater();
    });
  }
  local->connectToHost(QStringLiteral("127.0.0.1"), port);
}

void withdrawAll(const std::vector<RegistrarLink*>& links, QObject* context,
                 std::function<void()> done) {
  if (links.empty()) return done();
  auto waiting = std::make_shared<std::function<void()>>(std::move(done));
  const auto finish = [waiting] {
    if (const std::function<void()> now = std::exchange(*waiting, nullptr)) now();
  };
  auto left = std::make_shared<std::size_t>(links.size());
  for (RegistrarLink* link : links) {
    QObject::connect(link, &RegistrarLink::withdrawn, context, [left, finish] {
      if (--*left == 0) finish();
    });
    link->withdraw();
  }
  QTimer::singleShot(3000, context, finish);
}

}  // namespace zp::directory
