// zandupelix-server: a table host without windows. Its first connection is the host.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program_options.h"
#include "app/quit_signals.h"
#include "directory/registrar_link.h"
#include "net/catalogue.h"
#include "net/framing.h"
#include "net/host_port.h"
#include "rules/computer_strength.h"
#include "server/TServer.h"
#include "server/network_responder.h"
#include "words/dictionary_place.h"
#include "words/tdictn.h"

namespace {

using zp::app::optionError;
using zp::app::say;
using zp::app::wholeNumber;

constexpr const char* kProgram = "zandupelix-server";

// The table's name when --name is not given, cut to the length a name may have.
QString defaultTableName() {
  const QString name = "Table on " + QSysInfo::machineHostName();
  const QList<uint> characters = name.toUcs4();
  if (characters.size() <= zp::net::kMaxTableNameChars) return name;
  return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                           zp::net::kMaxTableNameChars);
}

// Where the table is listed: its links to the directories, and their withdrawal at the end.
class Listing {
 public:
  void add(const zp::net::HostPort& directory, int port, zp::server::TServer& server,
           zp::net::Visibility visibility) {
    auto link = std::make_unique<zp::directory::RegistrarLink>(
        directory, port, [&server] { return server.table().tableInfo(); }, visibility);
    QObject::connect(link.get(), &zp::directory::RegistrarLink::registrationNews,
                     [](const QString& line) { say(stdout, line.toStdString()); });
    // A player the directory relays arrives on a connection the table opened itself.
    QObject::connect(link.get(), &zp::directory::RegistrarLink::relayedConnection, &server,
                     &zp::server::TServer::adoptConnection);

    links_.push_back(std::move(link));
  }
  void start() {
    for (auto& link : links_) link->start();
  }
  // After an arrival, a departure, a game's start or end: every directory hears of it now.
  void refresh() {
    for (auto& link : links_) link->refresh();
  }
  // Takes the table back from every directory, then calls `done` (after 3 s at most).
  void withdraw(const std::function<void()>& done) {
    std::vector<zp::directory::RegistrarLink*> links;
    for (auto& link : links_) links.push_back(link.get());
    zp::directory::withdrawAll(links, QCoreApplication::instance(), done);
  }

