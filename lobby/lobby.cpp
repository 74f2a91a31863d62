#include "lobby/lobby.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <algorithm>

#include "directory/registrar_link.h"
#include "lobby/command_lines.h"
#include "rules/names.h"

namespace zp::lobby {

QString findGameProgram() {
  const QString name = QString::fromLatin1(kGameProgram);
  const QString beside =
      QStandardPaths::findExecutable(name, {QCoreApplication::applicationDirPath()});
  return beside.isEmpty() ? QStandardPaths::findExecutable(name) : beside;
}

Lobby::Lobby(LobbyOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
  clock_.start();
  settings_ = readLobbySettings(options_.settingsFile);
  if (!options_.directories.empty()) {
    settings_.directories = options_.directories;
    save();
  }
  directories_ = settings_.directories;
  watch_.finder().setDirectories(directories_);
  watch_.finder().setAdded(settings_.tables);
  watch_.finder().setThisComputer(net::HostPort{"127.0.0.1", options_.tablePort});

  QObject::connect(&watch_, &TableWatch::changed, this, &Lobby::listChanged);
  if (options_.networkPort != 0) {
    QObject::connect(&watch_, &TableWatch::networkProblem, this, &Lobby::say);
    watch_.askLocalNetwork(options_.networkPort);
  }
  links_.setAdmission(
      [this](int link, const std::string& token) { return games_.linkOpened(link, token, now()); });
  QObject::connect(&links_, &LinkListener::linkOpened, this, [this] {
    updateRegistration();
    if (!inviteCode_.isEmpty()) tellHostedGameItsCode();
    emit statusChanged();
  });
  QObject::connect(&links_, &LinkListener::linkClosed, this, [this](int link) {
    games_.linkClosed(link);
    updateRegistration();
    emit statusChanged();
  });
  second_.setInterval(1000);
  QObject::connect(&second_, &QTimer::timeout, this, [this] {
    const int waiting = games_.waitingGames();
    games_.tick(now());
    if (games_.waitingGames() != waiting) emit statusChanged();
  });
}

Lobby::~Lobby() = default;

void Lobby::stop(const std::function<void()>& done) {
  // A table hosted here goes on without the lobby, but nobody follows its game any more:
  // take it back rather than leave it listed after its game has ended unseen.
  second_.stop();
  for (directory::RegistrarLink* link : registrations_) link->disconnect(this);
  directory::withdrawAll(registrations_, this, done);
  registrations_.clear();
}

void Lobby::start() {
  if (options_.linkPort != 0 && !links_.listen(options_.linkPort)) {
    linkProblem_ = QStringLiteral(
                       "Port %1 for the games' lobby links is taken (is another lobby "
                       "open?): games started here are not followed")
                       .arg(options_.linkPort);
  }
  second_.start();
  watch_.start();
  emit statusChanged();
}

bool Lobby::isAdded(const net::HostPort& where) const {
  return std::find(settings_.tables.begin(), settings_.tables.end(), where) !=
         settings_.tables.end();
}

QString Lobby::setName(const QString& name) {
  const std::string cleaned = cleanName(name.trimmed().toStdString());
  if (cleaned != settings_.name) {
    settings_.name = cleaned;
    save();
  }
  return QString::fromStdString(cleaned);
}

bool Lobby::addTable(const QString& address) {
  const auto where = net::parseHostPort(address.trimmed().toStdString(), kTablePort);
  if (!where) {
    say(QStringLiteral("\"%1\" is not a table's address: give HOST or HOST:PORT").arg(address));
    return false;
  }
  if (!isAdded(*where)) {
    settings_.tables.push_back(*where);
    watch_.finder().setAdded(settings_.tables);
    save();
  }
  say(QStringLiteral("Added %1").arg(QString::fromStdString(net::hostPortText(*where))));
  watch_.refresh();
  return true;
}

void Lobby::removeTable(const net::HostPort& where) {
  if (!isAdded(where)) return;
  std::erase(settings_.tables, where);
  watch_.finder().setAdded(settings_.tables);
  save();
  say(QStringLiteral("Removed %1").arg(QString::fromStdString(net::hostPortText(where))));
}

void Lobby::refresh() {
  watch_.refresh();
}

bool Lobby::join(const net::HostPort& table) {
  return launch(joinArguments(settings_.name, table), GameKind::kJoin,
                QString::fromStdString(net::hostPortText(table)));
}

bool Lobby::joinRow(const TableRow& row) {
  if (row.code.empty()) return join(row.where);
  return launch(joinByCodeArguments(settings_.name, row.code, row.via), GameKind::kJoin,
                QString::fromStdString(net::inviteCodeText(row.code)));
}

bool Lobby::joinByCode(const QString& text) {
  const std::string typed = text.trimmed().toStdString();
  std::optional<net::InviteAddress> invite = net::parseInviteAddress(typed);
  if (!invite) {
    const auto code = net::inviteCodeFrom(typed);
    if (!code) {
      say(QStringLiteral("An invite code is six letters and digits, such as K7Q-2M9"));
      return false;
    }
    if (directories_.empty()) {
      say(QStringLiteral("Give the directory too, such as K7Q-2M9@dir.example.org"));
      return false;
    }
    invite = net::InviteAddress{*code, directories_.front().host, directories_.front().port};
  }
  return launch(joinByCodeArguments(settings_.name, invite->code,
                                    {invite->directoryHost, invite->directoryPort}),
                GameKind::kJoin, QString::fromStdString(net::inviteCodeText(invite->code)));
}

bool Lobby::host() {
  return host(hostChoice());
}

HostChoice Lobby::hostChoice() const {
  return {defaultTableName(settings_.name),
          client::SettingsFile(options_.settingsFile).readGameStartOptions()};
}

bool Lobby::host(const HostChoice& choice) {
  if (games_.hostStartedOrRunning() || unlinkedHostRuns_) {
    say(QStringLiteral("A table is already hosted on this computer: join it from the list"));
    return false;
  }
  if (watch_.finder().thisComputersTable()) {
    say(QStringLiteral("A table already runs on this computer: join it from the list"));
    return false;
  }
  // The game's start dialog opens with these: the settings file is the game's as well.
  if (auto error = client::SettingsFile(options_.settingsFile).saveGameStartOptions(choice.options))
    say(QString::fromStdString(*error));
  const std::string name =
      choice.tableName.empty() ? defaultTableName(settings_.name) : choice.tableName;
  if (!launch(hostArguments(settings_.name, name), GameKind::kHost, QString())) return false;
  hostedVisibility_ = choice.visibility;
  return true;
}

bool Lobby::launch(const std::vector<std::string>& arguments, GameKind kind, const QString& what) {
  if (settings_.name.empty()) {
    say(QStringLiteral("Type your name first"));
    return false;
  }
  if (options_.gameProgram.isEmpty()) {
    say(QStringLiteral("The game (%1) is neither beside the lobby nor on the PATH")
            .arg(QString::fromLatin1(kGameProgram)));
    return false;
  }
  QStringList args;
  for (const std::string& argument : arguments) args << QString::fromStdString(argument);
  const std::string token = newGameToken();
  QProcess game;
  game.setProgram(options_.gameProgram);
  game.setArguments(args);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(kLobbyTokenVariable), QString::fromStdString(token));
  game.setProcessEnvironment(environment);
  if (!game.startDetached()) {
    say(QStringLiteral("Could not start %1").arg(options_.gameProgram));
    return false;
  }
  games_.started(kind, token, now());
  say(kind == GameKind::kHost ? QStringLiteral("Started the game to host a table on this computer")
                              : QStringLiteral("Started the game to join %1").arg(what));
  return true;
}

