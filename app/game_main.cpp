// zandupelix: the game. With no arguments it hosts a solo table against the computer; the
// lobby starts it with a player name, the host's address and "true" to host.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

#include "app/quit_signals.h"
#include "app/wiring.h"
#include "records/tally_table.h"
#include "words/dictionary_place.h"

namespace {

constexpr quint16 kGamePort = 7772;

// A machine without a screen cannot show the game; say so instead of Qt's abort.
bool hasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Tests run tables on free ports; players always use the game's port.
quint16 gamePort() {
  bool ok = false;
  const uint port = qEnvironmentVariable("ZANDUPELIX_PORT").toUInt(&ok);
  return ok && port <= 65535 ? static_cast<quint16>(port) : kGamePort;
}

// An installed game (share/zandupelix beside its bin/) keeps each player's files in their own
// data folder, also where it could write its folder (an install in ~/.local, or run by root);
// a game run where it was built keeps them beside it.
bool installedGame() {
  return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zandupelix"))
      .isDir();
}

// Whether the player's files may go into `path`, the program's folder or a file in it.
bool writableBesideProgram(const std::filesystem::path& path) {
  return !installedGame() && zp::client::IsWritable(path);
}

// The program's folder while the player's files may go there, else the per-user data folder.
std::filesystem::path recordsFolder() {
  const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
  if (writableBesideProgram(program)) return program;
  const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  QDir().mkpath(user);
  return user.toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!hasDisplay()) {
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

  std::vector<std::string> params;
  for (const QString& arg : app.arguments().mid(1)) params.push_back(arg.toStdString());

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

  zp::windows::Tspylist spylist(&chat);
  zp::windows::Tdownload download(&chat);
  zp::windows::Ttallylist tallylist(tally, &chat);
  const std::filesystem::path records = recordsFolder();
  download.setTargetFolder(QString::fromStdString(records.string()));
  const std::filesystem::path tallyFile = records / zp::records::TallyFileName("ZanduPelix");
  if (auto failure = tally.LoadFile(tallyFile))
    std::fprintf(stderr, "zandupelix: %s\n", failure->message.c_str());

  // Built, and its word file written, when the window first hosts: after it shows.
  zp::app::ServerTableHost table(options);
  zp::app::SideWindows windows{about, gamestart, help, phrases, spylist, download, tallylist};
  zp::app::wire(chat, table, gamePort(), windows);
  zp::client::ProfileFile settingsFile = zp::client::ChooseSettingsFile(
      QCoreApplication::applicationDirPath().toStdString(),
      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString(),
      writableBesideProgram);
  // Where the launcher fetches the lobby from: a setting of ours, so a test can point it at
  // a server of its own.
  download.setDownloadAddress(QString::fromStdString(settingsFile.ReadString(
      zp::client::kSettingsSection, "LobbyDownload", zp::windows::Tdownload::kDefaultAddress)));
  chat.useSettingsFile(zp::client::SettingsFile(std::move(settingsFile)));

  // Stopped from outside, the game closes as if its window were closed.
  onQuitSignals(&app, [&chat] { chat.close(); });
  chat.show();
  chat.processparams(params);
  const int result = app.exec();

  if (auto error = tally.SaveFile(tallyFile))
    std::fprintf(stderr, "zandupelix: %s\n", error->c_str());
  return result;
}
