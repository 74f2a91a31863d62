#include "records/lzhuf.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace zp::records {

namespace {

constexpr int N = 4096;       // ring buffer
constexpr int F = 60;         // look-ahead
constexpr int THRESHOLD = 2;  // a match must be longer than this
constexpr int NIL = N;        // no node
constexpr int N_CHAR = 256 - THRESHOLD + F;
constexpr int T = N_CHAR * 2 - 1;
constexpr int R = T - 1;  // root
constexpr unsigned MAX_FREQ = 0x8000;

// The fixed code for the upper 6 bits of a match position: one code of 3 bits, three of
// 4, eight of 5, twelve of 6, twenty-four of 7 and sixteen of 8, assigned in order.
struct PositionCodes {
  std::array<std::uint8_t, 64> p_len{};
  std::array<std::uint8_t, 64> p_code{};
  std::array<std::uint8_t, 256> d_code{};
  std::array<std::uint8_t, 256> d_len{};
};

constexpr PositionCodes MakePositionCodes() {
  PositionCodes t;
  constexpr std::array<int, 6> counts{1, 3, 8, 12, 24, 16};
  int index = 0;
  unsigned code = 0;  // left-aligned in 8 bits
  for (int k = 0; k < 6; ++k) {
    const int length = 3 + k;
    for (int n = 0; n < counts[static_cast<std::size_t>(k)]; ++n) {
      const auto i = static_cast<std::size_t>(index);
      t.p_len[i] = static_cast<std::uint8_t>(length);
      t.p_code[i] = static_cast<std::uint8_t>(code);
      const unsigned span = 1u << (8 - length);
      for (unsigned b = code; b < code + span; ++b) {
        t.d_code[b] = static_cast<std::uint8_t>(index);
        t.d_len[b] = static_cast<std::uint8_t>(length);
      }
      code += span;
      ++index;
    }
  }
  return t;
}

constexpr PositionCodes kCodes = MakePositionCodes();
static_assert(kCodes.p_code[1] == 0x20 && kCodes.p_code[12] == 0x90 && kCodes.p_code[63] == 0xFF);
static_assert(kCodes.d_len[0xFF] == 8 && kCodes.d_code[0x1F] == 0 && kCodes.d_code[0x20] == 1);

}  // namespace

struct TLZH::Tables {
  // Eight spare bytes: the match search reads whole words past the last look-ahead byte.
  std::uint8_t text_buf[N + F - 1 + 8];
  std::int16_t lson[N + 1];
  std::int16_t rson[N + 257];
  std::int16_t dad[N + 1];
  std::uint16_t freq[T + 1];
  std::int16_t prnt[T + N_CHAR];
  std::int16_t son[T];
  int match_position;
  int match_length;

  void StartHuff();
  void Reconst();
  void Update(int c);
  void InitTree();
  void InsertNode(int r);
  void DeleteNode(int p);
};

std::size_t TLZH::TableBytes() {
  return sizeof(Tables);
}

std::unique_ptr<TLZH::Tables> TLZH::AllocateTables() {
  // Zeroed: the classic coder reads parts of its ring buffer that it never wrote, and
  // identical output depends on them holding zeros.
  std::unique_ptr<Tables> tables(new (std::nothrow) Tables());
  if (!tables) throw ElzhException("LZH : Cannot get memory for dictionary tables");
  return tables;
}

void TLZH::Tables::StartHuff() {
  for (int i = 0; i < N_CHAR; ++i) {
    freq[i] = 1;
    son[i] = static_cast<std::int16_t>(i + T);
    prnt[i + T] = static_cast<std::int16_t>(i);
  }
  for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
    freq[j] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
    son[j] = static_cast<std::int16_t>(i);
    prnt[i] = prnt[i + 1] = static_cast<std::int16_t>(j);
  }
  freq[T] = 0xFFFF;
  prnt[R] = 0;
}

