#include "net/host_port.h"

#include "net/fields.h"

namespace zp::net {
namespace {

constexpr std::size_t kMaxHostBytes = 253;  // the longest DNS name

bool hostOk(std::string_view host) {
  if (host.empty() || host.size() > kMaxHostBytes) return false;
  for (const char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '[' || c == ']' || c == '/' || c == '+') return false;
  }
  return true;
}

std::optional<std::uint16_t> portOf(std::string_view text) {
  if (text.empty() || text.front() == '-') return std::nullopt;
  const auto value = parseInt(text);
  if (!value || *value < 1 || *value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

}  // namespace

std::optional<HostPort> parseHostPort(std::string_view text, std::uint16_t defaultPort) {
  std::string_view host = text;
  std::optional<std::uint16_t> port = defaultPort;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view after = text.substr(close + 1);
    if (host.find(':') == std::string_view::npos) return std::nullopt;  // brackets are for IPv6
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port = portOf(after.substr(1));
    }
  } else if (const std::size_t colon = text.find(':');
             colon != std::string_view::npos &&
             text.find(':', colon + 1) == std::string_view::npos) {
    host = text.substr(0, colon);
    port = portOf(text.substr(colon + 1));
  }
  if (!port || !hostOk(host)) return std::nullopt;
  return HostPort{std::string(host), *port};
}

std::string hostPortText(const HostPort& where) {
  const bool ipv6 = where.host.find(':') != std::string::npos;
  return (ipv6 ? "[" + where.host + "]" : where.host) + ":" + std::to_string(where.port);
}

}  // namespace zp::net
