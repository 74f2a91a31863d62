#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "directory/table_directory.h"
#include "net/dispatch.h"

namespace zp::directory::testing {

// Everything the directory asked of the world, kept for the test to look at. A peer reads
// what it is sent at once, unless the test has it stop reading: what it is sent then waits,
// unsent, until it reads again.
class FakeShell : public DirectoryShell {
 public:
  bool send(int peer, std::string_view bytes) override {
    if (gone.count(peer)) return false;
    unread[peer].append(bytes);
    if (!notReading.count(peer)) read(peer);
    return true;
  }
  void close(int peer) override {
    closed.push_back(peer);
    gone.insert(peer);
  }
  std::size_t unsentBytes(int peer) const override {
    const auto found = unread.find(peer);
    return found == unread.end() ? 0 : found->second.size();
  }
  void news(std::string_view line) override { newsLines.emplace_back(line); }
  // Answered at once as `reachable` says, unless the test holds the answers back.
  void probe(int id, const std::string& address, int port) override {
    probes.push_back({id, address, port});
    if (answerProbes && directory != nullptr)
      directory->probeAnswered(id, !unreachable.count({address, port}));
  }
  std::uint64_t randomNumber() override {
    return next = next * 6364136223846793005ULL + 1442695040888963407ULL;
  }

  // The peer takes everything sent so far.
  void read(int peer) {
    std::string& bytes = unread[peer];
    readers[peer].feed(bytes, [&](std::string&& m) { inbox[peer].push_back(std::move(m)); });
    bytes.clear();
  }

  std::map<int, net::MessageReader> readers;
  std::map<int, std::vector<std::string>> inbox;
  std::map<int, std::string> unread;
  std::set<int> notReading;
  std::vector<int> closed;  // every close, in order
  std::set<int> gone;       // the numbers closed and not given out again
  std::vector<std::string> newsLines;
  struct Probe {
    int id;
    std::string address;
    int port;
  };
  std::vector<Probe> probes;
  bool answerProbes = true;
  std::set<std::pair<std::string, int>> unreachable;
  TableDirectory* directory = nullptr;
  std::uint64_t next = 1;
};

// A directory with its fake world.
class Directory {
 public:
  explicit Directory(PeerLimits limits = PeerLimits()) : directory(shell, limits) {
    shell.directory = &directory;
  }

  int connect(const std::string& address) {
    const int peer = directory.acceptPeer(address).peer;
    // A new connection with a number used before starts with nothing of the last one's.
    shell.readers.erase(peer);
    shell.inbox.erase(peer);
    shell.unread.erase(peer);
    shell.notReading.erase(peer);
    shell.gone.erase(peer);
    return peer;
  }
  // The bytes arrive, and every list is written on as far as its peer reads.
  void deliver(int peer, std::string_view bytes) {
    directory.bytesReceived(peer, bytes);
    writeLists();
  }
  void writeLists() {
    while (directory.writeLists()) {
    }
  }
  void seconds(int count) {
    for (int i = 0; i < count; ++i) directory.secondTick();
  }
  net::TableInfo info(const std::string& name) {
    return {name, "1.0.15", false, 0, 0, 0, {name, "", "", ""}, std::nullopt};
  }
  void registerTable(int peer, int port, const std::string& name = "T") {
    deliver(peer, net::to_directory::registertable({port, info(name)}));
  }
  // The list as a lobby reads it from `peer`'s inbox: the tables, and whether it ended with
  // a matching count.
  std::vector<net::ListedTable> list(int peer, bool* complete = nullptr) {
    shell.inbox[peer].clear();
    deliver(peer, net::to_directory::tablelist());
    return listIn(peer, complete);
  }
  std::vector<net::ListedTable> listIn(int peer, bool* complete = nullptr) {
    std::vector<net::ListedTable> tables;
    bool ended = false;
    for (const std::string& m : shell.inbox[peer]) {
      const net::SplitMessage split = net::splitMessage(m);
      if (split.command == net::cmd::listedtable) {
        if (auto t = net::from_directory::parseListedTable(split.args)) tables.push_back(*t);
      } else if (split.command == net::cmd::tablelistend) {
        const auto count = net::from_directory::parseTableListEnd(split.args);
        ended = count && count->count == static_cast<int>(tables.size());
      }
    }
    if (complete) *complete = ended;
    return tables;
  }
  std::string last(int peer) {
    const auto& messages = shell.inbox[peer];
    return messages.empty() ? "" : messages.back();
  }
  // Tables from addresses of their own, `perAddress` each, until `count` are listed.
  void fill(int count, int perAddress = kMaxTablesPerAddress) {
    int peer = -1;
    for (int n = 0; static_cast<int>(directory.tables().size()) < count; ++n) {
      if (n % perAddress == 0)
        peer = connect("10.1." + std::to_string(n / perAddress / 256) + "." +
                       std::to_string(n / perAddress % 256));
      registerTable(peer, 1 + n % perAddress, "Table " + std::to_string(n));
    }
  }

  FakeShell shell;
  TableDirectory directory;
};

}  // namespace zp::directory::testing
