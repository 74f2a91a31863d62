#pragma once

#include <QObject>
#include <QTimer>
#include <random>
#include <vector>

#include "directory/relay.h"
#include "net/connection.h"

namespace zp::directory {

// The relay's Qt shell: its listening socket, one connection per link and the second's
// tick, forwarding to the Relay that pairs them. It knows the tables only through
// RelayTables, so it may run beside a directory or, given a link to one, on its own.
//
//   RelayServer relay(directoryServer.relayTables());
//   if (!relay.listen(7770)) qWarning() << relay.errorString();
class RelayServer : public QObject, private RelayShell {
  Q_OBJECT

 public:
  static constexpr int kBacklog = 1024;
  static constexpr int kAcceptsPerTurn = 64;

  explicit RelayServer(RelayTables& tables, RelayLimits limits = RelayLimits(),
                       QObject* parent = nullptr);
  ~RelayServer() override;

  bool listen(quint16 port);
  quint16 port() const { return listener_.port(); }
  QString errorString() const { return listener_.errorString(); }
  const Relay& relay() const { return logic_; }

 private:
  bool send(int link, std::string_view bytes) override;
  void close(int link) override;
  void pauseReading(int link) override;
  void resumeReading(int link) override;
  std::size_t unsentBytes(int link) const override;
  std::uint64_t randomNumber() override { return random_(); }

  void accept();
  net::GameConnection* at(int link) const;
  net::GameConnection* detach(int link);
  void closeAndForget(net::GameConnection* connection);

  net::TcpListener listener_;
  std::vector<net::GameConnection*> connections_;  // by link number
  QTimer secondTimer_;
  std::mt19937_64 random_;
  Relay logic_;
};

}  // namespace zp::directory
