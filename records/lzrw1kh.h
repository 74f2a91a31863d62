#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace zp::records {

// One LZRW1/KH block holds at most this many bytes of data.
inline constexpr std::size_t kBlockSize = 32768;
// I/O buffers carry 16 spare bytes: the hash reads two bytes past the data, and a
// compressed block may overrun the input length by a few bytes before it is stored instead.
inline constexpr std::size_t kBufferSize = kBlockSize + 16;
// A stored block of a full chunk: the flag byte and 32,768 data bytes.
inline constexpr std::size_t kMaxBlockLength = kBlockSize + 1;

// A block that no compressor could have written; the message says what is wrong with it.
class CorruptBlock : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The LZRW1/KH block engine: a single pass with one hash probe per coded position, so
// equal input always gives equal output.
class TLZR {
 public:
  TLZR();

  // Compresses src[0..n) (n <= kBlockSize) into dst and returns the block length. src must
  // stay readable for 8 bytes past n (the spare bytes of an I/O buffer) and dst must hold
  // kBlockSize + 8 bytes. What the spare bytes hold never changes the output.
  std::size_t Compress(const std::uint8_t* src, std::size_t n, std::uint8_t* dst);

  // Restores a block of `length` bytes into dst (kBlockSize bytes) and returns the number
  // of bytes restored. Throws CorruptBlock for anything a compressor cannot have written;
  // it never reads past `length` nor writes past kBlockSize.
  static std::size_t Decompress(const std::uint8_t* block, std::size_t length, std::uint8_t* dst);

 private:
  std::array<std::int16_t, 4096> hash_;
};

}  // namespace zp::records
