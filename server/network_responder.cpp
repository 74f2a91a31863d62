#include "server/network_responder.h"

#include <QRandomGenerator>

#include "server/TServer.h"

namespace zp::server {
namespace {
// Datagrams handled in one turn of the event loop: a flood never holds up the game. What is
// left is announced again at the next turn.
constexpr std::size_t kPerTurn = 64;
// The interfaces are read again at most this often, not once per question.
constexpr qint64 kNetworksMs = 1000;
}  // namespace

NetworkResponder::NetworkResponder(const TServer& server, QObject* parent)
    : QObject(parent), server_(server) {
  clock_.start();
  QObject::connect(&socket_, &net::DatagramSocket::readyRead, this, &NetworkResponder::readWaiting);
}

bool NetworkResponder::start(quint16 port) {
  if (!socket_.bind(port, net::DatagramSocket::Sharing::kShared)) return false;
  answerer_.emplace(net::local_network::tokenText(QRandomGenerator::system()->generate64()),
                    server_.port(), [this] { return server_.table().tableInfo(); });
  return true;
}

void NetworkResponder::readWaiting() {
  if (!answerer_) return;
  for (const net::DatagramSocket::Datagram& d : socket_.take(net::kLocalQueryBytes, kPerTurn)) {
    const qint64 now = clock_.elapsed();
    if (!attachedAt_ || now - *attachedAt_ >= kNetworksMs) {
      attached_ = net::attachedNetworks();
      attachedAt_ = now;
    }
    if (auto bytes = answerer_->answer(d.from, d.port, d.bytes, attached_, now))
      socket_.sendTo(d.from, d.port, *bytes);
  }
}

}  // namespace zp::server
