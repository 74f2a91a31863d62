#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "net/listener.h"

namespace zp::lobby {

// The port the games' lobby links come to, on 127.0.0.1; ZANDUPELIX_LOBBY_PORT moves it.
inline constexpr quint16 kLobbyLinkPort = 9001;
quint16 lobbyLinkPort();

// Takes the games' lobby links: each open link is a game still running. A link first sends
// the token the lobby handed its game, then nothing more (what it sends anyway is thrown
// away), and the lobby may send an open link news for its game; the lobby's `admit` decides whether that token is one of its games'. Anything else
// on the port is closed: a wrong token at once, no token within kTokenWaitMs; when too many
// wait for their token, the one waiting longest goes (a game sends its token as it connects).
class LinkListener : public QObject {
  Q_OBJECT

 public:
  // More links than any player runs games; past it a connection is closed at once.
  static constexpr int kMaxLinks = 64;
  // Connections that have not yet sent a token: a game sends it as soon as it connects.
  static constexpr int kMaxWaiting = 16;
  static constexpr int kTokenWaitMs = 3000;
  static constexpr std::size_t kMaxTokenBytes = 64;

  explicit LinkListener(QObject* parent = nullptr);
  ~LinkListener() override;

  bool listen(quint16 port);
  QString errorString() const { return server_.errorString(); }
  bool isListening() const { return server_.isListening(); }
  quint16 port() const { return server_.port(); }
  int openLinks() const { return open_; }
  // Sends `bytes` to the game on open link `link` (nothing to any other).
  void send(int link, std::string_view bytes);
  // Whether `token` opens link `link`; until set, nothing is admitted.
  void setAdmission(std::function<bool(int link, const std::string& token)> admit) {
    admit_ = std::move(admit);
  }

 signals:
  void linkOpened(int link);
  void linkClosed(int link);

 private:
  struct Link;
  void accept();
  void received(int link, const QByteArray& bytes);
  void closed(int link);
  void refuse(int link);

  net::TcpListener server_;
  std::function<bool(int, const std::string&)> admit_;
  std::map<int, std::unique_ptr<Link>> links_;  // waiting and open, oldest first
  int nextLink_ = 1;
  int open_ = 0;
};

}  // namespace zp::lobby
