#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "words/tdictn.h"

namespace zp::bench {

// The game's word list written out and opened in a folder of its own, gone afterwards.
struct Dictionary {
  Dictionary()
      : dir(std::filesystem::temp_directory_path() /
            ("zp-bench-" + std::to_string(std::random_device{}()))),
        created(std::filesystem::create_directories(dir)),
        spell(dir / "English", zp::words::carriedWordList()) {}
  ~Dictionary() { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
  bool created;
  zp::words::TDictn spell;
};

}  // namespace zp::bench