void TLZH::Tables::Reconst() {
  // Gather the leaves in the first half, halving their counts.
  int j = 0;
  for (int i = 0; i < T; ++i) {
    if (son[i] >= T) {
      freq[j] = static_cast<std::uint16_t>((freq[i] + 1) / 2);
      son[j] = son[i];
      ++j;
    }
  }
  // Rebuild the tree by joining pairs, keeping the counts in order.
  for (int i = 0, k; j < T; i += 2, ++j) {
    const unsigned f = static_cast<unsigned>(freq[i]) + freq[i + 1];
    freq[j] = static_cast<std::uint16_t>(f);
    for (k = j - 1; f < freq[k]; --k) {
    }
    ++k;
    const auto count = static_cast<std::size_t>(j - k);
    std::memmove(&freq[k + 1], &freq[k], count * sizeof freq[0]);
    freq[k] = static_cast<std::uint16_t>(f);
    std::memmove(&son[k + 1], &son[k], count * sizeof son[0]);
    son[k] = static_cast<std::int16_t>(i);
  }
  for (int i = 0; i < T; ++i) {
    const int k = son[i];
    if (k >= T) {
      prnt[k] = static_cast<std::int16_t>(i);
    } else {
      prnt[k] = prnt[k + 1] = static_cast<std::int16_t>(i);
    }
  }
}

void TLZH::Tables::Update(int c) {
  if (freq[R] == MAX_FREQ) Reconst();
  c = prnt[c + T];
  do {
    const unsigned k = ++freq[c];
    int l = c + 1;
    if (k > freq[l]) {
      // The counts are out of order: swap this node with the last one of lower count.
      while (k > freq[++l]) {
      }
      --l;
      freq[c] = freq[l];
      freq[l] = static_cast<std::uint16_t>(k);

      const int i = son[c];
      prnt[i] = static_cast<std::int16_t>(l);
      if (i < T) prnt[i + 1] = static_cast<std::int16_t>(l);

      const int j = son[l];
      son[l] = static_cast<std::int16_t>(i);
      prnt[j] = static_cast<std::int16_t>(c);
      if (j < T) prnt[j + 1] = static_cast<std::int16_t>(c);
      son[c] = static_cast<std::int16_t>(j);

      c = l;
    }
  } while ((c = prnt[c]) != 0);
}

void TLZH::Tables::InitTree() {
  for (int i = N + 1; i <= N + 256; ++i) rson[i] = NIL;
  for (int i = 0; i < N; ++i) dad[i] = NIL;
}

namespace {

// Length of the common run of key[1..F) and other[1..F) (F when all are equal), and in `cmp`
// the difference of the first unequal pair (0 when none). Both may be read 8 bytes past F.
int CommonPrefix(const std::uint8_t* key, const std::uint8_t* other, int& cmp) {
  cmp = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (int i = 1; i < F; i += 8) {
      std::uint64_t a, b;
      std::memcpy(&a, key + i, 8);
      std::memcpy(&b, other + i, 8);
      if (a != b) {
        i += std::countr_zero(a ^ b) / 8;
        if (i >= F) return F;
        cmp = key[i] - other[i];
        return i;
      }
    }
    return F;
  } else {
    int i = 1;
    for (; i < F; ++i)
      if ((cmp = key[i] - other[i]) != 0) break;
    return i;
  }
}

}  // namespace

void TLZH::Tables::InsertNode(int r) {
  int cmp = 1;
  const std::uint8_t* key = &text_buf[r];
  int p = N + 1 + key[0];
  rson[r] = lson[r] = NIL;
  match_length = 0;
  int i = 0;
  for (;;) {
    if (cmp >= 0) {
      if (rson[p] != NIL) {
        p = rson[p];
      } else {
        rson[p] = static_cast<std::int16_t>(r);
        dad[r] = static_cast<std::int16_t>(p);
        return;
      }
    } else {
      if (lson[p] != NIL) {
        p = lson[p];
      } else {
        lson[p] = static_cast<std::int16_t>(r);
        dad[r] = static_cast<std::int16_t>(p);
        return;
      }
    }
    i = CommonPrefix(key, &text_buf[p], cmp);
    if (i > THRESHOLD) {
      const int distance = ((r - p) & (N - 1)) - 1;
      if (i > match_length) {
        match_position = distance;
        if ((match_length = i) >= F) break;
      }
      if (i == match_length && distance < match_position) match_position = distance;
    }
  }
  // A full-length match: the new node takes the old one's place in the tree.
  dad[r] = dad[p];
  lson[r] = lson[p];
  rson[r] = rson[p];
  dad[lson[p]] = static_cast<std::int16_t>(r);
  dad[rson[p]] = static_cast<std::int16_t>(r);
  if (rson[dad[p]] == p) {
    rson[dad[p]] = static_cast<std::int16_t>(r);
  } else {
    lson[dad[p]] = static_cast<std::int16_t>(r);
  }
  dad[p] = NIL;
}

