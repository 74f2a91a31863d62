#pragma once

#include <string_view>

namespace zp::words {

// The one question the server's word check asks. The dictionary answers it from the
// carried word list; tests answer it from a handful of words.
class WordChecker {
 public:
  virtual ~WordChecker() = default;
  // True when `word` (upper-case letters as the board spells them) is a valid word.
  virtual bool checkword(std::string_view word) = 0;
};

}  // namespace zp::words
