#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/catalogue.h"
#include "server/table_server.h"

namespace zp::server::testing {

using board::kDown;
using board::kLeft;
using board::kRight;
using board::kUp;

// Everything the table asked of the world, kept for the test to look at.
class FakeShell : public ServerShell {
 public:
  void send(int record, std::string_view message) override {
    // Messages go out whole: strip the terminator to keep expectations readable.
    std::string text(message);
    if (!text.empty() && text.back() == '\xFF') text.pop_back();
    inbox[record].push_back(text);
    log.push_back({record, text});
  }
  void close(int record) override { closed.push_back(record); }
  void moveConnection(int from, int to) override { moves.push_back({from, to}); }
  // Tokens that differ and can be told apart: "0000...01", "0000...02", ...
  std::string secretToken() override {
    std::string token = std::to_string(++tokens);
    return std::string(net::kRejoinTokenChars - token.size(), '0') + token;
  }
  void startTimer(ServerTimer timer) override { running.insert(timer); }
  void stopTimer(ServerTimer timer) override { running.erase(timer); }
  std::int64_t secondsNow() const override { return now; }
  void tellHost(std::string_view text) override { hostNotices.emplace_back(text); }
  void news(std::string_view line) override { newsLines.emplace_back(line); }

  bool isRunning(ServerTimer timer) const { return running.count(timer) > 0; }

  struct Sent {
    int record;
    std::string text;
  };
  std::map<int, std::vector<std::string>> inbox;
  std::vector<Sent> log;
  std::vector<int> closed;
  std::vector<std::pair<int, int>> moves;
  int tokens = 0;
  std::set<ServerTimer> running;
  std::vector<std::string> hostNotices;
  std::vector<std::string> newsLines;
  std::int64_t now = 1000;
};

// Answers from a handful of words.
class SetChecker : public words::WordChecker {
 public:
  explicit SetChecker(std::set<std::string> words) : words_(std::move(words)) {}
  bool checkword(std::string_view word) override {
    asked.emplace_back(word);
    return words_.count(std::string(word)) > 0;
  }
  std::vector<std::string> asked;

 private:
  std::set<std::string> words_;
};

// A table with its fake world: connect players, send their messages, let time pass.
class Table {
 public:
  explicit Table(std::set<std::string> words = {}, std::vector<std::string> candidates = {},
                 std::uint64_t seed = 1)
      : checker(std::move(words)),
        candidates_(std::move(candidates)),
        server(shell, checker, candidates_, seed) {}
  // A table that asks another dictionary and plays other candidates.
  Table(words::WordChecker& spell, std::span<const std::string> candidates, std::uint64_t seed)
      : checker({}), server(shell, spell, candidates, seed) {}

  int connect() {
    const int n = server.chooseRecord();
    server.connectionAccepted(n);
    return n;
  }
  // Delivers raw bytes from a record and dispatches everything that is waiting.
  void deliver(int record, std::string_view bytes) {
    server.bytesReceived(record, bytes);
    pump();
  }
  void pump() {
    while (server.hasWaitingMessages()) server.socktimerTimer();
  }
  int join(const std::string& name, std::string_view version = zp::kGameVersion) {
    const int n = connect();
    deliver(n, net::to_server::logininfo({n, std::string(version), name}));
    return n;
  }
  // A player who leaves on purpose says goodbye; a connection that never logged in just ends.
  void leave(int record) {
    if (server.player(record).connected) deliver(record, net::to_server::goodbye({record}));
    if (server.player(record).connected || !server.held(record)) server.connectionClosed(record);
  }
  // The connection ends without a goodbye.
  void drop(int record) { server.connectionClosed(record); }
  // One second: each running timer ticks once, the turn timer first, then the relay
  // allowance's as often as it does in a second.
  void second() {
    const bool turn = shell.isRunning(ServerTimer::Timer1);
    const bool computer = shell.isRunning(ServerTimer::computertimer);
    const bool login = shell.isRunning(ServerTimer::logintimer);
    const bool hold = shell.isRunning(ServerTimer::holdtimer);
    if (turn) server.Timer1Timer();
    if (computer && shell.isRunning(ServerTimer::computertimer)) server.computertimerTimer();
    for (int i = 0; i < 1000 / kRelayTickMs && shell.isRunning(ServerTimer::relaytimer); ++i)
      server.relaytimerTimer();
    if (login && shell.isRunning(ServerTimer::logintimer)) server.logintimerTimer();
    if (hold && shell.isRunning(ServerTimer::holdtimer)) server.holdtimerTimer();
  }
  void seconds(int count) {
    for (int i = 0; i < count; ++i) second();
  }
  void start(int playTo = 100, int secondsPerTurn = 60, bool team = false, int shuffles = 2) {
    const int host = server.host();
    deliver(host, net::to_server::startgame(
                      {server.player(host).name, playTo, secondsPerTurn, team, shuffles}));
  }
  std::vector<std::string>& inbox(int record) { return shell.inbox[record]; }
  void clearInboxes() {
    shell.inbox.clear();
    shell.log.clear();
  }
  // Messages of one command word that a record received, in order.
  std::vector<std::string> received(int record, std::string_view command) {
    std::vector<std::string> out;
    for (const auto& m : shell.inbox[record])
      if (m.rfind(std::string(command) + "+", 0) == 0) out.push_back(m);
    return out;
  }
  // Lays a word's letters on the cells and submits them in `record`'s name.
  void playWord(int record, std::string_view letters, std::initializer_list<Cell> cells) {
    lay(letters, cells);
    std::vector<net::Cell> path;
    for (const Cell& c : cells) path.push_back({c.a, c.b});
    deliver(record, net::to_server::playerdone({record, path}));
  }
  // Lays a word's letters on the given cells ("a" = 1 ... "z" = 26).
  void lay(std::string_view letters, std::initializer_list<Cell> cells) {
    std::size_t i = 0;
    for (const Cell& c : cells) server.boardForTest().set(c.a, c.b, letters[i++] - 'a' + 1);
  }

  FakeShell shell;
  SetChecker checker;

 private:
  std::vector<std::string> candidates_;

 public:
  TableServer server;
};

// A board of nothing but x, so only the letters a test lays can be traced.
inline void blank(Table& t) {
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) t.server.boardForTest().set(a, b, 'x' - 'a' + 1);
}

}  // namespace zp::server::testing
