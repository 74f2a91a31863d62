#include "classic_lzhuf.h"

#include <cstring>
#include <memory>

namespace classic_lzhuf {

namespace {

using u16 = std::uint16_t;
using s16 = std::int16_t;

constexpr int N = 4096;
constexpr int F = 60;
constexpr int THRESHOLD = 2;
constexpr int NIL = N;
constexpr int N_CHAR = 256 - THRESHOLD + F;
constexpr int T = N_CHAR * 2 - 1;
constexpr int R = T - 1;
constexpr unsigned MAX_FREQ = 0x8000;

const unsigned char p_len[64] = {
    0x03, 0x04, 0x04, 0x04, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x06, 0x06, 0x06, 0x06,
    0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07,
    0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07,
    0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08};

const unsigned char p_code[64] = {
    0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
    0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
    0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

struct State {
  unsigned char text_buf[N + F - 1] = {};
  s16 match_position = 0, match_length = 0;
  s16 lson[N + 1] = {}, rson[N + 257] = {}, dad[N + 1] = {};
  u16 freq[T + 1] = {};
  s16 prnt[T + N_CHAR] = {};
  s16 son[T] = {};
  u16 getbuf = 0;
  unsigned char getlen = 0;
  u16 putbuf = 0;
  unsigned char putlen = 0;
  const std::vector<std::uint8_t>* in = nullptr;
  std::size_t in_pos = 0;
  std::vector<std::uint8_t> out;
  unsigned char d_code[256] = {}, d_len[256] = {};

  int getc() { return in_pos < in->size() ? (*in)[in_pos++] : -1; }

  void InitTree() {
    for (int i = N + 1; i <= N + 256; i++) rson[i] = NIL;
    for (int i = 0; i < N; i++) dad[i] = NIL;
  }

  void InsertNode(int r) {
    int i, p, cmp;
    unsigned char* key;
    unsigned c;
    cmp = 1;
    key = &text_buf[r];
    p = N + 1 + key[0];
    rson[r] = lson[r] = NIL;
    match_length = 0;
    for (;;) {
      if (cmp >= 0) {
        if (rson[p] != NIL) {
          p = rson[p];
        } else {
          rson[p] = static_cast<s16>(r);
          dad[r] = static_cast<s16>(p);
          return;
        }
      } else {
        if (lson[p] != NIL) {
          p = lson[p];
        } else {
          lson[p] = static_cast<s16>(r);
          dad[r] = static_cast<s16>(p);
          return;
        }
      }
      for (i = 1; i < F; i++)
        if ((cmp = key[i] - text_buf[p + i]) != 0) break;
      if (i > THRESHOLD) {
        if (i > match_length) {
          match_position = static_cast<s16>(((r - p) & (N - 1)) - 1);
          if ((match_length = static_cast<s16>(i)) >= F) break;
        }
        if (i == match_length) {
          if ((c = static_cast<unsigned>(((r - p) & (N - 1)) - 1)) <
              static_cast<unsigned>(match_position)) {
            match_position = static_cast<s16>(c);
          }
        }
      }
    }
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = static_cast<s16>(r);
    dad[rson[p]] = static_cast<s16>(r);
    if (rson[dad[p]] == p)
      rson[dad[p]] = static_cast<s16>(r);
    else
      lson[dad[p]] = static_cast<s16>(r);
    dad[p] = NIL;
  }

  void DeleteNode(int p) {
    int q;
    if (dad[p] == NIL) return;
    if (rson[p] == NIL)
      q = lson[p];
    else if (lson[p] == NIL)
      q = rson[p];
    else {
      q = lson[p];
      if (rson[q] != NIL) {
        do {
          q = rson[q];
        } while (rson[q] != NIL);
        rson[dad[q]] = lson[q];
        dad[lson[q]] = dad[q];
        lson[q] = lson[p];
        dad[lson[p]] = static_cast<s16>(q);
      }
      rson[q] = rson[p];
      dad[rson[p]] = static_cast<s16>(q);
    }
    dad[q] = dad[p];
    if (rson[dad[p]] == p)
      rson[dad[p]] = static_cast<s16>(q);
    else
      lson[dad[p]] = static_cast<s16>(q);
    dad[p] = NIL;
  }

  int GetBit() {
    int i;
    while (getlen <= 8) {
      if ((i = getc()) < 0) i = 0;
      getbuf = static_cast<u16>(getbuf | (i << (8 - getlen)));
      getlen = static_cast<unsigned char>(getlen + 8);
    }
    i = static_cast<s16>(getbuf);
    getbuf = static_cast<u16>(getbuf << 1);
    getlen--;
    return i < 0;
  }

  int GetByte() {
    unsigned i;
    while (getlen <= 8) {
      int c = getc();
      if (c < 0) c = 0;
      getbuf = static_cast<u16>(getbuf | (c << (8 - getlen)));
      getlen = static_cast<unsigned char>(getlen + 8);
    }
    i = getbuf;
    getbuf = static_cast<u16>(getbuf << 8);
    getlen = static_cast<unsigned char>(getlen - 8);
    return static_cast<int>(i >> 8);
  }

  void Putcode(int l, unsigned c) {
    putbuf = static_cast<u16>(putbuf | (c >> putlen));
    if ((putlen = static_cast<unsigned char>(putlen + l)) >= 8) {
      out.push_back(static_cast<std::uint8_t>(putbuf >> 8));
      if ((putlen = static_cast<unsigned char>(putlen - 8)) >= 8) {
        out.push_back(static_cast<std::uint8_t>(putbuf));
        putlen = static_cast<unsigned char>(putlen - 8);
        putbuf = static_cast<u16>(c << (l - putlen));
      } else {
        putbuf = static_cast<u16>(putbuf << 8);
      }
    }
  }

  void StartHuff() {
    int i, j;
    for (i = 0; i < N_CHAR; i++) {
      freq[i] = 1;
      son[i] = static_cast<s16>(i + T);
      prnt[i + T] = static_cast<s16>(i);
    }
    i = 0;
    j = N_CHAR;
    while (j <= R) {
      freq[j] = static_cast<u16>(freq[i] + freq[i + 1]);
      son[j] = static_cast<s16>(i);
      prnt[i] = prnt[i + 1] = static_cast<s16>(j);
      i += 2;
      j++;
    }
    freq[T] = 0xffff;
    prnt[R] = 0;
  }

  void reconst() {
    int i, j, k;
    unsigned f, l;
    j = 0;
    for (i = 0; i < T; i++) {
      if (son[i] >= T) {
        freq[j] = static_cast<u16>((freq[i] + 1) / 2);
        son[j] = son[i];
        j++;
      }
    }
    for (i = 0, j = N_CHAR; j < T; i += 2, j++) {
      k = i + 1;
      f = freq[j] = static_cast<u16>(freq[i] + freq[k]);
      for (k = j - 1; f < freq[k]; k--) {
      }
      k++;
      l = static_cast<unsigned>(j - k) * 2;  // bytes of 16-bit entries
      std::memmove(&freq[k + 1], &freq[k], l);
      freq[k] = static_cast<u16>(f);
      std::memmove(&son[k + 1], &son[k], l);
      son[k] = static_cast<s16>(i);
    }
    for (i = 0; i < T; i++) {
      if ((k = son[i]) >= T) {
        prnt[k] = static_cast<s16>(i);
      } else {
        prnt[k] = prnt[k + 1] = static_cast<s16>(i);
      }
    }
  }

  void update(int c) {
    int i, j, l;
    unsigned k;
    if (freq[R] == MAX_FREQ) reconst();
    c = prnt[c + T];
    do {
      k = ++freq[c];
      if (k > freq[l = c + 1]) {
        while (k > freq[++l]) {
        }
        l--;
        freq[c] = freq[l];
        freq[l] = static_cast<u16>(k);
        i = son[c];
        prnt[i] = static_cast<s16>(l);
        if (i < T) prnt[i + 1] = static_cast<s16>(l);
        j = son[l];
        son[l] = static_cast<s16>(i);
        prnt[j] = static_cast<s16>(c);
        if (j < T) prnt[j + 1] = static_cast<s16>(c);
        son[c] = static_cast<s16>(j);
        c = l;
      }
    } while ((c = prnt[c]) != 0);
  }

  void EncodeChar(unsigned c) {
    u16 i = 0;
    int j = 0, k = prnt[c + T];
    do {
      i = static_cast<u16>(i >> 1);
      if (k & 1) i = static_cast<u16>(i + 0x8000);
      j++;
    } while ((k = prnt[k]) != R);
    Putcode(j, i);
    update(static_cast<int>(c));
  }

  void EncodePosition(unsigned c) {
    unsigned i = c >> 6;
    Putcode(p_len[i], static_cast<unsigned>(p_code[i]) << 8);
    Putcode(6, (c & 0x3f) << 10);
  }

  void EncodeEnd() {
    if (putlen) out.push_back(static_cast<std::uint8_t>(putbuf >> 8));
  }

  int DecodeChar() {
    unsigned c = static_cast<unsigned>(son[R]);
    while (c < T) {
      c += static_cast<unsigned>(GetBit());
      c = static_cast<unsigned>(son[c]);
    }
    c -= T;
    update(static_cast<int>(c));
    return static_cast<int>(c);
  }

  int DecodePosition() {
    unsigned i, j, c;
    i = static_cast<unsigned>(GetByte());
    c = static_cast<unsigned>(d_code[i]) << 6;
    j = d_len[i];
    j -= 2;
    while (j--) i = (i << 1) + static_cast<unsigned>(GetBit());
    return static_cast<int>(c | (i & 0x3f));
  }

  void MakeDecodeTables() {
    // The classic program carries these as literal tables; they are the inverse of p_code.
    for (int i = 0; i < 64; i++) {
      const int span = 1 << (8 - p_len[i]);
      for (int b = p_code[i]; b < p_code[i] + span; b++) {
        d_code[b] = static_cast<unsigned char>(i);
        d_len[b] = p_len[i];
      }
    }
  }
};

}  // namespace

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& input) {
  auto st = std::make_unique<State>();
  State& s_ = *st;
  s_.in = &input;
  if (input.empty()) return {};
  int i, c, len, r, s, last_match_length;
  s_.StartHuff();
  s_.InitTree();
  s = 0;
  r = N - F;
  for (i = s; i < r; i++) s_.text_buf[i] = ' ';
  for (len = 0; len < F && (c = s_.getc()) != -1; len++)
    s_.text_buf[r + len] = static_cast<unsigned char>(c);
  for (i = 1; i <= F; i++) s_.InsertNode(r - i);
  s_.InsertNode(r);
  do {
    if (s_.match_length > len) s_.match_length = static_cast<s16>(len);
    if (s_.match_length <= THRESHOLD) {
      s_.match_length = 1;
      s_.EncodeChar(s_.text_buf[r]);
    } else {
      s_.EncodeChar(static_cast<unsigned>(255 - THRESHOLD + s_.match_length));
      s_.EncodePosition(static_cast<unsigned>(s_.match_position));
    }
    last_match_length = s_.match_length;
    for (i = 0; i < last_match_length && (c = s_.getc()) != -1; i++) {
      s_.DeleteNode(s);
      s_.text_buf[s] = static_cast<unsigned char>(c);
      if (s < F - 1) s_.text_buf[s + N] = static_cast<unsigned char>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      s_.InsertNode(r);
    }
    while (i++ < last_match_length) {
      s_.DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) s_.InsertNode(r);
    }
  } while (len > 0);
  s_.EncodeEnd();
  return std::move(s_.out);
}

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& stream, std::uint32_t size) {
  auto st = std::make_unique<State>();
  State& s_ = *st;
  s_.in = &stream;
  s_.MakeDecodeTables();
  if (size == 0) return {};
  int i, j, k, r, c;
  s_.StartHuff();
  for (i = 0; i < N - F; i++) s_.text_buf[i] = ' ';
  r = N - F;
  for (std::uint32_t count = 0; count < size;) {
    c = s_.DecodeChar();
    if (c < 256) {
      s_.out.push_back(static_cast<std::uint8_t>(c));
      s_.text_buf[r++] = static_cast<unsigned char>(c);
      r &= (N - 1);
      count++;
    } else {
      i = (r - s_.DecodePosition() - 1) & (N - 1);
      j = c - 255 + THRESHOLD;
      for (k = 0; k < j; k++) {
        c = s_.text_buf[(i + k) & (N - 1)];
        s_.out.push_back(static_cast<std::uint8_t>(c));
        s_.text_buf[r++] = static_cast<unsigned char>(c);
        r &= (N - 1);
        count++;
      }
    }
  }
  return std::move(s_.out);
}

}  // namespace classic_lzhuf
