#include "net/system_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace zp::net {
namespace {

std::vector<Endpoint> endpoints(const std::string& host, std::uint16_t port, int flags,
                                int* failure) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  *failure = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  std::vector<Endpoint> result;
  if (*failure != 0) return result;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);
  for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
    if (at->ai_addr == nullptr || at->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Endpoint endpoint;
    std::memcpy(&endpoint.address, at->ai_addr, at->ai_addrlen);
    endpoint.length = at->ai_addrlen;
    result.push_back(endpoint);
  }
  return result;
}

}  // namespace

void SocketHandle::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::vector<Endpoint> numericEndpoints(const std::string& host, std::uint16_t port) {
  int failure = 0;
  return endpoints(host, port, AI_NUMERICHOST, &failure);
}

std::vector<Endpoint> lookUpEndpoints(const std::string& host, std::uint16_t port, QString* error) {
  int failure = 0;
  std::vector<Endpoint> found =
      host.empty() ? std::vector<Endpoint>{} : endpoints(host, port, 0, &failure);
  if (found.empty() && error != nullptr) {
    *error = failure == EAI_SYSTEM ? errorText(errno) : QStringLiteral("Host not found");
  }
  return found;
}

std::string addressText(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    if (::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text) == nullptr) return {};
    return text;
  }
  if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
      in_addr v4{};
      std::memcpy(&v4, v6.sin6_addr.s6_addr + 12, sizeof v4);
      if (::inet_ntop(AF_INET, &v4, text, sizeof text) == nullptr) return {};
      return text;
    }
    if (::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text) == nullptr) return {};
    return text;
  }
  return {};
}

QString errorText(int error) {
  char buffer[256] = {};
  // The GNU form: returns the text, which may or may not be the buffer.
  return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

}  // namespace zp::net
