#include "records/lzhuf.h"

#include <gtest/gtest.h>

#include "classic_lzhuf.h"
#include "test_util.h"

namespace zp::records {
namespace {

using test::Bytes;

class VectorInput : public LzhInput {
 public:
  explicit VectorInput(const Bytes& data) : data_(data) {}
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity) override {
    const std::size_t n = std::min(capacity, data_.size() - pos_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), n, buffer);
    pos_ += n;
    return n;
  }

 private:
  const Bytes& data_;
  std::size_t pos_ = 0;
};

class VectorOutput : public LzhOutput {
 public:
  void Write(const std::uint8_t* data, std::size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
  }
  Bytes bytes;
};

// Small buffers make every refill and flush path run.
constexpr std::size_t kCapacity = 7;

Bytes Encode(const Bytes& data) {
  TLZH lzh;
  VectorInput in(data);
  VectorOutput out;
  Bytes a(kCapacity), b(kCapacity);
  EXPECT_EQ(lzh.Encode(in, out, a.data(), b.data(), kCapacity), data.size());
  return out.bytes;
}

TLZH::DecodeResult Decode(const Bytes& stream, std::uint64_t size, Bytes& restored) {
  TLZH lzh;
  VectorInput in(stream);
  VectorOutput out;
  Bytes a(kCapacity), b(kCapacity);
  const auto result = lzh.Decode(in, out, size, a.data(), b.data(), kCapacity);
  restored = out.bytes;
  return result;
}

TEST(Lzhuf, RoundTripsVariedData) {
  for (const Bytes& data :
       {Bytes{}, Bytes{'x'}, test::Text(32768), test::Text(70001, 5), test::RandomBytes(40000),
        test::Repetitive(65536), Bytes(10000, 0), Bytes(300, ' ')}) {
    Bytes restored;
    ASSERT_EQ(Decode(Encode(data), data.size(), restored), TLZH::DecodeResult::kOk);
    EXPECT_EQ(restored, data);
  }
}

TEST(Lzhuf, EmptyInputWritesNothing) {
  EXPECT_TRUE(Encode({}).empty());
}

// The reference is our own transcription of the 1988 program (tests/records/classic_lzhuf),
// 16-bit registers and all.
TEST(Lzhuf, BytesMatchTheClassicProgram) {
  for (const Bytes& data : {test::Text(300000, 2), test::RandomBytes(20000, 4),
                            test::Repetitive(100000), Bytes{'a', 'b'}, Bytes(61, 'q')}) {
    EXPECT_EQ(Encode(data), classic_lzhuf::Encode(data));
  }
}

TEST(Lzhuf, StreamsAreInterchangeableWithTheClassicProgram) {
  const Bytes data = test::Text(120000, 9);
  EXPECT_EQ(classic_lzhuf::Decode(Encode(data), static_cast<std::uint32_t>(data.size())), data);
  Bytes restored;
  ASSERT_EQ(Decode(classic_lzhuf::Encode(data), data.size(), restored), TLZH::DecodeResult::kOk);
  EXPECT_EQ(restored, data);
}

TEST(Lzhuf, ACutStreamIsTruncatedNotGarbage) {
  const Bytes data = test::Text(50000, 12);
  Bytes stream = Encode(data);
  for (std::size_t keep : {std::size_t{0}, std::size_t{1}, stream.size() / 2, stream.size() - 2}) {
    Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(keep));
    Bytes restored;
    EXPECT_EQ(Decode(cut, data.size(), restored), TLZH::DecodeResult::kTruncated) << keep;
    EXPECT_LT(restored.size(), data.size());
  }
}

TEST(Lzhuf, ASizeBeyondTheStreamIsTruncated) {
  const Bytes data = test::Text(1000, 12);
  Bytes restored;
  EXPECT_EQ(Decode(Encode(data), 0x7FFFFFFF, restored), TLZH::DecodeResult::kTruncated);
  EXPECT_EQ(Bytes(restored.begin(), restored.begin() + 1000), data);
}

TEST(Lzhuf, ALastCopyPastTheSizeIsRejected) {
  // Three literals, then one copy of 57.
  Bytes data;
  for (int i = 0; i < 20; ++i) data.insert(data.end(), {'a', 'b', 'c'});
  Bytes restored;
  EXPECT_EQ(Decode(Encode(data), data.size() - 1, restored), TLZH::DecodeResult::kOvershoot);
  EXPECT_EQ(restored.size(), 3u);
}

}  // namespace
}  // namespace zp::records
