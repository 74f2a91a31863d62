#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zp::words::testing {

// Records of the carried format, in the order given.
inline std::string records(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& w : words) {
    std::string word = w.substr(0, 14);
    word.resize(14, ' ');
    out += '\x1e';
    out += word;
  }
  return out;
}

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& p, std::string_view data) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

}  // namespace zp::words::testing
