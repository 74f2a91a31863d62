#include "records/lzrw1kh.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace zp::records {
namespace {

using test::Bytes;

Bytes CompressBlock(const Bytes& data) {
  TLZR lzr;
  Bytes in(kBufferSize, 0);
  std::copy(data.begin(), data.end(), in.begin());
  Bytes out(kBufferSize, 0xEE);
  out.resize(lzr.Compress(in.data(), data.size(), out.data()));
  return out;
}

Bytes DecompressBlock(const Bytes& block) {
  Bytes out(kBlockSize);
  out.resize(TLZR::Decompress(block.data(), block.size(), out.data()));
  return out;
}

Bytes Of(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// Worked by hand: "abc" hashes to slots 2749, "bca" to 896, "cab" to 20, so the fourth
// position finds the first and copies 9 bytes from 3 back: (3 * 16 + 9 - 3) = 0x0036.
// Four items, the last a copy: control 0001 shifted to the top = 0x1000.
TEST(Lzrw1KhBlock, SmallInputGivesTheBytesWorkedOutByHand) {
  EXPECT_EQ(CompressBlock(Of("abcabcabcabc")),
            (Bytes{0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x36}));
  // A run of 20: item 00, (20 - 16) as 16 bits, the byte; one item, control 0x8000.
  EXPECT_EQ(CompressBlock(Bytes(20, 'z')), (Bytes{0x40, 0x80, 0x00, 0x00, 0x00, 0x04, 'z'}));
}

TEST(Lzrw1KhBlock, RunsAreCappedAt4095) {
  const Bytes block = CompressBlock(Bytes(5000, 7));
  // Two run items: 4095 (0x0FEF + 16) and 905 (0x0379 + 16).
  EXPECT_EQ(block, (Bytes{0x40, 0xC0, 0x00, 0x00, 0x0F, 0xEF, 7, 0x00, 0x03, 0x79, 7}));
  EXPECT_EQ(DecompressBlock(block), Bytes(5000, 7));
}

TEST(Lzrw1KhBlock, InputThatDoesNotShrinkIsStored) {
  for (std::size_t n : {0u, 1u, 2u, 3u, 100u, 32768u}) {
    const Bytes data = test::RandomBytes(n, static_cast<unsigned>(n));
    const Bytes block = CompressBlock(data);
    ASSERT_EQ(block.size(), n + 1) << n;
    EXPECT_EQ(block[0], 0x80);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), block.begin() + 1));
    EXPECT_EQ(DecompressBlock(block), data);
  }
}

TEST(Lzrw1KhBlock, RoundTripsVariedData) {
  for (const Bytes& data : {test::Text(32768), test::Repetitive(32768), test::Text(1000, 3),
                            Of("aaaaaaaaaaaaaaab"), Of("abababababababababababababab")}) {
    const Bytes block = CompressBlock(data);
    EXPECT_LE(block.size(), kMaxBlockLength);
    EXPECT_EQ(DecompressBlock(block), data);
  }
}

TEST(Lzrw1KhBlock, ARepeatExactly4096BytesBackRoundTrips) {
  // "XYZ" recurs at the far edge of the window: a copy there must either fit the offset's
  // field or not be used.
  const Bytes data = Of("XYZ" + std::string(4093, 'A') + "XYZQ");
  ASSERT_EQ(data.size(), 4100u);
  EXPECT_EQ(DecompressBlock(CompressBlock(data)), data);
}

TEST(Lzrw1KhBlock, SameInputSameBytes) {
  const Bytes data = test::Text(32768, 11);
  TLZR lzr;
  Bytes in(kBufferSize, 0);
  std::copy(data.begin(), data.end(), in.begin());
  Bytes a(kBufferSize), b(kBufferSize);
  lzr.Compress(in.data(), 100, a.data());  // leaves other positions in the table
  in[data.size()] = 'x';                   // the spare bytes must not matter either
  in[data.size() + 1] = 'y';
  a.resize(lzr.Compress(in.data(), data.size(), a.data()));
  b = CompressBlock(data);
  EXPECT_EQ(a, b);
}

TEST(Lzrw1KhBlock, OverlappingCopyRepeatsFreshBytes) {
  // 'a' literal, then a copy of 10 from 1 back.
  EXPECT_EQ(DecompressBlock(Bytes{0x40, 0x40, 0x00, 'a', 0x00, 0x17}), Bytes(11, 'a'));
}

TEST(Lzrw1KhBlock, ACopyNeverReachesBeforeTheStartOfTheOutput) {
  // After one literal, a copy from one back is the furthest a block may reach.
  EXPECT_EQ(DecompressBlock(Bytes{0x40, 0x40, 0x00, 'a', 0x00, 0x10}), Bytes(4, 'a'));
  for (const std::uint8_t offset : {0x20, 0x30, 0xF0}) {  // 2, 3 and 15 back
    const Bytes block{0x40, 0x40, 0x00, 'a', 0x00, offset};
    Bytes out(kBlockSize);
    EXPECT_THROW(TLZR::Decompress(block.data(), block.size(), out.data()), CorruptBlock)
        << int{offset};
  }
  // Further on: 17 literals, then 18 back.
  Bytes block{0x40, 0x00, 0x00};
  block.insert(block.end(), 16, 'q');
  block.insert(block.end(), {0x40, 0x00, 'q', 0x01, 0x2F});
  Bytes out(kBlockSize);
  EXPECT_THROW(TLZR::Decompress(block.data(), block.size(), out.data()), CorruptBlock);
  block.back() = 0x1F;  // 17 back: the first byte
  EXPECT_EQ(DecompressBlock(block), Bytes(17 + 18, 'q'));
}

TEST(Lzrw1KhBlock, CorruptBlocksAreRejected) {
  auto rejects = [](const Bytes& block) {
    Bytes out(kBlockSize);
    EXPECT_THROW(TLZR::Decompress(block.data(), block.size(), out.data()), CorruptBlock);
  };
  rejects(Bytes(kMaxBlockLength + 1, 0x80));           // too long
  rejects(Bytes{0x41, 0x00, 0x00, 'a'});               // unknown flag
  rejects(Bytes{0x40, 0x00});                          // cut control word
  rejects(Bytes{0x40, 0x80, 0x00, 0x00, 0x36});        // copy before the start
  rejects(Bytes{0x40, 0x40, 0x00, 'a', 0x00});         // cut copy item
  rejects(Bytes{0x40, 0x80, 0x00, 0x00, 0x0F, 0xEF});  // cut run item
  Bytes literals{0x40, 0x00, 0x00};
  literals.insert(literals.end(), 16, 'q');
  literals.insert(literals.end(), {0x00, 0x00});  // control word, nothing after
  rejects(literals);
  // Nine runs of 4095 restore more than a block holds.
  Bytes runs{0x40, 0xFF, 0x80};
  for (int i = 0; i < 9; ++i) runs.insert(runs.end(), {0x00, 0x0F, 0xEF, 'r'});
  rejects(runs);
  // Eight runs of 4095 and nine literals: one byte more than a block holds.
  Bytes many{0x40, 0xFF, 0x00};
  for (int i = 0; i < 8; ++i) many.insert(many.end(), {0x00, 0x0F, 0xEF, 'r'});
  many.insert(many.end(), 8, 'l');
  many.insert(many.end(), {0x00, 0x00, 'l'});
  Bytes fits = many;
  fits.resize(fits.size() - 3);
  Bytes out(kBlockSize);
  EXPECT_EQ(TLZR::Decompress(fits.data(), fits.size(), out.data()), kBlockSize);
  rejects(many);
}

}  // namespace
}  // namespace zp::records
