#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/listener.h"
#include "net/system_socket.h"

class QSocketNotifier;

namespace zp::net {

// One game connection over TCP, on either side: the player window's connection to the table
// or one of the table's player records. It hands on the bytes it receives in chunks (the
// owner cuts them into messages with its inbox), sends whole messages, and reports its
// state as status texts; only "Socket Closed" is ever acted on.
//
//   GameConnection connection;
//   QObject::connect(&connection, &GameConnection::OnRead, [&](const QByteArray& bytes) {
//     inbox.feed(std::string_view(bytes.constData(), bytes.size()));
//   });
//   QObject::connect(&connection, &GameConnection::OnInfo, [&](const QString& text) {
//     if (text == GameConnection::kSocketClosed) window.close();
//   });
//   connection.connectToHost("127.0.0.1", 7772);
class GameConnection : public QObject {
  Q_OBJECT

 public:
  // Reported once, when the connection has ended from either side or never came about.
  static constexpr const char* kSocketClosed = "Socket Closed";
  static constexpr const char* kLookingUp = "Looking Up Host";
  static constexpr const char* kConnecting = "Connecting";
  static constexpr const char* kConnected = "Connected";
  static constexpr const char* kNotConnected = "Send - Socket Not Connected";
  static constexpr const char* kNotReading = "Send - Peer Not Reading";
  // Followed by the system's own description.
  static constexpr const char* kSocketError = "Socket Error - ";

  // The most one read takes from the network.
  static constexpr qint64 kReadChunk = 32768;
  // Far more than a player is ever sent in the time it takes to read it.
  static constexpr qint64 kDefaultMaxUnsentBytes = 1024 * 1024;
  // How long a close waits for what was sent to go out.
  static constexpr int kCloseGraceMs = 5000;

  // A connection that opens with connectToHost().
  explicit GameConnection(QObject* parent = nullptr);
  // Takes over a socket that a listener accepted; it is open at once.
  explicit GameConnection(AcceptedSocket accepted, QObject* parent = nullptr);
  ~GameConnection() override;

  // A numeric address is tried at once, a host name is looked up on a thread of its own:
  // connecting never holds the window up.
  void connectToHost(const QString& host, quint16 port);
  // Queues the whole message; what the network does not take now goes out later, in order.
  // A peer that has left more than the unsent cap unread is let go: the connection aborts
  // and reports "Socket Closed" once the caller's current work is done, so a sender going
  // through its connections never sees one vanish under it. False when nothing was queued.
  bool send(std::string_view message);
  // Lets what was sent go out (for at most kCloseGraceMs), then closes.
  void close();
  // Closes at once, dropping what was not sent yet.
  void abort();

  bool isOpen() const { return state_ == State::Connected; }
  qint64 unsentBytes() const { return static_cast<qint64>(outgoing_.size() - sent_); }
  // The system's error number behind the last "Socket Error - ", such as ECONNREFUSED; 0
  // for none, or for a host that was not found.
  int lastError() const { return lastError_; }
  void setMaxUnsentBytes(qint64 bytes) { maxUnsent_ = bytes; }

  // A name look-up in its turn on the look-up threads; only the connection's own file uses it.
  struct PendingLookup;

 signals:
  // Bytes as they arrived, at most kReadChunk at a time.
  void OnRead(const QByteArray& bytes);
  // A status text, such as kConnected or kSocketClosed.
  void OnInfo(const QString& text);

 private:
  enum class State { Idle, LookingUp, Connecting, Connected, Closing, Closed };

  void watch(SocketHandle socket, State state);
  void lookedUp(std::vector<Endpoint> endpoints, const QString& error);
  void connectNext();
  void connectDone();
  void readSome();
  void writeSome();
  void failed(int error);
  void unwatch();
  void finish();
  void ended();
  void info(const char* text) { emit OnInfo(QString::fromLatin1(text)); }

  State state_ = State::Idle;
  SocketHandle socket_;
  QSocketNotifier* reader_ = nullptr;  // children of this object, with the socket
  QSocketNotifier* writer_ = nullptr;
  std::shared_ptr<PendingLookup> lookup_;
  std::vector<Endpoint> endpoints_;  // still to try, the next first
  std::size_t nextEndpoint_ = 0;
  int lastError_ = 0;
  std::string outgoing_;
  std::size_t sent_ = 0;  // of outgoing_, already taken by the network
  QTimer closeGrace_;
  qint64 maxUnsent_ = kDefaultMaxUnsentBytes;
  bool closedReported_ = false;
};

}  // namespace zp::net
