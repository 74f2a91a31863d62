#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/catalogue.h"
#include "net/framing.h"

namespace zp::directory {

// A listed table sends its information again at least this often (the directory drops it
// after 60 s without).
inline constexpr int kRefreshSeconds = 15;
// A connection to a directory that has not come about by then is given up and tried again.
inline constexpr int kConnectSeconds = 10;
// The waits before connecting again, doubling from the first to the last.
inline constexpr int kFirstRetrySeconds = 5;
inline constexpr int kLastRetrySeconds = 60;

// The world as a registration sees it: one connection to one directory.
class RegistrarShell {
 public:
  virtual ~RegistrarShell() = default;
  // Opens the connection; the shell reports back with Registrar::connected() or lost().
  virtual void connect() = 0;
  // Drops the connection at once; no lost() follows.
  virtual void abort() = 0;
  virtual void send(std::string_view bytes) = 0;
  // A line for the person running the table (listed, refused, lost).
  virtual void report(std::string_view line) = 0;
  // The directory asks for a connection to its relay at `relayPort` (on the directory's
  // host) that starts with CMD_relayback and `ticket`, to take a relayed player.
  virtual void openRelay(int /*relayPort*/, const std::string& /*ticket*/) {}
  // The directory gave the table this invite code (empty: none any more).
  virtual void inviteCode(const std::string& /*code*/) {}
};

// Keeps one table listed with one directory: registers when connected, again whenever the
// table's information changes and every kRefreshSeconds, connects again after a loss, and
// takes the table back when it stops. Driven by calls and a tick each second.
//
//   Registrar registrar(shell, "dir.example.org:7771", 7772, table.tableInfo());
//   registrar.start();                  // connects
//   registrar.update(table.tableInfo());  // after an arrival, a departure, a game's start...
//   registrar.tick();                   // once a second
//   registrar.withdraw();               // when the table stops
class Registrar {
 public:
  Registrar(RegistrarShell& shell, std::string directory, int port, net::TableInfo info,
            std::optional<net::Visibility> visibility = std::nullopt);

  void start();
  void update(const net::TableInfo& info);
  void tick();
  // From the shell.
  void connected();
  void lost();
  void bytesReceived(std::string_view bytes);
  // Sends the take-back when connected (true) and stops for good.
  bool withdraw();

  bool isConnected() const { return state_ == State::kConnected; }
  bool isListed() const { return !listedAt_.empty(); }
  // As the directory last said; empty and kChecking until it has.
  const std::string& inviteCode() const { return code_; }
  net::Reach reach() const { return reach_; }
  const std::string& directory() const { return directory_; }

 private:
  enum class State { kIdle, kConnecting, kConnected, kWaiting, kWithdrawn };
  void send();
  void connectNow();
  void handle(std::string_view message);

  RegistrarShell& shell_;
  std::string directory_;
  int port_;
  net::TableInfo info_;
  // Asked with CMD_reachme: how it is to be seen, and that it opens connections to the relay
  // when asked. Nothing: a table that cannot, listed only where it can be reached.
  std::optional<net::Visibility> visibility_;
  bool askedToBeReached_ = false;  // on this connection
  std::string code_;
  net::Reach reach_ = net::Reach::kChecking;
  std::string sent_;  // the registration last sent on this connection
  State state_ = State::kIdle;
  int seconds_ = 0;  // since the last send, the start of connecting, or the loss
  int retryDelay_ = kFirstRetrySeconds;
  std::string listedAt_;  // where the directory last said it lists the table
  std::string lastRefusal_;
  bool down_ = false;  // the loss is reported
  net::MessageReader reader_;
};

}  // namespace zp::directory
