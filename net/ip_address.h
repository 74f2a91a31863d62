#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zp::net {

// An IPv4 or IPv6 address as the system reports a datagram's sender or an interface's
// address, for the rules on who may ask and answer on the local network.
struct IpAddress {
  bool v6 = false;
  std::array<std::uint8_t, 16> bytes{};  // an IPv4 address in the first four
  std::uint32_t scope = 0;               // the interface index of a link-local IPv6 address

  static IpAddress v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
  // Address text without brackets; an IPv6 address may name its interface index ("%2").
  static std::optional<IpAddress> parse(std::string_view text);
  // As a user or a command line gives it back; the scope as its index.
  std::string text() const;
  bool operator==(const IpAddress&) const = default;
};

// An IPv4 address mapped into IPv6 (::ffff:a.b.c.d, as a dual-stack socket reports an IPv4
// sender) as the IPv4 address it is; any other address as it is.
IpAddress unmapped(const IpAddress& address);

bool isLoopback(const IpAddress& address);
bool isLinkLocal(const IpAddress& address);
// RFC 1918 and IPv6 unique local addresses.
bool isPrivate(const IpAddress& address);
// The only senders whose questions a table answers and whose answers a lobby reads: private,
// link-local or loopback. An address on the internet is never one of them.
bool isLocalNetworkAddress(const IpAddress& address);

// A network this computer is attached to: one of its interfaces' addresses and its prefix.
struct IpNetwork {
  IpAddress address;  // the interface's own; its scope is the interface index
  int prefixLength = 0;
  bool operator==(const IpNetwork&) const = default;
};

// Whether `address` lies in `network`; a link-local address only on the network's own
// interface when both name one.
bool contains(const IpNetwork& network, const IpAddress& address);

}  // namespace zp::net
