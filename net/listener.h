#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QTcpServer;
class QTcpSocket;

namespace zp::net {

// A connection a listener took in, for a GameConnection to take over. Let go untaken, it
// closes.
struct AcceptedSocket {
  struct Closer {
    void operator()(QTcpSocket* socket) const;
  };
  std::unique_ptr<QTcpSocket, Closer> socket;
  std::string peer;  // the address it came from: IPv4 as such, IPv6 without a scope
};

// A listening TCP socket on the event loop: a table's, a directory's, the lobby's.
//
//   TcpListener listener;
//   QObject::connect(&listener, &TcpListener::newConnection, [&] {
//     while (std::optional<AcceptedSocket> accepted = listener.nextPendingConnection())
//       new GameConnection(std::move(*accepted), &owner);
//   });
//   if (!listener.listen(TcpListener::Reach::AnyAddress, 7772)) qWarning() <<
//   listener.errorString();
class TcpListener : public QObject {
  Q_OBJECT

 public:
  // AnyAddress: every address of the machine, IPv6 and IPv4 alike. ThisMachine: 127.0.0.1.
  enum class Reach { AnyAddress, ThisMachine };

  explicit TcpListener(QObject* parent = nullptr);
  ~TcpListener() override;

  // Port 0 takes any free port. False, with errorString() set, when the port cannot be had.
  bool listen(Reach reach, std::uint16_t port, int backlog = 50);
  bool isListening() const;
  void close();
  // The port listened on; 0 when not listening.
  std::uint16_t port() const;
  // Why the last listen failed, such as "Address already in use".
  QString errorString() const { return error_; }

  // The next connection waiting, if any; take them all after newConnection.
  std::optional<AcceptedSocket> nextPendingConnection();

 signals:
  void newConnection();

 private:
  QTcpServer* server_;  // a child
  // A connection that cannot be taken (no file handle left) stops the server accepting:
  // it rests a moment and then tries again, rather than spinning or stopping for good.
  QTimer rest_;
  QString error_;
};

}  // namespace zp::net
