#include "net/fields.h"

namespace zp::net {

std::optional<std::string_view> FieldReader::next() {
  if (done_) return std::nullopt;
  const std::size_t plus = rest_.find('+');
  std::string_view field = rest_.substr(0, plus);
  if (plus == std::string_view::npos) {
    rest_ = {};
    done_ = true;
  } else {
    rest_.remove_prefix(plus + 1);
  }
  return field;
}

std::optional<int> FieldReader::nextInt(int lo, int hi) {
  const auto field = next();
  if (!field) return std::nullopt;
  const auto value = parseInt(*field);
  if (!value || *value < lo || *value > hi) return std::nullopt;
  return value;
}

std::optional<int> parseInt(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

}  // namespace zp::net
