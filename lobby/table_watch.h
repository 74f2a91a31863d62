#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <unordered_map>

#include "lobby/network_ask.h"
#include "lobby/table_finder.h"

namespace zp::lobby {

// The TableFinder's Qt shell: one socket per ask, and the tick that starts each round and
// gives up on late answers. Nothing here waits: sockets report through the event loop.
//
//   TableWatch watch;
//   QObject::connect(&watch, &TableWatch::changed, [&] { show(watch.finder().rows()); });
//   watch.finder().setAdded({{"192.168.1.20", 7772}});
//   watch.start();
class TableWatch : public QObject, private FinderShell {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 100;
  // A table's answer is a few hundred bytes; a directory's list of 10,000 tables some MB.
  static constexpr qint64 kMaxTableBytes = 64 * 1024;
  static constexpr qint64 kMaxDirectoryBytes = 16 * 1024 * 1024;
  // Connections opened in one turn of the event loop: a round of many tables is spread over
  // a few turns, so the window never waits for all of them at once.
  static constexpr int kOpensPerTurn = 16;

  explicit TableWatch(QObject* parent = nullptr);
  ~TableWatch() override;

  TableFinder& finder() { return finder_; }
  const TableFinder& finder() const { return finder_; }
  // Asks at once, then every kRefreshMs.
  void start();
  void refresh() { finder_.refresh(clock_.elapsed()); }
  int asksUnderWay() const { return static_cast<int>(asks_.size()); }
  // Each round also asks the tables on the local network, which answer on `tablesPort`.
  void askLocalNetwork(quint16 tablesPort,
                       NetworkAsk::Reach reach = NetworkAsk::Reach::kLocalNetwork);

 signals:
  void changed();
  // The local network cannot be asked; said once.
  void networkProblem(const QString& text);

 private:
  struct Ask;
  void askTable(int ask, const net::HostPort& where) override;
  void askDirectory(int ask, const net::HostPort& where) override;
  void cancel(int ask) override;
  void listChanged() override { emit changed(); }
  void askNetwork(const std::string& query) override;
  void queue(int ask, const net::HostPort& where, bool directory);
  void openSome();
  void open(int ask, const net::HostPort& where, bool directory);
  void connectTo(int ask, const std::string& address);
  void received(int ask, const QByteArray& bytes);
  void failed(int ask, bool refused);
  void drop(int ask);

 private:
  TableFinder finder_;
  QElapsedTimer clock_;
  QTimer tick_;
  std::unordered_map<int, std::unique_ptr<Ask>> asks_;
  struct Queued {
    int ask;
    net::HostPort where;
    bool directory;
  };
  std::deque<Queued> queued_;
  QTimer opener_;
  NetworkAsk* network_ = nullptr;  // a child
};

}  // namespace zp::lobby
