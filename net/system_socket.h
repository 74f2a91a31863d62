#pragma once

#include <sys/socket.h>

#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The system's TCP sockets, as the game's connections and listeners use them: always
// non-blocking and closed on exec, watched on the event loop by their owners.
namespace zp::net {

// One open socket, closed when its owner lets it go.
class SocketHandle {
 public:
  SocketHandle() = default;
  explicit SocketHandle(int fd) : fd_(fd) {}
  SocketHandle(SocketHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  SocketHandle& operator=(SocketHandle&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;
  ~SocketHandle() { reset(); }

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void reset();

 private:
  int fd_ = -1;
};

// An address to connect to, as the system takes it.
struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
};

// The addresses `host` names when it is a numeric IPv4 or IPv6 address; empty for a name.
// Answers at once, without the resolver.
std::vector<Endpoint> numericEndpoints(const std::string& host, std::uint16_t port);
// The addresses a host name stands for, in the order to try them. Asks the system's
// resolver and may take seconds: never on the thread that draws. Empty, with `error` set,
// when there are none.
std::vector<Endpoint> lookUpEndpoints(const std::string& host, std::uint16_t port, QString* error);

// An address as text: IPv4 as such (also when it arrived mapped into IPv6), IPv6 without a
// scope.
std::string addressText(const sockaddr_storage& address);

// The system's description of an error number.
QString errorText(int error);

}  // namespace zp::net