void Lobby::say(const QString& news) {
  news_ = news;
  emit statusChanged();
}

void Lobby::save() {
  if (auto error = writeLobbySettings(options_.settingsFile, settings_)) {
    news_ = QStringLiteral("Unable to write to %1")
                .arg(QString::fromStdString(options_.settingsFile.Path().string()));
    emit statusChanged();
  }
}

void Lobby::listChanged() {
  // Answers come in bursts: the window redraws once per burst.
  if (rowsPending_) return;
  rowsPending_ = true;
  QTimer::singleShot(0, this, [this] {
    rowsPending_ = false;
    updateRegistration();
    emit rowsChanged();
    emit statusChanged();
  });
}

void Lobby::updateRegistration() {
  const std::optional<net::TableInfo> local = watch_.finder().thisComputersTable();
  if (local) hostedInfo_ = local;
  if (!links_.isListening()) {
    // The hosted game cannot link back: it waits as any started game does, and runs from when
    // its table answers here, waiting no more, until that table stops.
    if (local && games_.hostStartedOrRunning()) {
      unlinkedHostRuns_ = true;
      games_.forgetWaiting(GameKind::kHost);
    } else if (!local) {
      unlinkedHostRuns_ = false;
    }
  }
  const bool hosting = links_.isListening() ? games_.hosting() : unlinkedHostRuns_;
  const bool wanted = hosting && hostedInfo_ && !directories_.empty() &&
                      hostedVisibility_ != net::Visibility::kLocal;
  if (wanted && registrations_.empty()) {
    for (const net::HostPort& where : directories_) {
      auto* link = new directory::RegistrarLink(
          where, options_.tablePort, [this] { return *hostedInfo_; }, hostedVisibility_, this);
      QObject::connect(link, &directory::RegistrarLink::registrationNews, this,
                       [this](const QString& line) { say(line); });
      // The game hosts the table in a process of its own: a relayed player goes on to it
      // over loopback, as any player at this computer would.
      QObject::connect(link, &directory::RegistrarLink::relayedConnection, this,
                       [this](net::GameConnection* relayed) {
                         directory::spliceToLocalTable(relayed, options_.tablePort, this);
                       });
      if (registrations_.empty()) {
        QObject::connect(link, &directory::RegistrarLink::inviteCodeChanged, this,
                         [this](const QString& code) {
                           inviteCode_ = code;
                           tellHostedGameItsCode();
                           emit statusChanged();
                         });
      }
      registrations_.push_back(link);
      link->start();
    }
  } else if (!wanted && !registrations_.empty()) {
    for (directory::RegistrarLink* link : registrations_) {
      link->disconnect(this);
      QObject::connect(link, &directory::RegistrarLink::withdrawn, link, &QObject::deleteLater);
      link->withdraw();
    }
    registrations_.clear();
    if (!inviteCode_.isEmpty()) {
      inviteCode_.clear();
      tellHostedGameItsCode();
    }
  }
}

// The game shows its host the code friends join by, and that it is gone when it is.
void Lobby::tellHostedGameItsCode() {
  if (const std::optional<int> link = games_.hostLink())
    links_.send(*link, net::from_lobby::invitecode({inviteCode_.toStdString()}));
}

QString Lobby::statusLine() const {
  QStringList parts;
  if (!news_.isEmpty()) parts << news_;
  if (!linkProblem_.isEmpty()) {
    parts << linkProblem_;
  } else {
    QString games = QStringLiteral("Games open: %1").arg(games_.openGames());
    if (games_.waitingGames() > 0)
      games += QStringLiteral(" (%1 starting)").arg(games_.waitingGames());
    parts << games;
  }
  if (!inviteCode_.isEmpty())
    parts << QStringLiteral("Your table's invite code: %1")
                 .arg(QString::fromStdString(net::inviteCodeText(inviteCode_.toStdString())));
  for (const DirectoryStatus& d : watch_.finder().directories()) {
    if (d.state == DirectoryStatus::State::kSilent)
      parts << QStringLiteral("The directory %1 does not answer")
                   .arg(QString::fromStdString(net::hostPortText(d.where)));
  }
  return parts.join(QStringLiteral(" · "));
}

}  // namespace zp::lobby
