// zandupelix: the game. With no arguments it hosts a solo table against the computer; the
// lobby starts it with a player name, the host's address (with its port: "HOST:PORT",
// "[IPv6]:PORT") and "true" to host.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/player_files.h"
#include "app/program_options.h"
#include "app/quit_signals.h"
#include "app/wiring.h"
#include "lobby/command_lines.h"
#include "net/catalogue.h"
#include "records/tally_table.h"
#include "words/dictionary_place.h"

namespace {

constexpr quint16 kGamePort = 7772;
constexpr quint16 kLobbyPort = 9001;

// Tests run tables and lobbies on free ports; players always use the game's ports.
zp::app::Ports gamePorts() {
  zp::app::Ports ports;
  if (const auto game = zp::app::portFromEnvironment("ZANDUPELIX_PORT")) {
    ports.game = *game;
    ports.gameFixed = true;
  } else {
    ports.game = kGamePort;
  }
  ports.lobby = zp::app::portFromEnvironment("ZANDUPELIX_LOBBY_PORT").value_or(kLobbyPort);
  // Only this game proves itself with it: a program it starts does not inherit it.
  ports.lobbyToken = qEnvironmentVariable(zp::lobby::kLobbyTokenVariable).toStdString();
  qunsetenv(zp::lobby::kLobbyTokenVariable);
  return ports;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!zp::app::hasDisplay()) {
    std::fprintf(stderr,
                 "zandupelix: no screen to show the game on (DISPLAY is not set); "
                 "to host a table without windows, run zandupelix-server\n");
    return 1;
  }
  QApplication app(argc, argv);
  // The per-user folders are ~/.local/share/zandupelix and the like.
  QApplication::setApplicationName(QStringLiteral("zandupelix"));
  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("zandupelix"));
  QApplication::setQuitOnLastWindowClosed(false);  // the main window's close ends the program

  // The lobby's Host a Table names the table after the three words of the command line.
  std::vector<std::string> params;
  std::string tableName;
  const QStringList arguments = app.arguments().mid(1);
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String(zp::lobby::kTableNameOption) && i + 1 < arguments.size())
      tableName = zp::net::cleanTableName(arguments[++i].toStdString());
    else
      params.push_back(arguments[i].toStdString());
  }

  // The tally is fed by the main window and shown by the tally window.
  zp::records::TallyTable tally;

  // The windows, in the order the game has always created them.
  zp::client::Tchat chat(tally, zp::server::clockSeed());
  zp::windows::Tabout about(&chat);
  zp::windows::Tgamestart gamestart(&chat);
  zp::windows::Thelp help(&chat);
  zp::windows::Tphrases phrases(&chat);

  std::error_code ec;
  const zp::words::DictionaryPlace place =
      zp::words::placeDictionaryFile(std::filesystem::current_path(ec));
  if (!place.note.empty()) std::fprintf(stderr, "zandupelix: %s\n", place.note.c_str());
  zp::server::TServer::Options options;
  options.dictionaryFile = place.file.empty() ? std::filesystem::path("English") : place.file;
  options.tableName = tableName;

  zp::windows::Tspylist spylist(&chat);
  zp::windows::Tdownload download(&chat);
  zp::windows::Ttallylist tallylist(tally, &chat);
  const std::filesystem::path records = zp::app::playerRecordsFolder();
  download.setTargetFolder(QString::fromStdString(records.string()));
  const std::filesystem::path tallyFile = records / zp::records::TallyFileName("ZanduPelix");
  const auto tallyFailure = tally.LoadFile(tallyFile);
  if (tallyFailure) std::fprintf(stderr, "zandupelix: %s\n", tallyFailure->message.c_str());

  // Built, and its word file written, when the window first hosts: after it shows.
  zp::app::ServerTableHost table(options);
  zp::app::SideWindows windows{about, gamestart, help, phrases, spylist, download, tallylist};
  zp::app::wire(chat, table, gamePorts(), windows);
  zp::client::ProfileFile settingsFile = zp::app::playerSettingsFile();
  // Where the launcher fetches the lobby from: a setting of ours, so a test can point it at
  // a server of its own.
  download.setDownloadAddress(QString::fromStdString(settingsFile.ReadString(
      zp::client::kSettingsSection, "LobbyDownload", zp::windows::Tdownload::kDefaultAddress)));
  // A host who wants only invited players sets Discoverable=false: the table this window
  // hosts then never answers lobbies on the local network.
  if (settingsFile.ReadString(zp::client::kSettingsSection, "Discoverable", "true") != "false")
    table.answerLocalNetwork(zp::app::portFromEnvironment("ZANDUPELIX_DISCOVERY_PORT")
                                 .value_or(zp::net::kLocalNetworkPort));
  chat.useSettingsFile(zp::client::SettingsFile(std::move(settingsFile)));

  // Stopped from outside, the game closes as if its window were closed, without asking.
  onQuitSignals(&app, [&chat] { chat.leave(); });
  chat.show();
  chat.processparams(params);
  if (tallyFailure) {
    // Told once, once the windows are up, over the launcher when it shows (it stays above
    // the rest); a path is shown as text.
    QTimer::singleShot(0, &chat, [&chat, &download, notice = tallyFailure->Notice()] {
      QWidget* over = download.isVisible() ? static_cast<QWidget*>(&download) : &chat;
      QMessageBox box(QMessageBox::Warning, QStringLiteral("Zandu Pelix"),
                      QString::fromStdString(notice), QMessageBox::Ok, over);
      box.setTextFormat(Qt::PlainText);
      box.exec();
    });
  }
  const int result = app.exec();

  if (auto error = tally.SaveFile(tallyFile))
    std::fprintf(stderr, "zandupelix: %s\n", error->c_str());
  return result;
}
