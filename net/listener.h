#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string>

#include "net/system_socket.h"

class QSocketNotifier;

namespace zp::net {

// A connection a listener took in, for a GameConnection to take over.
struct AcceptedSocket {
  SocketHandle socket;
  std::string peer;  // the address it came from, as addressText() writes it
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
  bool isListening() const { return socket_.valid(); }
  void close();
  // The port listened on; 0 when not listening.
  std::uint16_t port() const;
  // Why the last listen failed, in the system's words.
  QString errorString() const { return error_; }

  // The next connection waiting, if any; take them all after newConnection.
  std::optional<AcceptedSocket> nextPendingConnection();

 signals:
  void newConnection();

 private:
  SocketHandle socket_;
  QSocketNotifier* notifier_ = nullptr;
  // Out of file handles, a waiting connection would wake the loop for ever: listening
  // rests a moment instead.
  QTimer rest_;
  QString error_;
};

}  // namespace zp::net
