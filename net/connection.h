#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "net/framing.h"

#include "net/listener.h"

class QHostInfo;
class QTcpSocket;
Q_MOC_INCLUDE(<QHostInfo>)

namespace zp::net {

// One game connection over TCP, on either side: the player window's connection to the table
// or one of the table's player records. It hands on the bytes it receives in chunks (the
// owner cuts them into messages with its inbox), sends whole messages, and reports its
// state as status texts; only "Socket Closed" is ever acted on.
//
//   GameConnection connection;
//   QObject::connect(&connection, &GameConnection::OnRead, [&](const QByteArray& bytes) {
//     inbox.feed(std::string_view(bytes.constData(), bytes.size()));
//     if (!inbox.hasRoom()) connection.pauseReading();  // and resumeReading() once it has
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
  // Followed by the socket layer's own description, in English whatever the user's language.
  static constexpr const char* kSocketError = "Socket Error - ";

  // The most one read takes from the network.
  static constexpr qint64 kReadChunk = 32768;
  // Far more than a player is ever sent in the time it takes to read it.
  static constexpr qint64 kDefaultMaxUnsentBytes = 1024 * 1024;
  // How long a close waits for what was sent to go out.
  static constexpr int kCloseGraceMs = 5000;
  // How long one address of a host may take to answer before the next is tried, so a name
  // whose first address drops everything (a broken IPv6 route) still connects by the next.
  static constexpr int kConnectTimeoutMs = 30000;

  // A connection that opens with connectToHost().
  explicit GameConnection(QObject* parent = nullptr);
  // Takes over a socket that a listener accepted; it is open at once.
  explicit GameConnection(AcceptedSocket accepted, QObject* parent = nullptr);
  ~GameConnection() override;

  // A numeric address is tried at once, a host name is looked up off the event loop:
  // connecting never holds the window up.
  void connectToHost(const QString& host, quint16 port);
  // Joins a table through a directory's relay: connects to the relay, names the table by its
  // invite code, and reports "Connected" once the relay has joined the table; from then on the
  // table's own bytes come and go unchanged. A refusal ("The table is full") is reported as
  // kSocketError with the relay's words, then "Socket Closed".
  void connectThroughRelay(const QString& relayHost, quint16 relayPort, const std::string& code);
  // Joins the table an invite code names: asks the directory where it is, then connects
  // there directly or through the relay. The directory's refusal ("No such table") is
  // reported as above.
  void connectByCode(const QString& directoryHost, quint16 directoryPort, const std::string& code);
  // How long the directory has to answer where a code's table is.
  static constexpr int kCodeAnswerMs = 10000;
  // Queues the whole message; what the network does not take now goes out later, in order.
  // A peer that has left more than the unsent cap unread is let go: the connection aborts
  // and reports "Socket Closed" once the caller's current work is done, so a sender going
  // through its connections never sees one vanish under it. False when nothing was queued.
  bool send(std::string_view message);
  // Lets what was sent go out (for at most kCloseGraceMs), then closes.
  void close();
  // Closes at once, dropping what was not sent yet.
  void abort();
  // Hands the system what it takes of what was sent, now, without waiting: before an abort
  // or the end of the program, so a last message still goes out.
  void flush();

  // An owner whose inbox is full stops reading, and TCP holds the peer back, until it has
  // room again; a close that came meanwhile is reported after the bytes before it.
  void pauseReading();
  void resumeReading();

  bool isOpen() const { return state_ == State::Connected; }
  qint64 unsentBytes() const;
  // The system's error number behind the last "Socket Error - ", such as ECONNREFUSED; 0
  // for none, or for a host that was not found.
  int lastError() const { return lastError_; }
  void setMaxUnsentBytes(qint64 bytes) { maxUnsent_ = bytes; }
  void setConnectTimeout(int ms) { attempt_.setInterval(ms); }

 signals:
  // Bytes as they arrived, at most kReadChunk at a time.
  void OnRead(const QByteArray& bytes);
  // A status text, such as kConnected or kSocketClosed.
  void OnInfo(const QString& text);

 private:
  enum class State { Idle, LookingUp, Connecting, Connected, Closing, Closed };

 private slots:
  // Named for Qt's look-up by its text: the look-up's other form, with a function, keeps a
  // little memory for every look-up that its connection outlives.
  void lookedUp(const QHostInfo& host);

 private:
  void tryNextAddress();
  void attemptFailed(int error, const QString& text);
  void adopt(QTcpSocket* socket);
  void socketError(QTcpSocket* socket);
  void socketGone(QTcpSocket* socket);
  void readSome();
  void dropSocket();
  void finish();
  void ended();
  void info(const char* text) { emit OnInfo(QString::fromLatin1(text)); }
  void failWith(const QString& reason);
  void codeAnswered(const std::string& message);
  bool relayAnswered();

  State state_ = State::Idle;
  QTcpSocket* socket_ = nullptr;  // a child
  int lookupId_ = -1;
  QStringList addresses_;  // still to try, the next first
  quint16 port_ = 0;
  int lastError_ = 0;
  QString lastErrorText_;
  QTimer attempt_;
  QTimer closeGrace_;
  qint64 maxUnsent_ = kDefaultMaxUnsentBytes;
  bool paused_ = false;
  // What a peer sent before it left, still to be handed on; its close is reported after.
  QByteArray held_;
  bool peerGone_ = false;
  bool closedReported_ = false;
  // Through a relay: the code to name, and what came before the relay's answer was whole.
  std::string relayCode_;
  bool awaitingRelay_ = false;
  QByteArray relayHead_;
  // By code: the question to the directory, and the host the relay sits on.
  GameConnection* ask_ = nullptr;
  QString directoryHost_;
};

}  // namespace zp::net
