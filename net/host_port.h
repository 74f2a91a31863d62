#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zp::net {

// A peer's address as a user writes it: a host name or address, and a port.
struct HostPort {
  std::string host;  // an IPv6 address without its brackets
  std::uint16_t port = 0;
  bool operator==(const HostPort&) const = default;
};

// Reads "HOST", "HOST:PORT", "[IPv6]", "[IPv6]:PORT" or a bare IPv6 address (which has no
// port); the port is 1 to 65535, `defaultPort` when none is given. Nothing for anything else.
std::optional<HostPort> parseHostPort(std::string_view text, std::uint16_t defaultPort);
// The same as text a user can give back: "HOST:PORT", "[IPv6]:PORT".
std::string hostPortText(const HostPort& where);

}  // namespace zp::net
