#pragma once

#include <cstdint>
#include <random>

namespace zp::server {

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
