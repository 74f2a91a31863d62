// zandupelix-server: a table host without windows. Its first connection is the host.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "app/quit_signals.h"
#include "rules/computer_strength.h"
#include "net/framing.h"
#include "server/TServer.h"
#include "words/dictionary_place.h"
#include "words/tdictn.h"

namespace {

constexpr const char* kProgram = "zandupelix-server";

void say(std::FILE* to, const std::string& line) {
  std::fprintf(to, "%s\n", line.c_str());
  std::fflush(to);
}

int optionError(const QString& text) {
  say(stderr, std::string(kProgram) + ": " + text.toStdString() + " (see " + kProgram + " --help)");
  return 2;
}

// The number in `text` when it is a whole number from `low` to `high`.
std::optional<qulonglong> wholeNumber(const QString& text, qulonglong low, qulonglong high) {
  bool ok = false;
  const qulonglong value = text.toULongLong(&ok);
  if (!ok || text.startsWith('+') || text.trimmed() != text || value < low || value > high)
    return std::nullopt;
  return value;
}

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
  QCommandLineOption seedOption(
      "seed",
      "Seed of the letters and the computer player, so a game can be replayed (default 0: "
      "from the clock).",
      "S", "0");
  QCommandLineOption computerOption(
      "computer",
      "The computer player's strength: easy, classic, strong or expert (default classic).",
      "STRENGTH", "classic");
  parser.addOption(portOption);
  parser.addOption(tickOption);
  parser.addOption(seedOption);
  parser.addOption(computerOption);
  if (!parser.parse(QCoreApplication::arguments())) return optionError(parser.errorText());
  if (parser.isSet(helpOption)) parser.showHelp(0);
  if (parser.isSet(versionOption)) parser.showVersion();
  if (!parser.positionalArguments().isEmpty())
    return optionError("unexpected argument \"" + parser.positionalArguments().first() + "\"");

  const QString portText = parser.value(portOption);
  const QString tickText = parser.value(tickOption);
  const QString seedText = parser.value(seedOption);
  const auto port = wholeNumber(portText, 0, 65535);
  if (!port) {
    return optionError("--port \"" + portText +
                       "\" is not a port: give 0 to 65535 (0 takes any free port)");
  }
  const auto tickMs = wholeNumber(tickText, 1, 60000);
  if (!tickMs) {
    return optionError("--tick-ms \"" + tickText +
                       "\" is not allowed: give the ms of one game second, 1 to 60000");
  }
  const auto seed = wholeNumber(seedText, 0, ~0ULL);
  if (!seed) {
    return optionError("--seed \"" + seedText +
                       "\" is not allowed: give a whole number from 0 to 18446744073709551615 "
                       "(0 seeds from the clock)");
  }

  const QString computerText = parser.value(computerOption);
  const auto computer = zp::computerStrengthNamed(computerText.toStdString());
  if (!computer) {
    return optionError("--computer \"" + computerText +
                       "\" is not a strength: give easy, classic, strong or expert");
  }

  std::error_code ec;
  const zp::words::DictionaryPlace place =
      zp::words::placeDictionaryFile(std::filesystem::current_path(ec));
  if (place.file.empty()) {
    say(stderr, std::string(kProgram) + ": " + place.note);
    return 1;
  }
  if (!place.note.empty()) say(stderr, std::string(kProgram) + ": " + place.note);

  onQuitSignals(&app, [&app] { app.quit(); });
  zp::server::TServer::Options options;
  options.dictionaryFile = place.file;
  options.tickMs = static_cast<int>(*tickMs);
  options.seed = *seed;
  options.computer = *computer;
  zp::server::TServer server(options);
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
  QObject::connect(&server, &zp::server::TServer::tableNews, [](const QString& line) {
    say(stdout, zp::net::escapedForLog(line.toStdString()));
  });
  if (!server.listen(static_cast<quint16>(*port))) {
    say(stderr, server.errorString().toStdString());
    say(stderr, "port " + std::to_string(*port) + ": " + server.systemError().toStdString());
    return 1;
  }
  say(stdout, "Zandu Pelix table server listening on port " + std::to_string(server.port()) +
                  " (Ctrl+C stops it)");
  return app.exec();
}
