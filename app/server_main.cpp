// zandupelix-server: a table host without windows. Its first connection is the host.
#include <sys/socket.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "server/TServer.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop normally, so the dictionary file is deleted.
void quitOnSignals(QCoreApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
    char byte;
    [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
    app.quit();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("zandupelix-server");
  QCoreApplication::setApplicationVersion("1.0.15");

  QCommandLineParser parser;
  parser.setApplicationDescription("Hosts one Zandu Pelix table without windows.");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption portOption("port", "Port to listen on (default 7772; 0 takes any free port).",
                                "N", "7772");
  QCommandLineOption tickOption("tick-ms", "Length of one game second in ms (for tests).", "MS",
                                "1000");
  QCommandLineOption seedOption("seed", "Seed of the letters and the computer (for tests).", "S",
                                "0");
  parser.addOption(portOption);
  parser.addOption(tickOption);
  parser.addOption(seedOption);
  parser.process(app);

  bool portOk = false, tickOk = false, seedOk = false;
  const uint port = parser.value(portOption).toUInt(&portOk);
  const int tickMs = parser.value(tickOption).toInt(&tickOk);
  const qulonglong seed = parser.value(seedOption).toULongLong(&seedOk);
  if (!portOk || port > 65535 || !tickOk || tickMs < 1 || !seedOk) {
    std::fprintf(stderr, "zandupelix-server: bad option value\n");
    return 2;
  }

  quitOnSignals(app);
  zp::server::TServer::Options options;
  options.tickMs = tickMs;
  options.seed = seed;
  zp::server::TServer server(options);
  if (!server.dictionaryOpen()) std::fprintf(stderr, "%s\n", zp::words::kDictionaryNotFound.data());
  QObject::connect(&server, &zp::server::TServer::hostNotice, [](const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
  });
  if (!server.listen(static_cast<quint16>(port))) {
    std::fprintf(stderr, "%s\n", server.errorString().toUtf8().constData());
    return 1;
  }
  std::printf("Zandu Pelix table server listening on port %u (Ctrl+C stops it)\n", server.port());
  std::fflush(stdout);
  return app.exec();
}
