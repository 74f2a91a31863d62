#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

#include "net/datagram_socket.h"
#include "server/query_answerer.h"

namespace zp::server {

class TServer;

// Answers the lobbies on the local network for one listening table: the QueryAnswerer's Qt
// shell. It lives as long as the table should be found.
//
//   NetworkResponder responder(server);
//   if (!responder.start(net::kLocalNetworkPort)) say(responder.errorString());
class NetworkResponder : public QObject {
  Q_OBJECT

 public:
  explicit NetworkResponder(const TServer& server, QObject* parent = nullptr);

  // Answers on `port`, which every table on this computer shares; false when the system
  // refuses it (another program holds the port for itself).
  bool start(quint16 port);
  QString errorString() const { return socket_.errorString(); }
  quint16 port() const { return socket_.port(); }
  QueryAnswerer::Counts counts() const {
    return answerer_ ? answerer_->counts() : QueryAnswerer::Counts{};
  }

 private:
  void readWaiting();

  const TServer& server_;
  net::DatagramSocket socket_;
  std::optional<QueryAnswerer> answerer_;
  QElapsedTimer clock_;
  std::vector<net::IpNetwork> attached_;
  std::optional<qint64> attachedAt_;
};

}  // namespace zp::server
