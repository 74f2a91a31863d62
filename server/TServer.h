#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <filesystem>
#include <memory>

#include "net/connection.h"
#include "server/table_server.h"
#include "words/tdictn.h"

namespace zp::server {

// The table server's Qt shell: the listening socket, one socket per record and the timers,
// all forwarding to the TableServer that holds the game.
//
//   TServer::Options options;
//   options.dictionaryFile = "English";
//   TServer server(options);
//   if (!server.listen(7772)) qWarning() << server.errorString();
class TServer : public QObject, private ServerShell {
  Q_OBJECT

 public:
  struct Options {
    std::filesystem::path dictionaryFile = words::kDictionaryFileName;
    std::uint64_t seed = 0;          // 0: from the clock
    int tickMs = 1000;               // the turn and computer timers' interval; tests run faster
    int relayTickMs = kRelayTickMs;  // the relay allowance's refill interval
    ComputerStrength computer = ComputerStrength::Classic;
    std::string tableName;                    // empty: the table goes by its host's name
    int graceSeconds = kDefaultGraceSeconds;  // a dropped player's seat is held; 0: not
  };
  explicit TServer(const Options& options, QObject* parent = nullptr);
  ~TServer() override;

  // Listens on all local addresses; port 0 takes any free port.
  bool listen(quint16 port);
  // Takes a connection the table opened itself (to a relay, for one player) as if it had
  // been accepted: the table's rules per connection hold for it as for any other.
  void adoptConnection(net::GameConnection* connection);
  quint16 port() const { return Sock1.port(); }
  // "Listen - Error Binding Socket" after a failed listen.
  QString errorString() const { return error_; }
  // The system's reason behind a failed listen, such as "Address already in use".
  QString systemError() const { return Sock1.errorString(); }
  bool dictionaryOpen() const { return spell.isOpen(); }
  // Why the dictionary did not open: the file and the system's reason.
  const std::string& dictionaryFailure() const { return spell.failure(); }
  const TableServer& table() const { return *logic_; }
  // The computer player's strength from its next word on. Expert's word list is built from
  // the dictionary the first time it is chosen and kept for the table's life.
  void setComputerStrength(ComputerStrength strength);
  // The rules a lobby is told before the first game.
  void setVisibility(net::Visibility visibility) { logic_->setVisibility(visibility); }
  void setAdvertisedOptions(int playTo, int seconds) {
    logic_->setAdvertisedOptions(playTo, seconds);
  }

 signals:
  // Something for the host to see, such as a submission that used a tile twice.
  void hostNotice(const QString& text);
  // One line per arrival, departure, game start and winner.
  void tableNews(const QString& line);

 private:
  void send(int record, std::string_view message) override;
  void close(int record) override;
  void moveConnection(int from, int to) override;
  void startTimer(ServerTimer timer) override;
  void stopTimer(ServerTimer timer) override;
  void tellHost(std::string_view text) override;
  void news(std::string_view line) override;

  void Sock1Accept();
  void Sock1Read(net::GameConnection* connection, const QByteArray& bytes);
  void socketGone(net::GameConnection* connection);
  // The record a connection is attached to; 0 once it is not.
  int recordOf(const net::GameConnection* connection) const;
  net::GameConnection* detach(int record);
  QTimer& timerFor(ServerTimer timer);
  const words::WordGraph* wholeList();

  net::TcpListener Sock1;
  // A record's connection while it is attached; a detached one reports nothing more.
  std::array<net::GameConnection*, kFullRecord + 1> connections_{};
  QTimer socktimer;
  QTimer Timer1;
  QTimer computertimer;
  QTimer relaytimer;
  QTimer logintimer;
  QTimer holdtimer;
  words::TDictn spell;
  std::unique_ptr<const words::WordGraph> wholeList_;  // Expert's; outlives the table
  std::unique_ptr<TableServer> logic_;
  QString error_;
};

}  // namespace zp::server
