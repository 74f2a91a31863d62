#include "server/server_shell.h"

#include <sys/random.h>

#include <cerrno>

#include <array>
#include <cstddef>
#include <random>

#include "net/catalogue.h"

namespace zp::server {

std::string ServerShell::secretToken() {
  std::array<unsigned char, net::kRejoinTokenChars / 2> bytes{};
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      // No getrandom: the library's device, which reads the kernel's source as well.
      std::random_device device;
      for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(device());
      break;
    }
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token += kHex[byte >> 4];
    token += kHex[byte & 0xF];
  }
  return token;
}

}  // namespace zp::server
