#include "net/datagram_socket.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <algorithm>

namespace zp::net {
namespace {

std::uint32_t scopeIndex(const QString& scope) {
  if (scope.isEmpty()) return 0;
  bool numeric = false;
  const uint index = scope.toUInt(&numeric);
  if (numeric) return index;
  return static_cast<std::uint32_t>(std::max(0, QNetworkInterface::interfaceIndexFromName(scope)));
}

IpAddress fromQt(const QHostAddress& address) {
  bool v4 = false;
  const quint32 value = address.toIPv4Address(&v4);
  if (v4)
    return IpAddress::v4(static_cast<std::uint8_t>(value >> 24),
                         static_cast<std::uint8_t>(value >> 16),
                         static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value));
  IpAddress out;
  out.v6 = true;
  const Q_IPV6ADDR bytes = address.toIPv6Address();
  std::copy(std::begin(bytes.c), std::end(bytes.c), out.bytes.begin());
  out.scope = scopeIndex(address.scopeId());
  return unmapped(out);
}

QHostAddress toQt(const IpAddress& address) {
  if (!address.v6) {
    return QHostAddress(static_cast<quint32>(address.bytes[0]) << 24 |
                        static_cast<quint32>(address.bytes[1]) << 16 |
                        static_cast<quint32>(address.bytes[2]) << 8 | address.bytes[3]);
  }
  QHostAddress out(address.bytes.data());
  if (address.scope != 0) out.setScopeId(QString::number(address.scope));
  return out;
}

bool upAndRunning(const QNetworkInterface& interface) {
  const auto flags = interface.flags();
  return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning);
}

}  // namespace

DatagramSocket::DatagramSocket(QObject* parent) : QObject(parent) {
  QObject::connect(&socket_, &QUdpSocket::readyRead, this, &DatagramSocket::readyRead);
}

bool DatagramSocket::bind(quint16 port, Sharing sharing) {
  // QHostAddress::Any is one dual-stack socket (IPv4 alone where IPv6 is off); Qt sets
  // SO_BROADCAST on every UDP socket.
  const auto mode = sharing == Sharing::kShared
                        ? QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint
                        : QAbstractSocket::DefaultForPlatform;
  return socket_.bind(QHostAddress::Any, port, mode);
}

bool DatagramSocket::sendTo(const IpAddress& to, quint16 port, std::string_view bytes) {
  const qint64 sent =
      socket_.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), toQt(to), port);
  return sent == static_cast<qint64>(bytes.size());
}

std::vector<DatagramSocket::Datagram> DatagramSocket::take(std::size_t maxBytes,
                                                           std::size_t count) {
  std::vector<Datagram> taken;
  while (taken.size() < count && socket_.hasPendingDatagrams()) {
    const QNetworkDatagram datagram = socket_.receiveDatagram(static_cast<qint64>(maxBytes) + 1);
    if (!datagram.isValid()) break;
    const QByteArray& data = datagram.data();
    const int port = datagram.senderPort();
    taken.push_back(Datagram{fromQt(datagram.senderAddress()),
                             static_cast<quint16>(port < 0 ? 0 : port),
                             std::string(data.constData(), static_cast<std::size_t>(data.size()))});
  }
  return taken;
}

std::vector<IpNetwork> attachedNetworks() {
  std::vector<IpNetwork> networks;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
    if (!interface.flags().testFlag(QNetworkInterface::IsUp)) continue;
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
      IpAddress address = fromQt(entry.ip());
      if (address.v6) address.scope = static_cast<std::uint32_t>(interface.index());
      networks.push_back(IpNetwork{address, entry.prefixLength()});
    }
  }
  return networks;
}

std::vector<IpAddress> localNetworkTargets() {
  std::vector<IpAddress> targets{IpAddress::v4(127, 255, 255, 255)};
  IpAddress allNodes = *IpAddress::parse("ff02::1");
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
    if (!upAndRunning(interface)) continue;
    bool hasV6 = false;
    for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
      hasV6 = hasV6 || entry.ip().protocol() == QAbstractSocket::IPv6Protocol;
      if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.broadcast().isNull())
        targets.push_back(fromQt(entry.broadcast()));
    }
    const auto flags = interface.flags();
    if (hasV6 && flags.testFlag(QNetworkInterface::CanMulticast) &&
        !flags.testFlag(QNetworkInterface::IsLoopBack)) {
      allNodes.scope = static_cast<std::uint32_t>(interface.index());
      targets.push_back(allNodes);
    }
  }
  std::vector<IpAddress> unique;
  for (const IpAddress& target : targets)
    if (std::find(unique.begin(), unique.end(), target) == unique.end()) unique.push_back(target);
  return unique;
}

}  // namespace zp::net
