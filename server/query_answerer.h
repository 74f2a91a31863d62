#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/catalogue.h"
#include "net/ip_address.h"

namespace zp::server {

// A table answers at most this many questions from the local network at once, then one per
// interval, whoever asks: ten a second. A classroom of thirty lobbies asks about twelve
// times a second; a table missing an answer now and then stays listed.
inline constexpr int kAnswerBurst = 10;
inline constexpr std::int64_t kAnswerIntervalMs = 100;

// Which questions from the local network a table answers, and with what: plain code, driven
// by calls, so the rules that keep a table from being turned against others are tested
// without a socket.
//
// A UDP answer to a forged sender is the classic amplification. So a table answers only a
// well-formed query (always kLocalQueryBytes long, and the answer is never longer), only from
// a private, link-local or loopback sender on a network this computer is on, and at most
// kAnswerBurst at once and one per kAnswerIntervalMs after that, in total.
//
//   QueryAnswerer answerer(identity, 7772, [&] { return table.tableInfo(); });
//   if (auto bytes = answerer.answer(from, fromPort, datagram, attachedNetworks(), nowMs))
//     socket.sendTo(from, fromPort, *bytes);
class QueryAnswerer {
 public:
  // `identity`: the table's for as long as it runs, net::local_network::isToken.
  QueryAnswerer(std::string identity, int gamePort, std::function<net::TableInfo()> info);

  // The answer to send back to the sender, or nothing.
  std::optional<std::string> answer(const net::IpAddress& from, std::uint16_t fromPort,
                                    std::string_view datagram,
                                    const std::vector<net::IpNetwork>& attached,
                                    std::int64_t nowMs);

  // What became of the questions so far.
  struct Counts {
    std::uint64_t answered = 0;
    std::uint64_t malformed = 0;  // not a query, or not one of ours
    std::uint64_t outside = 0;    // from a sender not on a local network of this computer
    std::uint64_t limited = 0;    // over the allowance
    bool operator==(const Counts&) const = default;
  };
  const Counts& counts() const { return counts_; }

 private:
  bool allowed(std::int64_t nowMs);

  std::string identity_;
  int gamePort_;
  std::function<net::TableInfo()> info_;
  int allowance_ = kAnswerBurst;
  std::optional<std::int64_t> refilled_;
  Counts counts_;
};

}  // namespace zp::server
