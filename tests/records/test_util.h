#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "records/lzrw1.h"

namespace zp::records::test {

using Bytes = std::vector<std::uint8_t>;

// `text` packed into a Fast container, through the component's stream mode.
inline std::string PackFast(const std::string& text) {
  std::istringstream in(text);
  std::stringstream packed;
  Tlzrw1 doit;
  doit.UseStream = true;
  doit.CompressMode = TCompressMode::Fast;
  doit.InputStream = &in;
  doit.OutputStream = &packed;
  doit.Compress();
  return packed.str();
}

inline Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes RandomBytes(std::size_t n, unsigned seed = 1) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

// English-looking text: words of a small vocabulary in a seeded order.
inline Bytes Text(std::size_t n, unsigned seed = 7) {
  static const char* const kWords[] = {
      "the",    "quick",   "brown", "fox",     "jumps",   "over",  "lazy",   "dog",   "and",
      "a",      "word",    "game",  "players", "take",    "turns", "on",     "board", "of",
      "letter", "tiles",   "with",  "bonus",   "squares", "score", "points", "team",  "wins",
      "round",  "shuffle", "spy",   "tally",   "their",   "is",    "to",     "in",    "that",
      "it",     "was",     "for",   "as",      "he",      "she"};
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(n + 16);
  int in_sentence = 0;
  while (b.size() < n) {
    std::string w = kWords[rng() % std::size(kWords)];
    if (in_sentence == 0) w[0] = static_cast<char>(w[0] - 'a' + 'A');
    b.insert(b.end(), w.begin(), w.end());
    if (++in_sentence > 6 && rng() % 4 == 0) {
      b.push_back('.');
      b.push_back(rng() % 5 == 0 ? '\n' : ' ');
      in_sentence = 0;
    } else {
      b.push_back(' ');
    }
  }
  b.resize(n);
  return b;
}

inline Bytes Repetitive(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i)
    b[i] = static_cast<std::uint8_t>((i / 5000) % 2 ? 'z' : "abcab"[i % 5]);
  return b;
}

}  // namespace zp::records::test
