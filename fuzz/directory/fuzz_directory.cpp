// Feeds the directory's logic random traffic from peers at a few addresses that connect,
// send and disconnect at random, with seconds passing in between.
#include <cstddef>
#include <cstdint>
#include <string>

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
  void send(int peer, std::string_view bytes) override {
    check(peer >= 0 && !bytes.empty() && bytes.back() == net::kTerminator);
    reader.feed(bytes, [](std::string&& m) {
      const net::SplitMessage split = net::splitMessage(m);
      if (split.command == net::cmd::listedtable)
        check(net::from_directory::parseListedTable(split.args).has_value());
      else if (split.command == net::cmd::registered)
        check(net::from_directory::parseRegistered(split.args).has_value());
      else if (split.command == net::cmd::refused)
        check(net::from_directory::parseRefused(split.args).has_value());
      else
        check(split.command == net::cmd::tablelistend &&
              net::from_directory::parseTableListEnd(split.args).has_value());
    });
  }
  void close(int peer) override { check(peer >= 0); }
  std::size_t unsentBytes(int) const override { return unsent; }
  std::size_t unsent = 0;
  net::MessageReader reader;
};

const char* const kAddresses[] = {"10.0.0.1", "10.0.0.2", "::1", "2001:db8::5", "bogus"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckingShell shell;
  TableDirectory directory(shell);
  zp::fuzzing::FuzzInput in(data, size);
  while (in.more()) {
    const std::uint8_t op = in.byte();
    const int peer = in.byte() % 16;
    switch (op % 8) {
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
        switch (in.byte() % 3) {
          case 0:
            directory.bytesReceived(peer,
                                    net::to_directory::registertable({port,
                                                                      {in.bytes(in.byte() % 8),
                                                                       "1.0.15",
                                                                       (in.byte() & 1) != 0,
                                                                       in.byte(),
                                                                       in.byte() % 60,
                                                                       in.byte() % 6,
                                                                       {}}}));
            break;
          case 1:
            directory.bytesReceived(peer, net::to_directory::withdrawtable({port}));
            break;
          default:
            directory.bytesReceived(peer, net::to_directory::tablelist());
            break;
        }
        break;
      }
      case 4:
        shell.unsent = in.byte() < 16 ? kListBacklogBytes + 1 : 0;
        break;
      case 5:
        for (int i = in.byte() % 70; i >= 0; --i) directory.secondTick();
        break;
      default:
        for (int i = 0; i < 8 && directory.serveOne(); ++i) {
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
    check(directory.peers() >= 0 && directory.peers() <= kMaxPeers);
  }
  return 0;
}