void TLZH::Tables::DeleteNode(int p) {
  if (dad[p] == NIL) return;
  int q;
  if (rson[p] == NIL) {
    q = lson[p];
  } else if (lson[p] == NIL) {
    q = rson[p];
  } else {
    q = lson[p];
    if (rson[q] != NIL) {
      do {
        q = rson[q];
      } while (rson[q] != NIL);
      rson[dad[q]] = lson[q];
      dad[lson[q]] = dad[q];
      lson[q] = lson[p];
      dad[lson[p]] = static_cast<std::int16_t>(q);
    }
    rson[q] = rson[p];
    dad[rson[p]] = static_cast<std::int16_t>(q);
  }
  dad[q] = dad[p];
  if (rson[dad[p]] == p) {
    rson[dad[p]] = static_cast<std::int16_t>(q);
  } else {
    lson[dad[p]] = static_cast<std::int16_t>(q);
  }
  dad[p] = NIL;
}

namespace {

class ByteReader {
 public:
  ByteReader(LzhInput& in, std::uint8_t* buffer, std::size_t capacity)
      : in_(in), buffer_(buffer), capacity_(capacity) {}

  // The next input byte, or -1 at the end.
  int Get() {
    if (p_ == end_ && !Refill()) return -1;
    return *p_++;
  }

  bool Refill() {
    if (eof_) return false;
    const std::size_t n = in_.Read(buffer_, capacity_);
    if (n == 0) {
      eof_ = true;
      return false;
    }
    p_ = buffer_;
    end_ = buffer_ + n;
    return true;
  }

 private:
  LzhInput& in_;
  std::uint8_t* buffer_;
  std::size_t capacity_;
  const std::uint8_t* p_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  bool eof_ = false;
};

class ByteWriter {
 public:
  ByteWriter(LzhOutput& out, std::uint8_t* buffer, std::size_t capacity)
      : out_(out), buffer_(buffer), capacity_(capacity) {}

  void Put(std::uint8_t b) {
    buffer_[used_++] = b;
    if (used_ == capacity_) Flush();
  }

  void Flush() {
    if (used_ > 0) out_.Write(buffer_, used_);
    used_ = 0;
  }

 private:
  LzhOutput& out_;
  std::uint8_t* buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

// Bits most significant first; the last byte is padded with zeros.
class BitWriter {
 public:
  explicit BitWriter(ByteWriter& out) : out_(out) {}

  // Writes the low `length` bits of `code` (length <= 56).
  void Put(unsigned length, std::uint64_t code) {
    acc_ = (acc_ << length) | code;
    count_ += length;
    while (count_ >= 8) {
      count_ -= 8;
      out_.Put(static_cast<std::uint8_t>(acc_ >> count_));
    }
  }

  void Finish() {
    if (count_ > 0) out_.Put(static_cast<std::uint8_t>(acc_ << (8 - count_)));
    count_ = 0;
  }

 private:
  ByteWriter& out_;
  std::uint64_t acc_ = 0;
  unsigned count_ = 0;
};

// Reads bits most significant first. Past the end it yields zeros, as the classic
// decoder does, but it remembers that a bit it handed out was not in the input.
class BitReader {
 public:
  explicit BitReader(ByteReader& in) : in_(in) {}

  unsigned Bit() {
    if (count_ == 0) Refill();
    const auto bit = static_cast<unsigned>(bits_ >> 63);
    bits_ <<= 1;
    --count_;
    return bit;
  }

  unsigned Byte() {
    if (count_ < 8) Refill();
    const auto byte = static_cast<unsigned>(bits_ >> 56);
    bits_ <<= 8;
    count_ -= 8;
    return byte;
  }

  bool Overrun() const { return count_ < phantom_; }

 private:
  void Refill() {
    while (count_ <= 56) {
      const int b = in_.Get();
      if (b < 0) {
        phantom_ += 8;
      } else {
        bits_ |= static_cast<std::uint64_t>(b) << (56 - count_);
      }
      count_ += 8;
    }
  }

