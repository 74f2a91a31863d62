#include "net/listener.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <QSocketNotifier>
#include <cerrno>

namespace zp::net {
namespace {

constexpr int kRestMs = 100;

SocketHandle openSocket(int family) {
  return SocketHandle(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

}  // namespace

TcpListener::TcpListener(QObject* parent) : QObject(parent) {
  rest_.setSingleShot(true);
  rest_.setInterval(kRestMs);
  connect(&rest_, &QTimer::timeout, this, [this] {
    if (notifier_ != nullptr) notifier_->setEnabled(true);
  });
}

TcpListener::~TcpListener() {
  close();
}

bool TcpListener::listen(Reach reach, std::uint16_t port, int backlog) {
  close();
  error_.clear();
  const int one = 1;
  const int zero = 0;
  SocketHandle socket;
  if (reach == Reach::AnyAddress) {
    // One socket for both families, where the machine has IPv6 at all.
    socket = openSocket(AF_INET6);
    if (socket.valid()) {
      ::setsockopt(socket.fd(), IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
      ::setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
      sockaddr_in6 any{};
      any.sin6_family = AF_INET6;
      any.sin6_addr = in6addr_any;
      any.sin6_port = htons(port);
      if (::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        // Bound by the port, not by IPv6: an IPv4 socket would fail the same way.
        if (errno != EAFNOSUPPORT && errno != EADDRNOTAVAIL) {
          error_ = errorText(errno);
          return false;
        }
        socket.reset();
      }
    }
  }
  if (!socket.valid()) {
    socket = openSocket(AF_INET);
    if (!socket.valid()) {
      error_ = errorText(errno);
      return false;
    }
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_addr.s_addr = htonl(reach == Reach::AnyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    v4.sin_port = htons(port);
    if (::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&v4), sizeof v4) != 0) {
      error_ = errorText(errno);
      return false;
    }
  }
  if (::listen(socket.fd(), backlog) != 0) {
    error_ = errorText(errno);
    return false;
  }
  socket_ = std::move(socket);
  notifier_ = new QSocketNotifier(static_cast<qintptr>(socket_.fd()), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TcpListener::newConnection);
  return true;
}

void TcpListener::close() {
  rest_.stop();
  delete notifier_;
  notifier_ = nullptr;
  socket_.reset();
}

std::uint16_t TcpListener::port() const {
  if (!socket_.valid()) return 0;
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
  if (bound.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
  if (bound.ss_family == AF_INET)
    return ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port);
  return 0;
}

std::optional<AcceptedSocket> TcpListener::nextPendingConnection() {
  if (!socket_.valid()) return std::nullopt;
  for (;;) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(socket_.fd(), reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) return AcceptedSocket{SocketHandle(fd), addressText(peer)};
    switch (errno) {
      case EINTR:
      case ECONNABORTED:  // gone before it was taken: the next one may be there
        continue;
      case EMFILE:
      case ENFILE:
      case ENOBUFS:
      case ENOMEM:
        if (notifier_ != nullptr) notifier_->setEnabled(false);
        rest_.start();
        return std::nullopt;
      default:  // EAGAIN: none waiting
        return std::nullopt;
    }
  }
}

}  // namespace zp::net
