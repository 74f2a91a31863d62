#pragma once

#include <memory>
#include <string>

#include "gui/Tchat.h"
#include "server/TServer.h"
#include "server/network_responder.h"
#include "windows/Tabout.h"
#include "windows/Tdownload.h"
#include "windows/Tgamestart.h"
#include "windows/Thelp.h"
#include "windows/Tphrases.h"
#include "windows/Tspylist.h"
#include "windows/Ttallylist.h"

// What ties the game's windows and its table together: the main window hosts through a
// TServer, and each side window reads and changes the main window's session through hooks.
namespace zp::app {

// The in-process table, as the main window hosts it.
class ServerTableHost : public client::TableHost {
 public:
  // A table built when it first listens, so its word file is written after the window shows,
  // and never by a window that only joins others.
  explicit ServerTableHost(server::TServer::Options options) : options_(std::move(options)) {}
  // A table that exists already.
  explicit ServerTableHost(server::TServer& server) : server_(&server) {}
  std::optional<std::string> listen(quint16& port) override;
  void setComputerStrength(ComputerStrength strength) override;
  void advertise(int playTo, int seconds, ComputerStrength strength) override;
  // Null until the table is built.
  const server::TServer* server() const { return server_; }
  // Once it listens, the table answers lobbies on the local network on `port` (0: never).
  void answerLocalNetwork(quint16 port) { networkPort_ = port; }

 private:
  server::TServer::Options options_;
  std::unique_ptr<server::TServer> built_;
  server::TServer* server_ = nullptr;
  quint16 networkPort_ = 0;
  std::unique_ptr<server::NetworkResponder> responder_;  // goes before the table it answers for
};

// The game start dialog steps and starts through the main window's session, and hands the
// chosen strength of the computer player to the table this window hosts.
void wireGameStart(client::Tchat& chat, windows::Tgamestart& gameStart, client::TableHost* table);

struct SideWindows {
  windows::Tabout& about;
  windows::Tgamestart& gameStart;
  windows::Thelp& help;
  windows::Tphrases& phrases;
  windows::Tspylist& spyList;
  windows::Tdownload& launcher;
  windows::Ttallylist& tallyList;
};

// The ports the window uses: the game's (the one tests set wins over one the command line
// names) and the lobby link's.
struct Ports {
  quint16 game = 7772;
  bool gameFixed = false;
  quint16 lobby = 9001;
  std::string lobbyToken;  // from the lobby that started the game, if one did
};

// Hands the main window its table and side windows, and hooks each side window to it.
void wire(client::Tchat& chat, client::TableHost& table, Ports ports, SideWindows& windows);

}  // namespace zp::app
