#include "lobby/link_listener.h"

#include <QTimer>
#include <optional>
#include <utility>

#include "net/connection.h"
#include "net/framing.h"

namespace zp::lobby {

quint16 lobbyLinkPort() {
  bool ok = false;
  const uint port = qEnvironmentVariable("ZANDUPELIX_LOBBY_PORT").toUInt(&ok);
  return ok && port >= 1 && port <= 65535 ? static_cast<quint16>(port) : kLobbyLinkPort;
}

struct LinkListener::Link {
  net::GameConnection* connection = nullptr;  // a child of the listener
  net::MessageReader reader;
  bool open = false;  // its token was admitted
};

LinkListener::LinkListener(QObject* parent) : QObject(parent) {
  QObject::connect(&server_, &net::TcpListener::newConnection, this, &LinkListener::accept);
}

LinkListener::~LinkListener() {
  for (auto& [link, l] : links_) l->connection->disconnect(this);
}

bool LinkListener::listen(quint16 port) {
  return server_.listen(net::TcpListener::Reach::ThisMachine, port);
}

void LinkListener::accept() {
  while (std::optional<net::AcceptedSocket> socket = server_.nextPendingConnection()) {
    if (open_ >= kMaxLinks) continue;  // the socket closes as it goes
    if (static_cast<int>(links_.size()) - open_ >= kMaxWaiting) {
      for (const auto& [link, l] : links_) {
        if (l->open) continue;
        refuse(link);
        break;
      }
    }
    const int link = nextLink_++;
    auto l = std::make_unique<Link>();
    auto* connection = l->connection = new net::GameConnection(std::move(*socket), this);
    links_[link] = std::move(l);
    QObject::connect(connection, &net::GameConnection::OnRead, this,
                     [this, link](const QByteArray& bytes) { received(link, bytes); });
    QObject::connect(connection, &net::GameConnection::OnInfo, this,
                     [this, link](const QString& text) {
                       if (text == net::GameConnection::kSocketClosed) closed(link);
                     });
    QTimer::singleShot(kTokenWaitMs, connection, [this, link] {
      const auto waiting = links_.find(link);
      if (waiting != links_.end() && !waiting->second->open) refuse(link);
    });
  }
}

void LinkListener::received(int link, const QByteArray& bytes) {
  const auto found = links_.find(link);
  if (found == links_.end() || found->second->open) return;  // a game's later bytes: nothing
  Link& l = *found->second;
  std::optional<std::string> token;
  l.reader.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                [&](std::string&& message) {
                  if (!token) token = std::move(message);
                });
  if (!token) {
    if (l.reader.pendingBytes() > kMaxTokenBytes) refuse(link);
    return;
  }
  if (token->size() > kMaxTokenBytes || !admit_ || !admit_(link, *token)) {
    refuse(link);
    return;
  }
  l.open = true;
  ++open_;
  emit linkOpened(link);
}

void LinkListener::send(int link, std::string_view bytes) {
  const auto found = links_.find(link);
  if (found != links_.end() && found->second->open) found->second->connection->send(bytes);
}

void LinkListener::closed(int link) {
  const auto found = links_.find(link);
  if (found == links_.end()) return;
  const bool wasOpen = found->second->open;
  found->second->connection->deleteLater();
  links_.erase(found);
  if (!wasOpen) return;
  --open_;
  emit linkClosed(link);
}

void LinkListener::refuse(int link) {
  const auto found = links_.find(link);
  if (found == links_.end() || found->second->open) return;
  net::GameConnection* connection = found->second->connection;
  links_.erase(found);
  connection->disconnect(this);
  connection->abort();
  connection->deleteLater();  // it may be inside one of its own signals
}

}  // namespace zp::lobby
