#include "lobby/network_ask.h"

#include "net/catalogue.h"

namespace zp::lobby {
namespace {
constexpr std::size_t kPerTurn = 64;
}  // namespace

NetworkAsk::NetworkAsk(quint16 tablesPort, Reach reach, OnAnswer onAnswer, QObject* parent)
    : QObject(parent), tablesPort_(tablesPort), reach_(reach), onAnswer_(std::move(onAnswer)) {
  QObject::connect(&socket_, &net::DatagramSocket::readyRead, this, &NetworkAsk::readWaiting);
}

void NetworkAsk::send(const std::string& query) {
  if (!bound_) {
    bound_ = socket_.bind(0, net::DatagramSocket::Sharing::kAlone);
    if (!bound_) {
      tell(QStringLiteral("Tables on this network cannot be looked for: %1")
               .arg(socket_.errorString()));
      return;
    }
  }
  const std::vector<net::IpAddress> targets =
      reach_ == Reach::kLocalNetwork ? net::localNetworkTargets()
                                     : std::vector{net::IpAddress::v4(127, 255, 255, 255)};
  for (const net::IpAddress& target : targets) {
    if (!socket_.sendTo(target, tablesPort_, query)) {
      tell(QStringLiteral("This network does not let the lobby look for tables on it (%1: %2)")
               .arg(QString::fromStdString(target.text()), socket_.errorString()));
    }
  }
}

void NetworkAsk::readWaiting() {
  for (const net::DatagramSocket::Datagram& d : socket_.take(net::kLocalQueryBytes, kPerTurn))
    onAnswer_(d.from, d.bytes);
}

void NetworkAsk::tell(const QString& text) {
  if (told_) return;
  told_ = true;
  emit problem(text);
}

}  // namespace zp::lobby
