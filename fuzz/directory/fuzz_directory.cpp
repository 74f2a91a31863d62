// Feeds the directory's logic random traffic from peers at a few addresses that connect,
// send and disconnect at random, with seconds passing in between.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "directory/table_directory.h"
#include "fuzz/fuzz_input.h"

namespace {

using namespace zp::directory;
namespace net = zp::net;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

// Every message the directory sends must read.
class CheckingShell : public DirectoryShell {
 public:
  bool send(int peer, std::string_view bytes) override {
    check(peer >= 0 && !bytes.empty() && bytes.back() == net::kTerminator);
    reader.feed(bytes, [](std::string&& m) {
      const net::SplitMessage split = net::splitMessage(m);
      if (split.command == net::cmd::listedtable)
        check(net::from_directory::parseListedTable(split.args).has_value());
      else if (split.command == net::cmd::registered)
        check(net::from_directory::parseRegistered(split.args).has_value());
      else if (split.command == net::cmd::refused)
        check(net::from_directory::parseRefused(split.args).has_value());
      else if (split.command == net::cmd::reach)
        check(net::from_directory::parseReach(split.args).has_value());
      else if (split.command == net::cmd::relayopen)
        check(net::from_directory::parseRelayOpen(split.args).has_value());
      else if (split.command == net::cmd::relayedtable)
        check(net::from_directory::parseRelayedTable(split.args).has_value());
      else if (split.command == net::cmd::codeat)
        check(net::from_directory::parseCodeAt(split.args).has_value());
      else
        check(split.command == net::cmd::tablelistend &&
              net::from_directory::parseTableListEnd(split.args).has_value());
    });
    return true;
  }
  void close(int peer) override { check(peer >= 0); }
  std::size_t unsentBytes(int) const override { return unsent; }
  // Answered later, when the input says so.
  void probe(int id, const std::string&, int) override { probes.push_back(id); }
  std::uint64_t randomNumber() override { return ++drawn; }
  std::size_t unsent = 0;
  std::vector<int> probes;
  std::uint64_t drawn = 0;
  net::MessageReader reader;
};

// The relay's connections: whatever it sends is a refusal that reads, the joined answer, or
// bytes it passes on (which the fuzzer's traffic makes anything).
class RelayWorld : public RelayShell {
 public:
  bool send(int link, std::string_view bytes) override {
    check(link >= 0 && !bytes.empty());
    return true;
  }
  void close(int link) override { check(link >= 0); }
  void pauseReading(int link) override { check(link >= 0); }
  void resumeReading(int link) override { check(link >= 0); }
  std::size_t unsentBytes(int) const override { return unsent; }
  std::uint64_t randomNumber() override { return ++drawn; }
  std::size_t unsent = 0;
  std::uint64_t drawn = 0;
};

const char* const kAddresses[] = {"10.0.0.1", "10.0.0.2", "::1", "2001:db8::5", "bogus"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckingShell shell;
  // Few connections, so that making room for a new one is reached too.
  TableDirectory directory(shell, PeerLimits{12, 6, 3});
  directory.setRelay("", 7770);
  RelayWorld relayWorld;
  Relay relay(relayWorld, directory, RelayLimits{3, 4, 5, 8, 100, 400});
  zp::fuzzing::FuzzInput in(data, size);
  while (in.more()) {
    const std::uint8_t op = in.byte();
    const int peer = in.byte() % 16;
    switch (op % 9) {
      case 0:
        directory.acceptPeer(kAddresses[in.byte() % 5]);
        break;
      case 1:
        directory.peerClosed(peer);
        break;
      case 2:
        directory.bytesReceived(peer, in.bytes(in.byte()));
        break;
      case 3: {  // well-formed traffic, to reach the limits and the list
        const int port = 1 + in.byte() % 80;
        switch (in.byte() % 6) {
          case 0:
            directory.bytesReceived(peer,
                                    net::to_directory::registertable({port,
                                                                      {in.bytes(in.byte() % 8),
                                                                       "1.0.15",
                                                                       (in.byte() & 1) != 0,
                                                                       in.byte(),
                                                                       in.byte() % 60,
                                                                       in.byte() % 6,
                                                                       {},
                                                                       std::nullopt}}));
            break;
          case 1:
            directory.bytesReceived(peer, net::to_directory::withdrawtable({port}));
            break;
          case 2:
            directory.bytesReceived(
                peer, net::to_directory::reachme({port, in.byte() & 1 ? net::Visibility::kInvite
                                                                      : net::Visibility::kPublic}));
            break;
          case 3: {  // a code the directory gave out, or one it never did
            const auto table = directory.tables().begin();
            const std::string code = in.byte() & 1 && table != directory.tables().end()
                                         ? table->second.code
                                         : net::inviteCodeFromNumber(in.byte());
            directory.bytesReceived(peer, net::to_directory::findcode({code}));
            if (const auto refusal = directory.openBack(code, "0123456789abcdef"); !refusal)
              check(directory.tableWithCode(code) != nullptr);
            break;
          }
          case 4:
            if (!shell.probes.empty()) {
              const std::size_t n = in.byte() % shell.probes.size();
              directory.probeAnswered(shell.probes[n], in.byte() & 1);
              shell.probes.erase(shell.probes.begin() + static_cast<long>(n));
            }
            break;
          default:
            directory.bytesReceived(peer, net::to_directory::tablelist());
            break;
        }
        break;
      }
      case 4:
        shell.unsent = in.byte() < 128 ? kListPieceBytes : 0;
        break;
      case 5:
        for (int i = in.byte() % 70; i >= 0; --i) {
          directory.secondTick();
          relay.secondTick();
        }
        break;
      case 6: {  // the relay: connections, their bytes (well-formed or not) and their ends
        const int link = in.byte() % 10;
        switch (in.byte() % 5) {
          case 0:
            relay.acceptLink(kAddresses[in.byte() % 5]);
            break;
          case 1:
            relay.linkClosed(link);
            break;
          case 2: {
            const auto table = directory.tables().begin();
            const std::string code = in.byte() & 1 && table != directory.tables().end()
                                         ? table->second.code
                                         : net::inviteCodeFromNumber(in.byte());
            relay.bytesReceived(
                link, net::to_relay::relayjoin({code}) + std::string(in.bytes(in.byte() % 8)));
            break;
          }
          case 3:
            relay.bytesReceived(
                link, net::to_relay::relayback({net::local_network::tokenText(relayWorld.drawn)}));
            break;
          default:
            relay.bytesReceived(link, in.bytes(in.byte()));
            break;
        }
        relayWorld.unsent = in.byte() < 200 ? 0 : kRelayMaxUnsent;
        break;
      }
      default:
        for (int i = 0; i < 8 && directory.writeLists(); ++i) {
        }
        break;
    }
    // What the directory holds stays within its bounds and its counts agree.
    int counted = 0;
    for (const auto& [key, table] : directory.tables()) {
      check(directory.now() - table.refreshed < kExpirySeconds);
      check(net::isAddressText(key.first) && key.second >= 1 && key.second <= 65535);
      ++counted;
    }
    int byAddress = 0;
    for (const char* address : kAddresses) {
      check(directory.tablesAt(address) <= kMaxTablesPerAddress);
      byAddress += directory.tablesAt(address);
    }
    check(counted == byAddress && counted <= kMaxTables);
    // Every live table has its own code, and the codes name nothing else.
    for (const auto& [key, table] : directory.tables())
      check(directory.tableWithCode(table.code) == &table);
    check(directory.probesUnderWay() <= kMaxProbes);
    check(relay.links() >= 0 && relay.links() <= relay.limits().total);
    check(relay.pairs() * 2 <= relay.links());
    check(directory.peers() >= 0 && directory.peers() <= directory.limits().total);
    check(directory.writingLists() == false || directory.peers() > 0);
  }
  return 0;
}
