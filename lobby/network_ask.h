#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "net/datagram_socket.h"

namespace zp::lobby {

// Sends the lobby's question to the local network and hands back what comes in reply: the
// NetworkTables' socket. The answers come to a port of its own, so a lobby never takes the
// tables' port. A problem (no socket, a network that forbids broadcast) is told once.
class NetworkAsk : public QObject {
  Q_OBJECT

 public:
  enum class Reach {
    kLocalNetwork,  // every interface's broadcast address and the IPv6 all-nodes group
    kThisComputer,  // the loopback network alone: tests that must not reach the real network
  };
  using OnAnswer = std::function<void(const net::IpAddress& from, std::string_view datagram)>;

  NetworkAsk(quint16 tablesPort, Reach reach, OnAnswer onAnswer, QObject* parent = nullptr);

  void send(const std::string& query);

 signals:
  void problem(const QString& text);

 private:
  void readWaiting();
  void tell(const QString& text);

  quint16 tablesPort_;
  Reach reach_;
  OnAnswer onAnswer_;
  net::DatagramSocket socket_;
  bool bound_ = false;
  bool told_ = false;
};

}  // namespace zp::lobby
