#pragma once

#include <QObject>
#include <QString>

#include "net/listener.h"

namespace zp::lobby {

// The port the games' lobby links come to, on 127.0.0.1; ZANDUPELIX_LOBBY_PORT moves it.
inline constexpr quint16 kLobbyLinkPort = 9001;
quint16 lobbyLinkPort();

// Takes the games' silent lobby links: each open link is a game still running. Nothing is
// sent or read on them (what a peer sends anyway is thrown away).
class LinkListener : public QObject {
  Q_OBJECT

 public:
  // More links than any player runs games; past it a connection is closed at once.
  static constexpr int kMaxLinks = 64;

  explicit LinkListener(QObject* parent = nullptr);

  bool listen(quint16 port);
  QString errorString() const { return server_.errorString(); }
  bool isListening() const { return server_.isListening(); }
  int openLinks() const { return open_; }

 signals:
  void linkOpened(int link);
  void linkClosed(int link);

 private:
  void accept();

  net::TcpListener server_;
  int nextLink_ = 1;
  int open_ = 0;
};

}  // namespace zp::lobby
