#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "client/profile.h"
#include "client/settings.h"
#include "lobby/game_links.h"
#include "lobby/link_listener.h"
#include "lobby/lobby_settings.h"
#include "lobby/table_watch.h"

namespace zp::directory {
class RegistrarLink;
}

namespace zp::lobby {

struct LobbyOptions {
  client::ProfileFile settingsFile;
  // From the command line; they replace the remembered ones and are remembered. Empty: the
  // remembered ones.
  std::vector<net::HostPort> directories;
  quint16 tablePort = kTablePort;     // the table on this computer, and the one it hosts
  quint16 linkPort = kLobbyLinkPort;  // 0: no lobby links
  QString gameProgram;                // empty: not found
  quint16 networkPort = 0;  // where tables answer on the local network; 0: it is not asked
};

// What Host a Table asks: the table's name and what its games start with.
struct HostChoice {
  std::string tableName;  // empty: the player's, as "Ann's table"
  client::SettingsFile::GameStartOptions options;
  // Public: listed by the lobby's directories; invite: joinable by its code only; local:
  // registered nowhere.
  net::Visibility visibility = net::Visibility::kPublic;
};

// The game program: beside the lobby first, then on the PATH; empty when neither has it.
QString findGameProgram();

// The lobby without its window: the list of tables, the player's name and added tables (kept
// in the settings file), starting games to join or host, following them by their lobby
// links, and keeping a table hosted here listed with the directories while its game runs.
//
//   Lobby lobby(options);
//   QObject::connect(&lobby, &Lobby::rowsChanged, [&] { model.show(lobby.rows()); });
//   QObject::connect(&lobby, &Lobby::statusChanged, [&] { label.setText(lobby.statusLine()); });
//   lobby.start();
class Lobby : public QObject {
  Q_OBJECT

 public:
  explicit Lobby(LobbyOptions options, QObject* parent = nullptr);
  ~Lobby() override;

  void start();
  // Takes a hosted table back from the directories, then calls `done` (within 3 s).
  void stop(const std::function<void()>& done);

  const std::vector<TableRow>& rows() const { return watch_.finder().rows(); }
  const TableWatch& watch() const { return watch_; }
  QString name() const { return QString::fromStdString(settings_.name); }
  const std::vector<net::HostPort>& directories() const { return directories_; }
  const std::vector<net::HostPort>& addedTables() const { return settings_.tables; }
  bool isAdded(const net::HostPort& where) const;
  const QString& gameProgram() const { return options_.gameProgram; }

  // Cleans and remembers the name; returns it as kept.
  QString setName(const QString& name);
  // "HOST" or "HOST:PORT" ([IPv6]:PORT); false with the reason on the status line.
  bool addTable(const QString& address);
  void removeTable(const net::HostPort& where);
  void refresh();
  // Start the game; false with the reason on the status line.
  bool join(const net::HostPort& table);
  // A row of the list, at its address or, relayed, by its code.
  bool joinRow(const TableRow& row);
  // A code as a player types it ("K7Q-2M9", any case, or "K7Q2M9@dir.example.org"): the
  // table it names, found through the directory given or else the first of the lobby's.
  bool joinByCode(const QString& text);
  // Hosting with the choices the settings hold, and a table named for the player.
  bool host();
  bool host(const HostChoice& choice);
  // What Host a Table offers first: the player's table, and the options last chosen.
  HostChoice hostChoice() const;

  // What the player reads under the list: the last news, the games open, a silent directory.
  QString statusLine() const;
  int openGames() const { return games_.openGames(); }
  bool followsGames() const { return links_.isListening(); }
  bool registersHostedTable() const { return !registrations_.empty(); }

 signals:
  void rowsChanged();
  void statusChanged();

 private:
  bool launch(const std::vector<std::string>& arguments, GameKind kind, const QString& what);
  void say(const QString& news);
  void save();
  void listChanged();
  void updateRegistration();
  void tellHostedGameItsCode();
  std::int64_t now() const { return clock_.elapsed(); }

  LobbyOptions options_;
  LobbySettings settings_;
  std::vector<net::HostPort> directories_;
  TableWatch watch_;
  LinkListener links_;
  QString linkProblem_;
  GameLinks games_;
  QElapsedTimer clock_;
  QTimer second_;
  QString news_;
  // Hosting while no lobby link can tell whether that game runs: it is taken to run from when
  // the table on this computer answers until it stops.
  bool unlinkedHostRuns_ = false;
  std::optional<net::TableInfo> hostedInfo_;
  std::vector<directory::RegistrarLink*> registrations_;
  net::Visibility hostedVisibility_ = net::Visibility::kPublic;
  QString inviteCode_;  // the hosted table's, as the first directory gave it
  bool rowsPending_ = false;
};

}  // namespace zp::lobby
