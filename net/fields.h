#pragma once

#include <optional>
#include <string_view>

namespace zp::net {

// Cuts a message's argument text into fields at each "+", front to back. Only the last
// field may hold a "+", so callers read it with rest().
class FieldReader {
 public:
  explicit FieldReader(std::string_view args) : rest_(args) {}

  // The text up to the next "+" (or all that is left when no "+" follows);
  // nothing once the text is used up.
  std::optional<std::string_view> next();
  // The next field as a decimal integer within [lo, hi]; nothing when it is missing,
  // not a number, or out of range. A failed read still consumes the field.
  std::optional<int> nextInt(int lo, int hi);
  // Everything not read yet, "+" included.
  std::string_view rest() const { return rest_; }
  bool atEnd() const { return done_; }

 private:
  std::string_view rest_;
  bool done_ = false;
};

// Strict decimal: an optional "-" and 1 to 9 digits, nothing else (no blanks, no "+").
std::optional<int> parseInt(std::string_view text);

}  // namespace zp::net
