// zandupelix-directory: the list of tables that hosts register with and lobbies read.
#include <sys/resource.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "app/program_options.h"
#include "app/quit_signals.h"
#include "directory/directory_server.h"
#include "directory/relay_server.h"
#include "net/catalogue.h"
#include "rules/constants.h"

namespace {

using zp::app::optionError;
using zp::app::say;

constexpr const char* kProgram = "zandupelix-directory";

// Every listed table holds a connection: take as many as the system lets this user have,
// and hold no more peers than that leaves room for, so that past it a connection is refused
// in words instead of waiting for a file handle.
// The relay's connections come out of the same handles.
zp::directory::PeerLimits limitsFromOpenFiles(zp::directory::RelayLimits* relay) {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0) files.rlim_cur = files.rlim_max = 1024;
  const rlim_t wanted = zp::directory::kMaxPeers + zp::directory::kSpareHandles +
                        static_cast<rlim_t>(relay ? relay->total : 0);
  if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < wanted) {
    files.rlim_cur = files.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, files.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &files);
    ::getrlimit(RLIMIT_NOFILE, &files);
  }
  std::uint64_t handles =
      files.rlim_cur == RLIM_INFINITY ? wanted : static_cast<std::uint64_t>(files.rlim_cur);
  if (relay && handles < wanted) {
    // Fewer than wanted: the relay and the directory share them as they would have, but the
    // directory keeps its first thousand (a relay lists nothing by itself).
    const std::uint64_t share = handles * static_cast<std::uint64_t>(relay->total) / wanted;
    const std::uint64_t directoryKeeps = std::min<std::uint64_t>(handles, 1024);
    relay->total = static_cast<int>(std::min(share, handles - directoryKeeps));
    handles -= static_cast<std::uint64_t>(relay->total);
  } else if (relay) {
    handles -= static_cast<std::uint64_t>(relay->total);
  }
  return zp::directory::peerLimitsForHandles(handles);
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
  QCommandLineOption relayPortOption(
      "relay-port",
      "Port of the relay for tables the directory cannot reach, 0 to 65535 (default 7770; 0 "
      "takes any free port).",
      "N", "7770");
  QCommandLineOption relayHostOption(
      "relay-host",
      "The address lobbies are told to reach the relay at (default: the address they reach "
      "the directory at).",
      "HOST");
  QCommandLineOption noRelayOption(
      "no-relay", "Relay nothing: tables the directory cannot reach are not listed.");
  parser.addOption(portOption);
  parser.addOption(relayPortOption);
  parser.addOption(relayHostOption);
  parser.addOption(noRelayOption);
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

  const QString relayPortText = parser.value(relayPortOption);
  const auto relayPort = zp::app::wholeNumber(relayPortText, 0, 65535);
  if (!relayPort) {
    return optionError(kProgram, "--relay-port \"" + relayPortText +
                                     "\" is not a port: give 0 to 65535 (0 takes any free port)");
  }
  const QString relayHost = parser.value(relayHostOption);
  if (parser.isSet(relayHostOption) &&
      (relayHost.isEmpty() ||
       relayHost.size() > static_cast<qsizetype>(zp::net::kMaxAddressBytes) ||
       relayHost.contains(QRegularExpression("[\\s\\[\\]/@+]")))) {
    return optionError(
        kProgram, "--relay-host \"" + relayHost + "\" is not a host: give a name or an address");
  }
  const bool relaying = !parser.isSet(noRelayOption);
  zp::directory::RelayLimits relayLimits;
  const zp::directory::PeerLimits limits = limitsFromOpenFiles(relaying ? &relayLimits : nullptr);
  onQuitSignals(&app, [&app] { app.quit(); });
  if (limits.total < zp::directory::kMaxPeers) {
    say(stderr, std::string(kProgram) + ": at most " + std::to_string(limits.total) +
                    " connections at once, as the system lets this program open only " +
                    std::to_string(limits.total + zp::directory::kSpareHandles) + " files");
  }
  zp::directory::DirectoryServer server(limits);
  QObject::connect(&server, &zp::directory::DirectoryServer::directoryNews,
                   [](const QString& line) { say(stdout, line.toStdString()); });
  if (!server.listen(static_cast<quint16>(*port))) {
    say(stderr, std::string(kProgram) + ": port " + std::to_string(*port) + ": " +
                    server.errorString().toStdString());
    return 1;
  }
  std::optional<zp::directory::RelayServer> relay;
  if (relaying) {
    relay.emplace(server.relayTables(), relayLimits);
    if (!relay->listen(static_cast<quint16>(*relayPort))) {
      say(stderr, std::string(kProgram) + ": relay port " + std::to_string(*relayPort) + ": " +
                      relay->errorString().toStdString());
      return 1;
    }
    server.setRelay(relayHost, relay->port());
  }
  say(stdout, "Zandu Pelix table directory listening on port " + std::to_string(server.port()) +
                  (relay ? ", relay on port " + std::to_string(relay->port()) : std::string()) +
                  " (Ctrl+C stops it)");
  return app.exec();
}
