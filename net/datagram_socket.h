#pragma once

#include <QObject>
#include <QUdpSocket>
#include <string>
#include <string_view>
#include <vector>

#include "net/ip_address.h"

namespace zp::net {

// A UDP socket on every local address, IPv4 and IPv6, for the questions and answers that find
// tables on the local network. It only moves datagrams: what they mean and whom to answer is
// decided by plain code elsewhere.
//
//   DatagramSocket socket;
//   if (!socket.bind(kLocalNetworkPort, DatagramSocket::Sharing::kShared)) report(...);
//   QObject::connect(&socket, &DatagramSocket::readyRead, [&] {
//     for (auto& d : socket.take(kLocalQueryBytes, 64)) handle(d.from, d.port, d.bytes);
//   });
class DatagramSocket : public QObject {
  Q_OBJECT

 public:
  // Several tables on one computer all answer on the same port.
  enum class Sharing { kAlone, kShared };
  struct Datagram {
    IpAddress from;  // an IPv4 sender as IPv4, never mapped
    quint16 port = 0;
    std::string bytes;
  };

  explicit DatagramSocket(QObject* parent = nullptr);

  // Port 0 takes any free port.
  bool bind(quint16 port, Sharing sharing);
  quint16 port() const { return socket_.localPort(); }
  QString errorString() const { return socket_.errorString(); }
  // False when the system refuses it (a network that forbids broadcast, no route).
  bool sendTo(const IpAddress& to, quint16 port, std::string_view bytes);
  // Up to `count` of the datagrams waiting. Each is cut after maxBytes + 1 bytes, so one
  // longer than maxBytes still shows itself too long. Called from readyRead() itself, never
  // later: readyRead() comes again, at the next turn of the event loop, for what is left.
  std::vector<Datagram> take(std::size_t maxBytes, std::size_t count);
  bool hasWaiting() { return socket_.hasPendingDatagrams(); }

 signals:
  void readyRead();

 private:
  QUdpSocket socket_;
};

// The networks this computer is on now: every address of every interface that is up.
std::vector<IpNetwork> attachedNetworks();
// Where a question to the whole local network goes: the broadcast address of each IPv4
// interface that is up and running, the loopback network's (for tables on this computer),
// and the IPv6 all-nodes group on each interface that can multicast.
std::vector<IpAddress> localNetworkTargets();

}  // namespace zp::net
