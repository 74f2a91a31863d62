#include "net/ip_address.h"

#include <arpa/inet.h>

#include <algorithm>

namespace zp::net {
namespace {

bool isMappedV4(const IpAddress& a) {
  static constexpr std::array<std::uint8_t, 12> kPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  return a.v6 && std::equal(kPrefix.begin(), kPrefix.end(), a.bytes.begin());
}

}  // namespace

IpAddress IpAddress::v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  IpAddress address;
  address.bytes[0] = a;
  address.bytes[1] = b;
  address.bytes[2] = c;
  address.bytes[3] = d;
  return address;
}

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
  if (text.empty() || text.size() > 64) return std::nullopt;
  IpAddress address;
  std::string_view scope;
  if (const std::size_t percent = text.find('%'); percent != std::string_view::npos) {
    scope = text.substr(percent + 1);
    text = text.substr(0, percent);
    if (scope.empty() || scope.size() > 9 ||
        !std::all_of(scope.begin(), scope.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
  }
  const std::string terminated(text);
  if (scope.empty() && ::inet_pton(AF_INET, terminated.c_str(), address.bytes.data()) == 1)
    return address;
  if (::inet_pton(AF_INET6, terminated.c_str(), address.bytes.data()) != 1) return std::nullopt;
  address.v6 = true;
  for (const char c : scope) address.scope = address.scope * 10 + static_cast<unsigned>(c - '0');
  return address;
}

std::string IpAddress::text() const {
  char buffer[INET6_ADDRSTRLEN] = {};
  ::inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), buffer, sizeof buffer);
  std::string out(buffer);
  if (v6 && scope != 0) out += "%" + std::to_string(scope);
  return out;
}

IpAddress unmapped(const IpAddress& address) {
  if (!isMappedV4(address)) return address;
  return IpAddress::v4(address.bytes[12], address.bytes[13], address.bytes[14], address.bytes[15]);
}

bool isLoopback(const IpAddress& address) {
  const IpAddress a = unmapped(address);
  if (!a.v6) return a.bytes[0] == 127;
  static constexpr std::array<std::uint8_t, 16> kLoopback{0, 0, 0, 0, 0, 0, 0, 0,
                                                          0, 0, 0, 0, 0, 0, 0, 1};
  return a.bytes == kLoopback;
}

bool isLinkLocal(const IpAddress& address) {
  const IpAddress a = unmapped(address);
  if (!a.v6) return a.bytes[0] == 169 && a.bytes[1] == 254;
  return a.bytes[0] == 0xFE && (a.bytes[1] & 0xC0) == 0x80;
}

bool isPrivate(const IpAddress& address) {
  const IpAddress a = unmapped(address);
  if (a.v6) return (a.bytes[0] & 0xFE) == 0xFC;
  return a.bytes[0] == 10 || (a.bytes[0] == 172 && (a.bytes[1] & 0xF0) == 16) ||
         (a.bytes[0] == 192 && a.bytes[1] == 168);
}

bool isLocalNetworkAddress(const IpAddress& address) {
  return isLoopback(address) || isLinkLocal(address) || isPrivate(address);
}

bool contains(const IpNetwork& network, const IpAddress& address) {
  const IpAddress net = unmapped(network.address);
  const IpAddress a = unmapped(address);
  if (net.v6 != a.v6) return false;
  const int bits = net.v6 ? 128 : 32;
  if (network.prefixLength < 0 || network.prefixLength > bits) return false;
  if (a.v6 && isLinkLocal(a) && net.scope != 0 && a.scope != 0 && net.scope != a.scope)
    return false;
  const int whole = network.prefixLength / 8;
  if (!std::equal(net.bytes.begin(), net.bytes.begin() + whole, a.bytes.begin())) return false;
  const int rest = network.prefixLength % 8;
  if (rest == 0) return true;
  const auto mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
  return (net.bytes[static_cast<std::size_t>(whole)] & mask) ==
         (a.bytes[static_cast<std::size_t>(whole)] & mask);
}

}  // namespace zp::net
