#include "records/lzrw1kh.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zp::records {

namespace {

constexpr std::uint8_t kFlagCompressed = 0x40;
constexpr std::uint8_t kFlagStored = 0x80;
constexpr std::size_t kMaxRun = 4095;
constexpr std::size_t kMinRun = 16;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kWindow = 4096;

inline unsigned Hash(const std::uint8_t* p) {
  const std::uint32_t key = (((std::uint32_t{p[0]} << 4) ^ p[1]) << 4) ^ p[2];
  return ((40543u * key) >> 4) & 0x0FFFu;
}

}  // namespace

TLZR::TLZR() {
  hash_.fill(-1);
}

std::size_t TLZR::Compress(const std::uint8_t* src, std::size_t n, std::uint8_t* dst) {
  hash_.fill(-1);
  dst[0] = kFlagCompressed;
  std::size_t control_at = 1;
  std::size_t y = 3;
  std::size_t x = 0;
  unsigned items = 0;
  std::uint32_t control = 0;

  while (x < n && y <= n) {
    if (items == 16) {
      dst[control_at] = static_cast<std::uint8_t>(control >> 8);
      dst[control_at + 1] = static_cast<std::uint8_t>(control);
      control_at = y;
      y += 2;
      items = 0;
    }
    const std::uint8_t c = src[x];
    const std::size_t run_limit = std::min(kMaxRun, n - x);
    std::size_t r = 1;
    while (r < run_limit && src[x + r] == c) ++r;

    if (r >= kMinRun) {
      const std::size_t v = r - kMinRun;
      dst[y] = 0;
      dst[y + 1] = static_cast<std::uint8_t>(v >> 8);
      dst[y + 2] = static_cast<std::uint8_t>(v);
      dst[y + 3] = c;
      y += 4;
      x += r;
      control = (control << 1) | 1u;
    } else {
      const unsigned h = Hash(src + x);
      const int p = hash_[h];
      std::size_t length = 0;
      if (p != -1 && x - static_cast<std::size_t>(p) < kWindow) {
        const std::uint8_t* a = src + x;
        const std::uint8_t* b = src + p;
        if (n - x >= kMaxMatch) {
          // Eight bytes at a time; the reads stay within the data and its spare bytes.
          for (;;) {
            std::uint64_t wa;
            std::uint64_t wb;
            std::memcpy(&wa, a + length, 8);
            std::memcpy(&wb, b + length, 8);
            if (const std::uint64_t diff = wa ^ wb; diff != 0) {
              const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                         : std::countl_zero(diff);
              length += static_cast<std::size_t>(bit) / 8;
              break;
            }
            length += 8;
            if (length >= kMaxMatch) break;
          }
          length = std::min(length, kMaxMatch);
        } else {
          const std::size_t limit = n - x;
          while (length < limit && a[length] == b[length]) ++length;
        }
      }
      hash_[h] = static_cast<std::int16_t>(x);
      if (length >= kMinMatch) {
        const std::size_t v = (x - static_cast<std::size_t>(p)) * 16 + length - kMinMatch;
        dst[y] = static_cast<std::uint8_t>(v >> 8);
        dst[y + 1] = static_cast<std::uint8_t>(v);
        y += 2;
        x += length;
        control = (control << 1) | 1u;
      } else {
        dst[y++] = c;
        ++x;
        control <<= 1;
      }
    }
    ++items;
  }
  control = (control << (16 - items)) & 0xFFFFu;
  dst[control_at] = static_cast<std::uint8_t>(control >> 8);
  dst[control_at + 1] = static_cast<std::uint8_t>(control);

  if (y > n) {
    dst[0] = kFlagStored;
    if (n > 0) std::memcpy(dst + 1, src, n);
    return n + 1;
  }
  return y;
}

namespace {
// A copy item restores at most this many bytes.
constexpr std::size_t kLongestCopy = 15 + kMinMatch;
}  // namespace

std::size_t TLZR::Decompress(const std::uint8_t* block, std::size_t length, std::uint8_t* dst) {
  if (length > kMaxBlockLength) throw CorruptBlock("block longer than 32,769 bytes");
  if (length <= 1) return 0;
  if (block[0] == kFlagStored) {
    std::memcpy(dst, block + 1, length - 1);
    return length - 1;
  }
  if (block[0] != kFlagCompressed) throw CorruptBlock("unknown block flag");
  if (length < 3) throw CorruptBlock("block ends inside its control word");

  std::uint32_t control = (std::uint32_t{block[1]} << 8) | block[2];
  unsigned bits = 16;
  std::size_t x = 3;
  std::size_t y = 0;
  while (x < length) {
    if (bits == 0) {
      // A control word is only ever written when an item follows it.
      if (length - x < 3) throw CorruptBlock("block ends after a control word");
      control = (std::uint32_t{block[x]} << 8) | block[x + 1];
      x += 2;
      bits = 16;
    }
    if ((control & 0x8000u) == 0) {
      if (y >= kBlockSize) throw CorruptBlock("block restores more than 32,768 bytes");
      dst[y++] = block[x++];
    } else {
      if (length - x < 2) throw CorruptBlock("block ends inside a copy item");
      const std::size_t offset = (std::size_t{block[x]} << 4) | (block[x + 1] >> 4);
      if (offset == 0) {
        if (length - x < 4) throw CorruptBlock("block ends inside a run item");
        const std::size_t count = ((std::size_t{block[x + 1]} << 8) | block[x + 2]) + kMinRun;
        if (count > kBlockSize - y) throw CorruptBlock("block restores more than 32,768 bytes");
        std::memset(dst + y, block[x + 3], count);
        y += count;
        x += 4;
      } else {
        const std::size_t count = (block[x + 1] & 0x0Fu) + kMinMatch;
        if (offset > y) throw CorruptBlock("copy reaches before the start of the block");
        if (count > kBlockSize - y) throw CorruptBlock("block restores more than 32,768 bytes");
        std::uint8_t* out = dst + y;
        const std::uint8_t* from = out - offset;
        if (offset >= kLongestCopy && kBlockSize - y >= kLongestCopy) {
          // A fixed-size copy compiles to a few moves; the bytes past `count` are rewritten
          // by the items that follow, and nothing past the block is touched.
          std::memcpy(out, from, kLongestCopy);
        } else if (offset >= count) {
          std::memcpy(out, from, count);
        } else {
          // Overlapping copy: each byte may be one this copy has just written.
          for (std::size_t k = 0; k < count; ++k) out[k] = from[k];
        }
        y += count;
        x += 2;
      }
    }
    control <<= 1;
    --bits;
  }
  return y;
}

}  // namespace zp::records
