// Opens game connections as the window and the lobby do and prints what they reported, with
// the seconds since the start. probe_connect.py builds the network it runs in.
//
//   net_probe connect HOST PORT [LIMIT_S]
//       one connection; each report on a line; ends once connected, closed, or at the limit
//   net_probe names PORT GOOD SILENT...
//       a connection to each SILENT name, then one to GOOD; ends once GOOD has connected (or
//       closed), and says how many of the silent ones had been answered by then
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "net/connection.h"

namespace {

using zp::net::GameConnection;

QElapsedTimer clock_;

double seconds() {
  return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

int usage() {
  std::fputs(
      "usage: net_probe connect HOST PORT [LIMIT_S]\n"
      "       net_probe names PORT GOOD SILENT...\n",
      stderr);
  return 2;
}

int probeConnect(const QString& host, quint16 port, int limitS) {
  GameConnection connection;
  QObject::connect(&connection, &GameConnection::OnInfo, [&](const QString& text) {
    std::printf("%8.3f s  %s\n", seconds(), qPrintable(text));
    std::fflush(stdout);
    if (text == GameConnection::kConnected || text == GameConnection::kSocketClosed)
      QCoreApplication::exit(text == GameConnection::kConnected ? 0 : 1);
  });
  QTimer::singleShot(limitS * 1000, Qt::PreciseTimer, [&] {
    std::printf("%8.3f s  still not connected: given up\n", seconds());
    QCoreApplication::exit(1);
  });
  connection.connectToHost(host, port);
  return QCoreApplication::exec();
}

int probeNames(quint16 port, const QString& good, const QStringList& silent) {
  std::vector<std::unique_ptr<GameConnection>> asked;
  int answered = 0;
  for (const QString& name : silent) {
    asked.push_back(std::make_unique<GameConnection>());
    QObject::connect(asked.back().get(), &GameConnection::OnInfo, [&](const QString& text) {
      if (text == GameConnection::kSocketClosed) ++answered;
    });
    asked.back()->connectToHost(name, port);
  }
  GameConnection wanted;
  QObject::connect(&wanted, &GameConnection::OnInfo, [&](const QString& text) {
    if (text != GameConnection::kConnected && text != GameConnection::kSocketClosed) return;
    std::printf("%8.3f s  %s: %s (%d of %lld silent names answered by then)\n", seconds(),
                qPrintable(good), qPrintable(text), answered,
                static_cast<long long>(silent.size()));
    std::fflush(stdout);
    QCoreApplication::exit(text == GameConnection::kConnected ? 0 : 1);
  });
  wanted.connectToHost(good, port);
  QTimer::singleShot(60000, Qt::PreciseTimer, [&] {
    std::printf("%8.3f s  %s: no answer within 60 s\n", seconds(), qPrintable(good));
    QCoreApplication::exit(1);
  });
  const int result = QCoreApplication::exec();
  // The silent look-ups may still hold the resolver: nothing waits for them.
  std::fflush(stdout);
  std::_Exit(result);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  clock_.start();
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.size() >= 3 && args[0] == QLatin1String("connect"))
    return probeConnect(args[1], static_cast<quint16>(args[2].toUInt()),
                        args.size() > 3 ? args[3].toInt() : 45);
  if (args.size() >= 3 && args[0] == QLatin1String("names"))
    return probeNames(static_cast<quint16>(args[1].toUInt()), args[2], args.mid(3));
  return usage();
}
