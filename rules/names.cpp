#include "rules/names.h"

#include "rules/constants.h"

namespace zp {
namespace {

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The bytes of the character that starts `text`: a whole UTF-8 sequence, or one byte when
// no well-formed sequence starts there.
std::size_t characterBytes(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  if (length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i)
    if (!isContinuation(static_cast<unsigned char>(text[i]))) return 1;
  return length;
}

}  // namespace

std::string cleanName(std::string_view name) {
  std::string kept;
  kept.reserve(name.size());
  for (const char c : name)
    if (c != '+' && c != '\xFF' && c != '\r' && c != '\n') kept += c;
  std::string_view rest = kept;
  std::size_t end = 0;
  for (int count = 0; count < kMaxNameLength && end < rest.size(); ++count)
    end += characterBytes(rest.substr(end));
  kept.resize(end);
  return kept;
}

}  // namespace zp
