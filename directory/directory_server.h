#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <vector>

#include "directory/table_directory.h"
#include "net/connection.h"

namespace zp::directory {

// The directory's Qt shell: the listening socket, one connection per peer and the timers,
// all forwarding to the TableDirectory that holds the list.
//
//   DirectoryServer server;
//   if (!server.listen(7771)) qWarning() << server.errorString();
class DirectoryServer : public QObject, private DirectoryShell {
  Q_OBJECT

 public:
  // A peer that leaves more than this unread is let go: lists go out a piece at a time, and
  // every other answer is short.
  static constexpr qint64 kMaxUnsentBytes = 3 * kListPieceBytes;
  // How often lists are written on while no peer has taken anything.
  static constexpr int kListPollMs = 10;
  // Connections waiting to be taken: a burst of hosts and lobbies is not turned away by the
  // system before the directory sees it.
  static constexpr int kBacklog = 1024;
  static constexpr int kAcceptsPerTurn = 64;
  // The system's own buffer for what a peer has not read yet (it doubles it): a list still
  // goes out at a few MB a second over a slow link.
  static constexpr int kSystemSendBufferBytes = 128 * 1024;

  explicit DirectoryServer(QObject* parent = nullptr) : DirectoryServer(PeerLimits(), parent) {}
  DirectoryServer(PeerLimits limits, QObject* parent = nullptr);
  ~DirectoryServer() override;

  // Listens on all local addresses; port 0 takes any free port.
  bool listen(quint16 port);
  quint16 port() const { return listener_.port(); }
  QString errorString() const { return listener_.errorString(); }
  const TableDirectory& directory() const { return logic_; }
  // What a relay in this process asks of the directory.
  RelayTables& relayTables() { return logic_; }
  // Lists tables it cannot reach with the relay at host:port (empty host: this one's own).
  void setRelay(const QString& host, quint16 port) { logic_.setRelay(host.toStdString(), port); }
  // Something is under way between the peers' messages (a list being written): an idle
  // directory has no timer but its one-second tick.
  bool busy() const { return listTimer_.isActive(); }

 signals:
  // One line per table listed or dropped.
  void directoryNews(const QString& line);

 private:
  bool send(int peer, std::string_view bytes) override;
  void close(int peer) override;
  std::size_t unsentBytes(int peer) const override;
  void news(std::string_view line) override;
  void probe(int id, const std::string& address, int port) override;
  void probed(int id, bool reached);

  void accept();
  void received(int peer, net::GameConnection* connection, const QByteArray& bytes);
  void gone(int peer, net::GameConnection* connection);
  net::GameConnection* detach(int peer);
  void closeAndForget(net::GameConnection* connection);
  void writeLists();

  net::TcpListener listener_;
  std::vector<net::GameConnection*> connections_;  // by peer number
  int closing_ = 0;  // connections let go that still send their last words
  QTimer listTimer_;
  QTimer secondTimer_;
  std::map<int, net::GameConnection*> probes_;
  TableDirectory logic_;
};

}  // namespace zp::directory
