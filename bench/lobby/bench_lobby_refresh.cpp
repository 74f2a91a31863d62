// The lobby's window refreshing 200 added tables, half of which accept and never answer:
// the longest the window's event loop is held up, and the time until every table that
// answers is listed. The tables run in a child process (this program started with
// --tables), so their work is not counted as the window's.
//
//   bench_lobby_refresh [--rounds N]       (offscreen unless QT_QPA_PLATFORM or a display)
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "gui/lobby/lobby_window.h"
#include "net/catalogue.h"

namespace {

constexpr int kTables = 200;

// The child: kTables listening sockets; the first half answer CMD_tableinfo+ as a table does,
// the others take the connection and keep silent. Prints the ports, runs until stdin closes.
int serveTables() {
  std::vector<QTcpServer*> servers;
  std::vector<QTcpSocket*> silent;
  QString ports;
  for (int n = 0; n < kTables; ++n) {
    auto* server = new QTcpServer;
    server->listen(QHostAddress::LocalHost, 0);
    const bool answers = n < kTables / 2;
    QObject::connect(server, &QTcpServer::newConnection, [server, answers, n, &silent] {
      while (QTcpSocket* socket = server->nextPendingConnection()) {
        if (!answers) {
          silent.push_back(socket);
          continue;
        }
        QObject::connect(socket, &QTcpSocket::readyRead, [socket, n] {
          if (!socket->readAll().contains("CMD_tableinfo+")) return;
          const std::string answer =
              zp::net::to_players::tableinfo({"Table " + std::to_string(n),
                                              "1.0.15",
                                              n % 2 == 1,
                                              110,
                                              70,
                                              n % 3,
                                              {"Ann", n % 2 ? "Tobo" : "", "", ""},
                                              zp::ComputerStrength::Strong});
          socket->write(answer.data(), static_cast<qint64>(answer.size()));
          socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
    servers.push_back(server);
    ports += QString::number(server->serverPort()) + QLatin1Char(' ');
  }
  std::printf("%s\n", qPrintable(ports.trimmed()));
  std::fflush(stdout);
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
  return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 1 && QByteArray(argv[1]) == "--tables") {
    QCoreApplication app(argc, argv);
    return serveTables();
  }
  int rounds = 3;
  for (int i = 1; i + 1 < argc; ++i)
    if (QByteArray(argv[i]) == "--rounds") rounds = std::max(1, QByteArray(argv[i + 1]).toInt());
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  QProcess tables;
  tables.start(QCoreApplication::applicationFilePath(), {"--tables"});
  if (!tables.waitForReadyRead(10000)) return 1;
  const QStringList ports = QString::fromLatin1(tables.readLine()).simplified().split(' ');
  if (ports.size() != kTables) return 1;

  QTemporaryDir dir;
  const zp::client::ProfileFile settings(dir.filePath("qelmlobby.ini").toStdString());
  zp::lobby::LobbySettings added{"Ann", {}, {}};
  for (const QString& port : ports)
    added.tables.push_back({"127.0.0.1", static_cast<std::uint16_t>(port.toUInt())});
  zp::lobby::writeLobbySettings(settings, added);
  zp::lobby::Lobby lobby(zp::lobby::LobbyOptions{settings, {}, 1, 0, QString()});
  zp::lobby_gui::LobbyWindow window(lobby);
  window.show();

  // The window's stalls: the gaps between the beats of a 1 ms timer.
  QElapsedTimer clock;
  clock.start();
  // On a shared machine a gap may be the process waiting for a core: the thread's own CPU
  // time across the gap tells how much of it was the window's work.
  auto cpuNs = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  };
  qint64 lastCpu = 0;
  qint64 longestBusy = 0;
  int busyOver16 = 0;
  qint64 lastBeat = 0;
  qint64 longest = 0;
  qint64 longestAt = 0;
  int over16 = 0;
  QTimer beat;
  beat.setTimerType(Qt::PreciseTimer);
  beat.setInterval(1);
  QObject::connect(&beat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    const qint64 gap = now - lastBeat;
    const qint64 cpu = cpuNs();
    if (lastBeat != 0) {
      longestBusy = std::max(longestBusy, cpu - lastCpu);
      if (cpu - lastCpu > 16'000'000) ++busyOver16;
    }
    lastCpu = cpu;
    if (lastBeat != 0 && gap > longest) {
      longest = gap;
      longestAt = now;
    }
    if (lastBeat != 0 && gap > 16'000'000) ++over16;
    lastBeat = now;
  });

  qint64 started = 0;
  qint64 allListed = -1;
  QObject::connect(&lobby, &zp::lobby::Lobby::rowsChanged, [&] {
    if (allListed >= 0) return;
    // What the window shows, after it has taken the new rows.
    const QAbstractItemModel* rows = window.grid_tables->model();
    int answered = 0;
    for (int r = 0; r < rows->rowCount(); ++r) {
      const QString state = rows->index(r, 4).data().toString();
      answered += state == "waiting" || state == "playing";
    }
    if (answered == kTables / 2) allListed = clock.nsecsElapsed() - started;
  });

  beat.start();
  QTimer::singleShot(50, [&] {
    started = clock.nsecsElapsed();
    lobby.start();  // the first round: 200 connections at once
  });
  const int runMs = 50 + rounds * static_cast<int>(zp::lobby::kRefreshMs);
  QTimer::singleShot(runMs, [] { QCoreApplication::quit(); });
  app.exec();
  tables.closeWriteChannel();
  tables.waitForFinished(5000);

  int unknown = 0, asking = 0, known = 0;
  for (const zp::lobby::TableRow& row : lobby.rows()) {
    unknown += row.state == zp::lobby::TableState::kUnknown;
    asking += row.state == zp::lobby::TableState::kAsking;
    known += row.state == zp::lobby::TableState::kKnown;
  }
  std::printf("rows: %zu, answering %d, still asking %d\n", lobby.rows().size(), known, asking);
  std::printf("tables: %d added, %d answer, %d accept and never answer; %d rounds of %lld ms\n",
              kTables, kTables / 2, kTables / 2, rounds,
              static_cast<long long>(zp::lobby::kRefreshMs));
  std::printf("every answering table listed after: %.1f ms (goal under 2500)\n",
              allListed < 0 ? -1.0 : static_cast<double>(allListed) / 1e6);
  std::printf("silent tables shown as unknown at the end: %d\n", unknown);
  std::printf("longest event-loop stall: %.2f ms at %.0f ms after the start (goal none over 16)\n",
              static_cast<double>(longest) / 1e6, static_cast<double>(longestAt - started) / 1e6);
  std::printf("stalls over 16 ms: %d\n", over16);
  std::printf("longest stall in the window's own CPU time: %.2f ms; over 16 ms: %d\n",
              static_cast<double>(longestBusy) / 1e6, busyOver16);
  return allListed < 0 ? 1 : 0;
}
