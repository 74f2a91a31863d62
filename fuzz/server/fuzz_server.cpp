// Feeds the table's logic random traffic from up to ten connections that connect, send
// and disconnect at random, with the timers ticking in between.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "net/catalogue.h"
#include "server/table_server.h"

namespace {

using namespace zp;
using namespace zp::server;
using zp::kMaxPlayer;
using zp::kSeats;

class NullShell : public ServerShell {
 public:
  void send(int record, std::string_view message) override {
    if (record < 1 || record > kFullRecord || message.empty() || message.back() != '\xFF')
      __builtin_trap();
    bytes += message.size();
  }
  void close(int record) override {
    if (record < 1 || record > kFullRecord) __builtin_trap();
  }
  void moveConnection(int from, int to) override {
    if (from < 1 || from > kMaxPlayer || to < 1 || to > kMaxPlayer) __builtin_trap();
  }
  void startTimer(ServerTimer timer) override { running.insert(timer); }
  void stopTimer(ServerTimer timer) override { running.erase(timer); }
  void tellHost(std::string_view) override {}
  std::set<ServerTimer> running;
  std::size_t bytes = 0;
};

// Accepts words of even length, so both answers happen.
class EvenChecker : public zp::words::WordChecker {
 public:
  bool checkword(std::string_view word) override { return word.size() % 2 == 0; }
};

const std::vector<std::string> kCandidates = {"ab",   "area", "earth", "eats", "idea",
                                              "neat", "rate", "seat",  "tear", "tree"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NullShell shell;
  EvenChecker checker;
  zp::fuzzing::FuzzInput in(data, size);
  const std::uint8_t seed = in.byte();
  TableServer table(shell, checker, kCandidates, seed);
  // Every strength, Expert with a list of its own that holds words the candidates lack.
  static const zp::words::WordGraph wholeList = zp::words::WordGraph::fromWords(
      std::vector<std::string>{"area", "arena", "eaten", "earth", "rates", "seater", "treat"}, 4,
      7);
  table.setComputerStrength(zp::kComputerStrengths[seed % 4], &wholeList);

  while (in.more()) {
    const std::uint8_t op = in.byte();
    const int record = 1 + in.byte() % 10;
    switch (op % 10) {
      case 0:
        table.connectionAccepted(table.chooseRecord());
        break;
      case 1:
        table.connectionClosed(record);
        break;
      case 2:
        table.bytesReceived(record, in.bytes(in.byte()));
        break;
      case 3:  // well-formed traffic, to reach deep into games
        switch (in.byte() % 8) {
          case 0:
            table.bytesReceived(record, zp::net::to_server::logininfo(
                                            {record, std::string(zp::kGameVersion), "p"}));
            break;
          case 1:
            table.bytesReceived(
                1, zp::net::to_server::startgame({"h", 1 + in.byte(), 1 + in.byte() % 8,
                                                  (in.byte() & 1) != 0, in.byte() % 3}));
            break;
          case 2: {
            std::vector<zp::net::Cell> path;
            const int length = 1 + in.byte() % 7;
            int a = in.byte() % 7, b = in.byte() % 7;
            for (int i = 0; i < length; ++i) {
              path.push_back({a, b});
              a = std::clamp(a + in.byte() % 3 - 1, 0, 6);
              b = std::clamp(b + in.byte() % 3 - 1, 0, 6);
            }
            table.bytesReceived(record, zp::net::to_server::playerdone({record, path}));
            break;
          }
          case 3:
            table.bytesReceived(record, zp::net::to_server::justwatch({record, 1 + in.byte() % 2}));
            break;
          case 4:
            table.bytesReceived(record, zp::net::to_server::direction({record, in.byte() % 6}));
            break;
          case 5:
            table.bytesReceived(record, zp::net::to_server::chat({record, in.bytes(in.byte())}));
            break;
          case 6:
            table.bytesReceived(record, zp::net::to_server::tableinfo());
            break;
          default:
            table.bytesReceived(record, zp::net::to_server::shuffle({record}));
            break;
        }
        break;
      case 4:
      case 5:
        table.socktimerTimer();
        break;
      case 6:
        if (shell.running.count(ServerTimer::Timer1)) table.Timer1Timer();
        break;
      case 7:
        if (shell.running.count(ServerTimer::computertimer)) table.computertimerTimer();
        if (shell.running.count(ServerTimer::relaytimer)) table.relaytimerTimer();
        break;
      case 8:
        if (shell.running.count(ServerTimer::logintimer)) table.logintimerTimer();
        break;
      default:
        for (int i = 0; i < 8 && table.hasWaitingMessages(); ++i) table.socktimerTimer();
        break;
    }
    // What the table holds stays bounded whatever arrives.
    for (int r = 1; r <= zp::kMaxPlayer; ++r)
      if (table.pendingBytes(r) > zp::net::kMaxMessageBytes || table.waitingMessages(r) > 32)
        __builtin_trap();
    if (table.game().current < 0 || table.game().current > zp::kSeats) __builtin_trap();
    // What the table tells a lobby always reads back.
    const std::string info = zp::net::to_players::tableinfo(table.tableInfo());
    const std::string_view args(info.data() + info.find('+') + 1, info.size() - info.find('+') - 2);
    if (!zp::net::to_players::parseTableInfo(args)) __builtin_trap();
  }
  return 0;
}
