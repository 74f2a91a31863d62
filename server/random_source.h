#pragma once

#include <chrono>
#include <cstdint>
#include <random>

namespace zp::server {

// A seed for a game that need not be replayed: the system's entropy and the clock.
inline std::uint64_t clockSeed() {
  std::random_device device;
  const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return (static_cast<std::uint64_t>(device()) << 32) ^ static_cast<std::uint64_t>(now);
}

// The table's one source of chance: letters, fall directions, the computer's first pick.
// Seeded once; a test seeds it to replay a game exactly.
class RandomSource {
 public:
  explicit RandomSource(std::uint64_t seed) : engine_(seed) {}
  // A uniform integer in [lo, hi].
  int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }

 private:
  std::mt19937_64 engine_;
};

}  // namespace zp::server
