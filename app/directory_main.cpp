// zandupelix-directory: the list of tables that hosts register with and lobbies read.
#include <sys/resource.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "app/program_options.h"
#include "app/quit_signals.h"
#include "directory/directory_server.h"
#include "rules/constants.h"

namespace {

using zp::app::optionError;
using zp::app::say;

constexpr const char* kProgram = "zandupelix-directory";

// Every listed table holds a connection: take as many as the system lets this user have.
void allowConnectionsForEveryTable() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return;
  const rlim_t wanted = zp::directory::kMaxPeers + 64;
  if (files.rlim_cur >= wanted) return;
  files.rlim_cur = files.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, files.rlim_max);
  ::setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(QString::fromLatin1(zp::kGameVersion));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Keeps the list of Zandu Pelix tables: headless hosts register with it "
      "(zandupelix-server --register), lobbies ask it for the list.\n"
      "One line on stdout per table listed or dropped.");
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  QCommandLineOption portOption(
      "port", "Port to listen on, 0 to 65535 (default 7771; 0 takes any free port).", "N", "7771");
  parser.addOption(portOption);
  if (!parser.parse(QCoreApplication::arguments()))
    return optionError(kProgram, parser.errorText());
  if (parser.isSet(helpOption)) parser.showHelp(0);
  if (parser.isSet(versionOption)) parser.showVersion();
  if (!parser.positionalArguments().isEmpty())
    return optionError(kProgram,
                       "unexpected argument \"" + parser.positionalArguments().first() + "\"");
  const QString portText = parser.value(portOption);
  const auto port = zp::app::wholeNumber(portText, 0, 65535);
  if (!port) {
    return optionError(kProgram, "--port \"" + portText +
                                     "\" is not a port: give 0 to 65535 (0 takes any free port)");
  }

  allowConnectionsForEveryTable();
  onQuitSignals(&app, [&app] { app.quit(); });
  zp::directory::DirectoryServer server;
  QObject::connect(&server, &zp::directory::DirectoryServer::directoryNews,
                   [](const QString& line) { say(stdout, line.toStdString()); });
  if (!server.listen(static_cast<quint16>(*port))) {
    say(stderr, std::string(kProgram) + ": port " + std::to_string(*port) + ": " +
                    server.errorString().toStdString());
    return 1;
  }
  say(stdout, "Zandu Pelix table directory listening on port " + std::to_string(server.port()) +
                  " (Ctrl+C stops it)");
  return app.exec();
}
