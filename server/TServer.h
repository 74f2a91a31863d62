#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <array>
#include <filesystem>
#include <memory>

#include "server/table_server.h"
#include "words/tdictn.h"

class QTcpSocket;

namespace zp::server {

// The table server's Qt shell: the listening socket, one socket per record and the timers,
// all forwarding to the TableServer that holds the game.
//
//   TServer server("English");
//   if (!server.listen(7772)) qWarning() << server.errorString();
class TServer : public QObject, private ServerShell {
  Q_OBJECT

 public:
  struct Options {
    std::filesystem::path dictionaryFile = words::kDictionaryFileName;
    std::uint64_t seed = 0;  // 0: from the clock
    int tickMs = 1000;       // the turn and computer timers' interval; tests run faster
  };
  explicit TServer(const Options& options, QObject* parent = nullptr);
  ~TServer() override;

  // Listens on all local addresses; port 0 takes any free port.
  bool listen(quint16 port);
  quint16 port() const { return Sock1.serverPort(); }
  // "Listen - Error Binding Socket" after a failed listen.
  QString errorString() const { return error_; }
  bool dictionaryOpen() const { return spell.isOpen(); }
  const TableServer& table() const { return *logic_; }

 signals:
  // Something for the host to see, such as a submission that used a tile twice.
  void hostNotice(const QString& text);
  // One line per arrival, departure, game start and winner.
  void tableNews(const QString& line);

 private:
  void send(int record, std::string_view message) override;
  void close(int record) override;
  void startTimer(ServerTimer timer) override;
  void stopTimer(ServerTimer timer) override;
  void tellHost(std::string_view text) override;
  void news(std::string_view line) override;

  void Sock1Accept();
  void Sock1Read(int record, QTcpSocket* socket);
  void socketGone(int record, QTcpSocket* socket);
  QTcpSocket* detach(int record);
  QTimer& timerFor(ServerTimer timer);

  QTcpServer Sock1;
  std::array<QTcpSocket*, kFullRecord + 1> sockets_{};
  std::array<quint64, kFullRecord + 1> attachments_{};  // sockets each record has had
  QTimer socktimer;
  QTimer Timer1;
  QTimer computertimer;
  words::TDictn spell;
  std::unique_ptr<TableServer> logic_;
  QString error_;
};

}  // namespace zp::server
