// zandupelix-lobby: the window where players find a table, join it or host one.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <vector>

#include "app/player_files.h"
#include "app/program_options.h"
#include "app/quit_signals.h"
#include "gui/lobby/lobby_window.h"
#include "lobby/lobby.h"
#include "net/host_port.h"
#include "rules/constants.h"

namespace {

using zp::app::optionError;

constexpr const char* kProgram = "zandupelix-lobby";

}  // namespace

int main(int argc, char* argv[]) {
  // --help and --version answer without a screen.
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(QString::fromLatin1(zp::kGameVersion));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Lists the Zandu Pelix tables on this computer, those you add by address, and those a "
      "table directory lists; starts the game to join one or to host a table.");
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  QCommandLineOption directoryOption(
      "directory",
      "Ask the table directory at HOST (port 7771 unless given; [IPv6]:PORT for an IPv6 "
      "address) for its tables. May be given more than once; remembered for the next start.",
      "HOST[:PORT]");
  parser.addOption(directoryOption);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser.parse(arguments)) return optionError(kProgram, parser.errorText());
  if (parser.isSet(helpOption)) {
    // Without an application object Qt cannot know the program's name.
    std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                    QString::fromLatin1(kProgram))),
               stdout);
    return 0;
  }
  if (parser.isSet(versionOption)) {
    std::printf("%s %s\n", kProgram, zp::kGameVersion.data());
    return 0;
  }
  if (!parser.positionalArguments().isEmpty())
    return optionError(kProgram,
                       "unexpected argument \"" + parser.positionalArguments().first() + "\"");
  std::vector<zp::net::HostPort> directories;
  for (const QString& text : parser.values(directoryOption)) {
    const auto directory = zp::net::parseHostPort(text.toStdString(), zp::lobby::kDirectoryPort);
    if (!directory) {
      return optionError(kProgram,
                         "--directory \"" + text +
                             "\" is not a directory: give HOST or HOST:PORT, the port 1 to 65535");
    }
    directories.push_back(*directory);
  }
  if (!zp::app::hasDisplay()) {
    std::fprintf(stderr, "%s: no screen to show the lobby on (DISPLAY is not set)\n", kProgram);
    return 1;
  }

  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("zandupelix-lobby"));
  QApplication::setQuitOnLastWindowClosed(false);  // the lobby first withdraws a hosted table
  // Before anything is written: a stop from outside then always ends the lobby cleanly.
  zp::lobby_gui::LobbyWindow* shown = nullptr;
  onQuitSignals(&app, [&shown] {
    if (shown) shown->close();
  });

  zp::lobby::LobbyOptions options{
      zp::app::playerSettingsFile(),
      directories,
      zp::app::portFromEnvironment("ZANDUPELIX_PORT").value_or(zp::lobby::kTablePort),
      zp::lobby::lobbyLinkPort(),
      zp::lobby::findGameProgram(),
      zp::app::portFromEnvironment("ZANDUPELIX_DISCOVERY_PORT")
          .value_or(zp::net::kLocalNetworkPort)};
  zp::lobby::Lobby lobby(std::move(options));
  zp::lobby_gui::LobbyWindow window(lobby);
  auto stop = [&lobby] { lobby.stop([] { QCoreApplication::quit(); }); };
  QObject::connect(&window, &zp::lobby_gui::LobbyWindow::closed, &lobby, stop);
  shown = &window;
  lobby.start();
  window.show();
  return app.exec();
}
