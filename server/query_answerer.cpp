#include "server/query_answerer.h"

#include <algorithm>

namespace zp::server {

QueryAnswerer::QueryAnswerer(std::string identity, int gamePort,
                             std::function<net::TableInfo()> info)
    : identity_(std::move(identity)), gamePort_(gamePort), info_(std::move(info)) {}

bool QueryAnswerer::allowed(std::int64_t nowMs) {
  if (!refilled_) refilled_ = nowMs;
  if (nowMs > *refilled_) {
    const std::int64_t intervals = (nowMs - *refilled_) / kAnswerIntervalMs;
    if (allowance_ + intervals >= kAnswerBurst) {
      allowance_ = kAnswerBurst;
      refilled_ = nowMs;
    } else {
      allowance_ += static_cast<int>(intervals);
      *refilled_ += intervals * kAnswerIntervalMs;
    }
  }
  if (allowance_ == 0) return false;
  --allowance_;
  return true;
}

std::optional<std::string> QueryAnswerer::answer(const net::IpAddress& from, std::uint16_t fromPort,
                                                 std::string_view datagram,
                                                 const std::vector<net::IpNetwork>& attached,
                                                 std::int64_t nowMs) {
  // The cheap tests first: a flood is mostly turned away by its length.
  const auto query = net::local_network::parseFindTables(datagram);
  if (!query || fromPort == 0) {
    ++counts_.malformed;
    return std::nullopt;
  }
  const bool onOurNetwork =
      net::isLocalNetworkAddress(from) &&
      std::any_of(attached.begin(), attached.end(),
                  [&](const net::IpNetwork& network) { return net::contains(network, from); });
  if (!onOurNetwork) {
    ++counts_.outside;
    return std::nullopt;
  }
  if (!allowed(nowMs)) {
    ++counts_.limited;
    return std::nullopt;
  }
  std::string bytes = net::local_network::foundtable({query->token, identity_, gamePort_, info_()});
  // Never more than was asked: the query's padding makes room for the largest answer.
  if (bytes.size() > datagram.size()) {
    ++counts_.malformed;
    return std::nullopt;
  }
  ++counts_.answered;
  return bytes;
}

}  // namespace zp::server
