#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "directory/registrar.h"
#include "net/connection.h"
#include "net/host_port.h"

namespace zp::directory {

// A Registrar's Qt shell: its connection to the directory and its one-second tick. It reads
// the table's information through `info` on every tick and on refresh(), so a change is
// registered within the second or at once.
//
//   RegistrarLink link({"dir.example.org", 7771}, server.port(),
//                      [&] { return server.table().tableInfo(); });
//   QObject::connect(&link, &RegistrarLink::registrationNews, ...);
//   link.start();
//   ... link.withdraw(); // then wait for withdrawn()
class RegistrarLink : public QObject, private RegistrarShell {
  Q_OBJECT

 public:
  RegistrarLink(net::HostPort directory, int tablePort, std::function<net::TableInfo()> info,
                std::optional<net::Visibility> visibility = std::nullopt,
                QObject* parent = nullptr);
  ~RegistrarLink() override;

  void start();
  void refresh();
  // Takes the table back; withdrawn() follows once that has gone out (or at once).
  void withdraw();
  bool isListed() const { return logic_.isListed(); }
  const std::string& inviteCode() const { return logic_.inviteCode(); }
  net::Reach reach() const { return logic_.reach(); }
  const net::HostPort& directory() const { return where_; }

 signals:
  void registrationNews(const QString& line);
  void withdrawn();
  // A connection to the directory's relay for one player, open and past its ticket: the
  // table takes it as a newcomer (TServer::adoptConnection) and owns it from then on.
  void relayedConnection(net::GameConnection* connection);
  // The directory gave the table this code (empty: it has none any more).
  void inviteCodeChanged(const QString& code);

 private:
  void connect() override;
  void abort() override;
  void send(std::string_view bytes) override;
  void report(std::string_view line) override;
  void openRelay(int relayPort, const std::string& ticket) override;
  void inviteCode(const std::string& code) override;
  void drop();

  net::HostPort where_;
  std::function<net::TableInfo()> info_;
  Registrar logic_;
  net::GameConnection* connection_ = nullptr;
  QTimer tick_;
};

// Passes a relayed player's connection on to the table listening at `port` on this computer,
// both ways and unchanged, for a table hosted by another process than the registration's.
// Each side ends when the other does; `owner` holds both meanwhile.
void spliceToLocalTable(net::GameConnection* relayed, quint16 port, QObject* owner);

// Takes a table back from every directory in `links`, then calls `done` once: when all have
// withdrawn, or after three seconds at the most. `context` outlives the wait or cancels it.
void withdrawAll(const std::vector<RegistrarLink*>& links, QObject* context,
                 std::function<void()> done);

}  // namespace zp::directory