 private:
  std::vector<std::unique_ptr<zp::directory::RegistrarLink>> links_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(QString::fromLatin1(zp::kGameVersion));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Hosts one Zandu Pelix table without windows. The first connection is the host.\n"
      "One line on stdout per arrival, departure, game start and winner.");
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  QCommandLineOption portOption(
      "port", "Port to listen on, 0 to 65535 (default 7772; 0 takes any free port).", "N", "7772");
  QCommandLineOption tickOption(
      "tick-ms",
      "Length of one game second in ms, 1 to 60000 (default 1000); tests run games faster.", "MS",
      "1000");
  QCommandLineOption graceOption(
      "grace",
      "Seconds a seat stays held for a player whose connection dropped, 0 to 86400 (default "
      "90; 0 frees the seat at once).",
      "SECONDS", "90");
  QCommandLineOption seedOption(
      "seed",
      "Seed of the letters and the computer player, so a game can be replayed (default 0: "
      "from the clock).",
      "S", "0");
  QCommandLineOption computerOption(
      "computer",
      "The computer player's strength: easy, classic, strong or expert (default classic).",
      "STRENGTH", "classic");
  QCommandLineOption nameOption(
      "name",
      "The table's name in lobbies and directories, 1 to 40 characters (default \"Table on "
      "HOSTNAME\").",
      "TEXT");
  QCommandLineOption registerOption(
      "register",
      "Keep the table listed with the directory at HOST (port 7771 unless given; [IPv6]:PORT "
      "for an IPv6 address) for as long as it runs. May be given more than once.",
      "HOST[:PORT]");
  QCommandLineOption noDiscoveryOption(
      "no-discovery",
      "Do not answer lobbies looking for tables on the local network (they can still join by "
      "address or through a directory).");
  parser.addOption(portOption);
  parser.addOption(tickOption);
  parser.addOption(graceOption);
  parser.addOption(seedOption);
  parser.addOption(computerOption);
  parser.addOption(nameOption);
  parser.addOption(registerOption);
  QCommandLineOption visibilityOption(
      "visibility",
      "Who sees the table: public (listed by the directories and joinable by code), invite "
      "(joinable by code, not listed) or local (not registered; found on the local network "
      "only). Default public.",
      "WHO", "public");
  parser.addOption(noDiscoveryOption);
  parser.addOption(visibilityOption);
  if (!parser.parse(QCoreApplication::arguments()))
    return optionError(kProgram, parser.errorText());
  if (parser.isSet(helpOption)) parser.showHelp(0);
  if (parser.isSet(versionOption)) parser.showVersion();
  if (!parser.positionalArguments().isEmpty())
    return optionError(kProgram,
                       "unexpected argument \"" + parser.positionalArguments().first() + "\"");

  const QString portText = parser.value(portOption);
  const QString tickText = parser.value(tickOption);
  const QString seedText = parser.value(seedOption);
  const QString graceText = parser.value(graceOption);
  const auto port = wholeNumber(portText, 0, 65535);
  if (!port) {
    return optionError(kProgram, "--port \"" + portText +
                                     "\" is not a port: give 0 to 65535 (0 takes any free port)");
  }
  const auto tickMs = wholeNumber(tickText, 1, 60000);
  if (!tickMs) {
    return optionError(kProgram,
                       "--tick-ms \"" + tickText +
                           "\" is not allowed: give the ms of one game second, 1 to 60000");
  }
  const auto grace = wholeNumber(graceText, 0, zp::net::kMaxGraceSeconds);
  if (!grace) {
    return optionError(kProgram, "--grace \"" + graceText +
                                     "\" is not allowed: give the seconds a dropped player's seat "
                                     "is held, 0 to 86400");
  }
  const auto seed = wholeNumber(seedText, 0, ~0ULL);
  if (!seed) {
    return optionError(kProgram,
                       "--seed \"" + seedText +
                           "\" is not allowed: give a whole number from 0 to 18446744073709551615 "
                           "(0 seeds from the clock)");
  }

  const QString computerText = parser.value(computerOption);
  const auto computer = zp::computerStrengthNamed(computerText.toStdString());
  if (!computer) {
    return optionError(kProgram, "--computer \"" + computerText +
                                     "\" is not a strength: give easy, classic, strong or expert");
  }
  const QString name = parser.isSet(nameOption) ? parser.value(nameOption) : defaultTableName();
  const auto nameLength = name.toUcs4().size();
  if (nameLength < 1 || nameLength > zp::net::kMaxTableNameChars) {
    return optionError(kProgram, "--name \"" + name + "\" is not allowed: give 1 to " +
                                     QString::number(zp::net::kMaxTableNameChars) + " characters");
  }
  std::vector<zp::net::HostPort> directories;
  for (const QString& text : parser.values(registerOption)) {
    const auto directory = zp::net::parseHostPort(text.toStdString(), 7771);
    if (!directory) {
      return optionError(kProgram,
                         "--register \"" + text +
                             "\" is not a directory: give HOST or HOST:PORT, the port 1 to 65535");
    }
    directories.push_back(*directory);
  }

  const QString visibilityText = parser.value(visibilityOption);
  const auto visibility = zp::net::visibilityNamed(visibilityText.toStdString());
  if (!visibility) {
    return optionError(kProgram, "--visibility \"" + visibilityText +
                                     "\" is not allowed: give public, invite or local");
  }
  if (*visibility == zp::net::Visibility::kLocal) directories.clear();

  std::error_code ec;
  const zp::words::DictionaryPlace place =
      zp::words::placeDictionaryFile(std::filesystem::current_path(ec));
  if (place.file.empty()) {
    say(stderr, std::string(kProgram) + ": " + place.note);
    return 1;
  }
  if (!place.note.empty()) say(stderr, std::string(kProgram) + ": " + place.note);

  Listing listing;
  onQuitSignals(&app, [&app, &listing] { listing.withdraw([&app] { app.quit(); }); });
  zp::server::TServer::Options options;
  options.tableName = name.toStdString();
  options.dictionaryFile = place.file;
  options.tickMs = static_cast<int>(*tickMs);
  options.seed = *seed;
  options.graceSeconds = static_cast<int>(*grace);
  options.computer = *computer;
  zp::server::TServer server(options);
  server.setVisibility(*visibility);
  if (!server.dictionaryOpen()) {
    // A table without its word list would reject every word.
    const std::string why = server.dictionaryFailure();
    say(stderr, std::string(kProgram) + ": " +
                    (why.empty() ? "cannot open " + place.file.string() : why) +
                    "; a table without its word list would reject every word");
    return 1;
  }
  QObject::connect(&server, &zp::server::TServer::hostNotice,
                   [](const QString& text) { say(stderr, text.toStdString()); });
  // News lines hold players' names as they sent them: no name may drive the terminal.
  QObject::connect(&server, &zp::server::TServer::tableNews, [&listing](const QString& line) {
    say(stdout, zp::net::escapedForLog(line.toStdString()));
    listing.refresh();
  });
  if (!server.listen(static_cast<quint16>(*port))) {
    say(stderr, server.errorString().toStdString());
    say(stderr, "port " + std::to_string(*port) + ": " + server.systemError().toStdString());
    return 1;
  }
  // Before the table says it listens: from then on lobbies on this network find it.
  std::optional<zp::server::NetworkResponder> responder;
  if (!parser.isSet(noDiscoveryOption)) {
    const quint16 networkPort = zp::app::portFromEnvironment("ZANDUPELIX_DISCOVERY_PORT")
                                    .value_or(zp::net::kLocalNetworkPort);
    responder.emplace(server);
    if (!responder->start(networkPort)) {
      say(stderr, "port " + std::to_string(networkPort) +
                      " (UDP): " + responder->errorString().toStdString() +
                      "; lobbies on this network do not find the table by themselves");
    }
  }
  say(stdout, "Zandu Pelix table server listening on port " + std::to_string(server.port()) +
                  " (Ctrl+C stops it)");
  for (const zp::net::HostPort& directory : directories)
    listing.add(directory, server.port(), server, *visibility);
  listing.start();
  return app.exec();
}
