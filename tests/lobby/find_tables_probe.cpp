// A test's probe of the local network, to run inside a network namespace:
//
//   find_tables_probe find PORT SECONDS [HOST:PORT...]
//     runs the lobby's finder, asking the local network (tables answer on PORT) and the
//     tables added by address, and prints a line whenever the tables it lists change:
//     "after 12 ms: 10.77.1.11:7800 Table A | 10.77.1.12:7800 Table B"
//   find_tables_probe ask ADDRESS PORT COUNT SPREAD_MS [malformed]
//     sends COUNT questions (each with its own token, or malformed ones) to ADDRESS:PORT
//     spread over SPREAD_MS, listens one second more and prints
//     "sent 10000 in 990 ms, datagrams 19, answers 19, largest 93, query 600"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "lobby/table_watch.h"
#include "net/catalogue.h"
#include "net/datagram_socket.h"

namespace {

using namespace zp;

int usage() {
  std::fprintf(stderr,
               "usage: find_tables_probe find PORT SECONDS [HOST:PORT...]\n"
               "       find_tables_probe ask ADDRESS PORT COUNT SPREAD_MS [malformed]\n");
  return 2;
}

int find(quint16 port, int seconds, const std::vector<net::HostPort>& added) {
  lobby::TableWatch watch;
  QElapsedTimer clock;
  std::string last;
  QObject::connect(&watch, &lobby::TableWatch::changed, [&] {
    std::string line;
    for (const lobby::TableRow& row : watch.finder().rows()) {
      if (!line.empty()) line += " | ";
      line += net::hostPortText(row.where) + " " + (row.info ? row.info->name : "?");
    }
    if (line == last) return;
    last = line;
    std::printf("after %lld ms: %s\n", static_cast<long long>(clock.elapsed()), line.c_str());
    std::fflush(stdout);
  });
  QObject::connect(&watch, &lobby::TableWatch::networkProblem, [](const QString& text) {
    std::printf("problem: %s\n", qPrintable(text));
    std::fflush(stdout);
  });
  watch.askLocalNetwork(port);
  watch.finder().setAdded(added);
  clock.start();
  watch.start();
  QTimer::singleShot(seconds * 1000, [] { QCoreApplication::quit(); });
  return QCoreApplication::exec();
}

std::string malformed(int i) {
  std::string query = net::local_network::findtables({net::local_network::tokenText(1)});
  switch (i % 4) {
    case 0:
      return query.substr(0, query.size() - 2) + '\xFF';  // one byte short
    case 1:
      query[15] = 'G';  // not a token
      return query;
    case 2:
      return net::local_network::foundtable(
          {net::local_network::tokenText(1), net::local_network::tokenText(2), 7772, {}});
    default:
      return query + '.';  // one byte long
  }
}

int ask(const net::IpAddress& to, quint16 port, int count, int spreadMs, bool bad) {
  net::DatagramSocket socket;
  if (!socket.bind(0, net::DatagramSocket::Sharing::kAlone)) {
    std::fprintf(stderr, "bind: %s\n", qPrintable(socket.errorString()));
    return 1;
  }
  int datagrams = 0;
  int answers = 0;
  std::size_t largest = 0;
  QObject::connect(&socket, &net::DatagramSocket::readyRead, [&] {
    while (socket.hasWaiting()) {
      for (const auto& d : socket.take(net::kLocalQueryBytes, 1000)) {
        ++datagrams;
        largest = std::max(largest, d.bytes.size());
        if (net::local_network::parseFoundTable(d.bytes)) ++answers;
      }
    }
  });
  const int steps = std::max(1, spreadMs / 10);
  int sent = 0;
  int step = 0;
  QElapsedTimer clock;
  qint64 lastSend = 0;
  QTimer pace;
  pace.setInterval(10);
  auto send = [&] {
    const int until = static_cast<int>(static_cast<long long>(count) * ++step / steps);
    for (; sent < until; ++sent) {
      const std::string bytes =
          bad ? malformed(sent)
              : net::local_network::findtables(
                    {net::local_network::tokenText(0x5000000000000000ULL + sent)});
      socket.sendTo(to, port, bytes);
    }
    lastSend = clock.elapsed();
    if (sent >= count) {
      pace.stop();
      QTimer::singleShot(1000, [] { QCoreApplication::quit(); });
    }
  };
  QObject::connect(&pace, &QTimer::timeout, send);
  clock.start();
  pace.start();
  send();
  QCoreApplication::exec();
  std::printf("sent %d in %lld ms, datagrams %d, answers %d, largest %zu, query %zu\n", sent,
              static_cast<long long>(lastSend), datagrams, answers, largest, net::kLocalQueryBytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() >= 3 && args[0] == "find") {
    std::vector<net::HostPort> added;
    for (const QString& text : args.mid(3)) {
      const auto where = net::parseHostPort(text.toStdString(), lobby::kTablePort);
      if (!where) return usage();
      added.push_back(*where);
    }
    return find(args[1].toUShort(), args[2].toInt(), added);
  }
  if ((args.size() == 5 || args.size() == 6) && args[0] == "ask") {
    const auto to = net::IpAddress::parse(args[1].toStdString());
    if (!to) return usage();
    return ask(*to, args[2].toUShort(), args[3].toInt(), args[4].toInt(),
               args.size() == 6 && args[5] == "malformed");
  }
  return usage();
}
