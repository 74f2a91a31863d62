// Feeds the datagrams that find tables on the local network, arbitrary or a real question or
// answer with a few bytes changed, to the table that answers and to the lobby that reads the
// answers. A table may only ever answer a well-formed question from a local sender, with no
// more bytes than it was sent; the lobby may only ever list what reads back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "lobby/network_tables.h"
#include "net/catalogue.h"
#include "server/query_answerer.h"

namespace {

using namespace zp;
using net::IpAddress;
using net::IpNetwork;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

IpAddress ip(const char* text) {
  return *IpAddress::parse(text);
}

const std::vector<IpNetwork>& attached() {
  static const std::vector<IpNetwork> networks = {
      {ip("10.77.1.11"), 24}, {ip("127.0.0.1"), 8}, {ip("::1"), 128}, {ip("fe80::11%2"), 64}};
  return networks;
}

std::uint64_t number(fuzzing::FuzzInput& in) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = value << 8 | in.byte();
  return value;
}

// A few bytes replaced, put in or taken out.
void edit(fuzzing::FuzzInput& in, std::string& datagram) {
  for (int edits = in.byte() % 8; edits > 0; --edits) {
    const std::size_t at = (in.byte() * 256u + in.byte()) % (datagram.size() + 1);
    const char c = static_cast<char>(in.byte());
    switch (in.byte() % 3) {
      case 0:
        if (at < datagram.size()) datagram[at] = c;
        break;
      case 1:
        datagram.insert(at, 1, c);
        break;
      default:
        if (at < datagram.size()) datagram.erase(at, 1);
    }
  }
}

net::TableInfo info(fuzzing::FuzzInput& in) {
  net::TableInfo m;
  m.name = in.bytes(in.byte());
  m.version = in.bytes(in.byte() % 32);
  m.playing = in.byte() % 2;
  m.spectators = in.byte() % (net::kMaxSpectators + 1);
  for (std::string& seat : m.seats) seat = in.bytes(in.byte() % 96);
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::FuzzInput in(data, size);
  static const char* const kSenders[] = {"10.77.1.13",        "127.0.0.1",    "fe80::13%2",
                                         "fe80::13%3",        "198.51.100.7", "10.77.2.11",
                                         "::ffff:10.77.1.20", "2001:db8::1"};
  const IpAddress from = ip(kSenders[in.byte() % 8]);
  const auto fromPort = static_cast<std::uint16_t>(in.byte() * 256u + in.byte());

  lobby::NetworkTables network(2000, 1);
  const std::string asked = network.startRound(0);
  const std::string askedToken = net::local_network::parseFindTables(asked)->token;

  std::string datagram;
  switch (in.byte() % 3) {
    case 0:
      datagram = in.bytes(2 * net::kLocalQueryBytes);
      break;
    case 1:
      datagram = net::local_network::findtables({net::local_network::tokenText(number(in))});
      break;
    default:
      datagram =
          net::local_network::foundtable({askedToken, net::local_network::tokenText(number(in)),
                                          in.byte() * 256 + in.byte(), info(in)});
  }
  edit(in, datagram);

  // The table.
  server::QueryAnswerer answerer("00000000000000aa", 7800,
                                 [] { return net::TableInfo{"T", "1.0.15", false, 0, 0, 0, {}, std::nullopt}; });
  if (const auto answer = answerer.answer(from, fromPort, datagram, attached(), 0)) {
    const auto query = net::local_network::parseFindTables(datagram);
    check(query.has_value() && fromPort != 0 && net::isLocalNetworkAddress(from));
    check(answer->size() <= datagram.size());
    const auto found = net::local_network::parseFoundTable(*answer);
    check(found.has_value() && found->token == query->token);
  }

  // The readers: what reads builds back into what reads the same.
  if (const auto query = net::local_network::parseFindTables(datagram))
    check(net::local_network::findtables(*query) == datagram);
  if (const auto found = net::local_network::parseFoundTable(datagram)) {
    const std::string rebuilt = net::local_network::foundtable(*found);
    check(rebuilt.size() <= net::kLocalQueryBytes);
    check(net::local_network::parseFoundTable(rebuilt) == found);
  }

  // The lobby.
  const bool changed = network.received(from, datagram);
  const auto tables = network.tables();
  check(changed == !tables.empty());
  for (const lobby::NetworkTable& t : tables) {
    check(net::isLocalNetworkAddress(*IpAddress::parse(t.where.host)));
    check(t.where.port >= 1);
    check(t.info.name.size() <= net::kMaxTableNameBytes);
  }
  return 0;
}
