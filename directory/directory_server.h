#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
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
  // Messages answered in one go before the event loop has its turn again.
  static constexpr int kServeBatch = 64;
  // Above the longest list (10,000 tables of a few hundred bytes each).
  static constexpr qint64 kMaxUnsentBytes = 8 * 1024 * 1024;

  explicit DirectoryServer(QObject* parent = nullptr);
  ~DirectoryServer() override;

  // Listens on all local addresses; port 0 takes any free port.
  bool listen(quint16 port);
  quint16 port() const { return listener_.port(); }
  QString errorString() const { return listener_.errorString(); }
  const TableDirectory& directory() const { return logic_; }

 signals:
  // One line per table listed or dropped.
  void directoryNews(const QString& line);

 private:
  void send(int peer, std::string_view bytes) override;
  void close(int peer) override;
  std::size_t unsentBytes(int peer) const override;
  void news(std::string_view line) override;

  void accept();
  void received(int peer, net::GameConnection* connection, const QByteArray& bytes);
  void gone(int peer, net::GameConnection* connection);
  net::GameConnection* detach(int peer);
  void serve();

  net::TcpListener listener_;
  std::vector<net::GameConnection*> connections_;  // by peer number
  QTimer serveTimer_;
  QTimer secondTimer_;
  TableDirectory logic_;
};

}  // namespace zp::directory
