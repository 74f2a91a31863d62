#pragma once

#include <map>
#include <string>
#include <vector>

#include "directory/table_directory.h"
#include "net/dispatch.h"

namespace zp::directory::testing {

// Everything the directory asked of the world, kept for the test to look at.
class FakeShell : public DirectoryShell {
 public:
  void send(int peer, std::string_view bytes) override {
    net::MessageReader& reader = readers[peer];
    reader.feed(bytes, [&](std::string&& m) { inbox[peer].push_back(std::move(m)); });
  }
  void close(int peer) override { closed.push_back(peer); }
  std::size_t unsentBytes(int peer) const override {
    const auto found = unsent.find(peer);
    return found == unsent.end() ? 0 : found->second;
  }
  void news(std::string_view line) override { newsLines.emplace_back(line); }

  std::map<int, net::MessageReader> readers;
  std::map<int, std::vector<std::string>> inbox;
  std::vector<int> closed;
  std::map<int, std::size_t> unsent;
  std::vector<std::string> newsLines;
};

// A directory with its fake world.
class Directory {
 public:
  int connect(const std::string& address) { return directory.acceptPeer(address).peer; }
  void deliver(int peer, std::string_view bytes) {
    directory.bytesReceived(peer, bytes);
    while (directory.serveOne()) {
    }
  }
  void seconds(int count) {
    for (int i = 0; i < count; ++i) directory.secondTick();
  }
  net::TableInfo info(const std::string& name) {
    return {name, "1.0.15", false, 0, 0, 0, {name, "", "", ""}};
  }
  void registerTable(int peer, int port, const std::string& name = "T") {
    deliver(peer, net::to_directory::registertable({port, info(name)}));
  }
  // The list as a lobby reads it from `peer`'s inbox: the tables, and whether it ended with
  // a matching count.
  std::vector<net::ListedTable> list(int peer, bool* complete = nullptr) {
    shell.inbox[peer].clear();
    deliver(peer, net::to_directory::tablelist());
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

  FakeShell shell;
  TableDirectory directory{shell};
};

}  // namespace zp::directory::testing
