#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <functional>
#include <string>
#include <vector>

#include "net/framing.h"

namespace zp::testing {

// Runs the event loop until `done` holds or `ms` pass; true when it held.
inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// A player over real TCP: keeps every message it receives.
class LoopbackClient {
 public:
  // `readBuffer` > 0 makes a client that takes no more than that from the network: with
  // inbox never read, it stands for a peer that stops reading.
  explicit LoopbackClient(quint16 port, qint64 readBuffer = 0) {
    if (readBuffer > 0) {
      socket.setReadBufferSize(readBuffer);
      socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
      connectToHost(port);
      return;
    }
    QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
      const QByteArray bytes = socket.readAll();
      reader.feed(std::string_view(bytes.constData(), bytes.size()),
                  [this](std::string&& m) { inbox.push_back(std::move(m)); });
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
    connectToHost(port);
  }
  void connectToHost(quint16 port) { socket.connectToHost("127.0.0.1", port); }
  void write(std::string_view bytes) {
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket.flush();
  }
  bool has(const std::string& message) const {
    for (const auto& m : inbox)
      if (m == message) return true;
    return false;
  }
  bool waitFor(const std::string& message, int ms = 5000) {
    return waitUntil([&] { return has(message); }, ms);
  }

  QTcpSocket socket;
  net::MessageReader reader;
  std::vector<std::string> inbox;
  bool closed = false;
};

}  // namespace zp::testing