  ByteReader& in_;
  std::uint64_t bits_ = 0;
  int count_ = 0;    // bits held in bits_
  int phantom_ = 0;  // of those, trailing zero bits that were not in the input
};

}  // namespace

std::uint64_t TLZH::Encode(LzhInput& in, LzhOutput& out, std::uint8_t* in_buffer,
                           std::uint8_t* out_buffer, std::size_t capacity) {
  ByteReader reader(in, in_buffer, capacity);
  ByteWriter writer(out, out_buffer, capacity);
  BitWriter bits(writer);

  int c = reader.Get();
  if (c < 0) return 0;  // empty input: the header alone, as the classic program writes it

  auto memory = AllocateTables();
  auto& t = *memory;
  t.StartHuff();
  t.InitTree();

  auto encode_char = [&t, &bits](int ch) {
    // Leaf to root gives the code's bits from last to first.
    std::uint64_t code = 0;
    unsigned length = 0;
    int k = t.prnt[ch + T];
    do {
      code |= static_cast<std::uint64_t>(k & 1) << length;
      ++length;
    } while ((k = t.prnt[k]) != R);
    bits.Put(length, code);
    t.Update(ch);
  };
  auto encode_position = [&bits](unsigned position) {
    const unsigned i = position >> 6;
    bits.Put(kCodes.p_len[i], kCodes.p_code[i] >> (8 - kCodes.p_len[i]));
    bits.Put(6, position & 0x3Fu);
  };

  int s = 0;
  int r = N - F;
  std::memset(t.text_buf, ' ', static_cast<std::size_t>(r));
  int len = 0;
  for (; len < F && c >= 0; ++len) {
    t.text_buf[r + len] = static_cast<std::uint8_t>(c);
    if (len + 1 < F) c = reader.Get();
  }
  std::uint64_t textsize = static_cast<std::uint64_t>(len);
  for (int i = 1; i <= F; ++i) t.InsertNode(r - i);
  t.InsertNode(r);
  do {
    if (t.match_length > len) t.match_length = len;
    if (t.match_length <= THRESHOLD) {
      t.match_length = 1;
      encode_char(t.text_buf[r]);
    } else {
      encode_char(255 - THRESHOLD + t.match_length);
      encode_position(static_cast<unsigned>(t.match_position));
    }
    const int last_match_length = t.match_length;
    int i = 0;
    for (; i < last_match_length && (c = reader.Get()) >= 0; ++i) {
      t.DeleteNode(s);
      t.text_buf[s] = static_cast<std::uint8_t>(c);
      if (s < F - 1) t.text_buf[s + N] = static_cast<std::uint8_t>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      t.InsertNode(r);
    }
    textsize += static_cast<std::uint64_t>(i);
    while (i++ < last_match_length) {
      t.DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) t.InsertNode(r);
    }
  } while (len > 0);
  bits.Finish();
  writer.Flush();
  return textsize;
}

TLZH::DecodeResult TLZH::Decode(LzhInput& in, LzhOutput& out, std::uint64_t size,
                                std::uint8_t* in_buffer, std::uint8_t* out_buffer,
                                std::size_t capacity) {
  if (size == 0) return DecodeResult::kOk;
  ByteReader reader(in, in_buffer, capacity);
  ByteWriter writer(out, out_buffer, capacity);
  BitReader bits(reader);

  auto memory = AllocateTables();
  auto& t = *memory;
  t.StartHuff();
  std::memset(t.text_buf, ' ', N - F);

  int r = N - F;
  std::uint64_t count = 0;
  DecodeResult result = DecodeResult::kOk;
  while (count < size) {
    int c = t.son[R];
    while (c < T) c = t.son[c + static_cast<int>(bits.Bit())];
    c -= T;
    t.Update(c);
    if (c < 256) {
      if (bits.Overrun()) {
        result = DecodeResult::kTruncated;
        break;
      }
      writer.Put(static_cast<std::uint8_t>(c));
      t.text_buf[r] = static_cast<std::uint8_t>(c);
      r = (r + 1) & (N - 1);
      ++count;
    } else {
      unsigned i = bits.Byte();
      const unsigned high = static_cast<unsigned>(kCodes.d_code[i]) << 6;
      for (unsigned j = kCodes.d_len[i] - 2u; j > 0; --j) i = (i << 1) + bits.Bit();
      if (bits.Overrun()) {
        result = DecodeResult::kTruncated;
        break;
      }
      const int from = (r - static_cast<int>(high | (i & 0x3Fu)) - 1) & (N - 1);
      const auto length = static_cast<std::uint64_t>(c - 255 + THRESHOLD);
      if (length > size - count) {
        result = DecodeResult::kOvershoot;
        break;
      }
      for (int k = 0; k < static_cast<int>(length); ++k) {
        const std::uint8_t b = t.text_buf[(from + k) & (N - 1)];
        writer.Put(b);
        t.text_buf[r] = b;
        r = (r + 1) & (N - 1);
      }
      count += length;
    }
  }
  writer.Flush();
  return result;
}

}  // namespace zp::records
