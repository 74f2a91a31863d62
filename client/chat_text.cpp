#include "client/chat_text.h"

#include "rules/constants.h"

#include <algorithm>
#include <cstdint>

namespace zp::client {
namespace {

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// A host must follow "http://" or "https://": "http:///etc/passwd" is no web address.
bool hasHost(std::string_view afterScheme) {
  std::string_view authority = afterScheme.substr(0, afterScheme.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') return authority.size() > 2;
  return !authority.substr(0, authority.find(':')).empty();
}

// The code points of valid UTF-8 `text`, one at a time.
template <class Visit>
bool anyCodePoint(std::string_view text, Visit visit) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t code = length == 1   ? c
                         : length == 2 ? (c & 0x1Fu)
                         : length == 3 ? (c & 0x0Fu)
                                       : (c & 0x07u);
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    if (visit(code)) return true;
    i += length;
  }
  return false;
}

bool isDirectionControl(std::uint32_t c) {
  return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Unicode's format characters (category Cf), the direction marks among them.
bool isFormatCharacter(std::uint32_t c) {
  return c == 0xAD || (c >= 0x600 && c <= 0x605) || c == 0x61C || c == 0x6DD || c == 0x70F ||
         c == 0x890 || c == 0x891 || c == 0x8E2 || c == 0x180E || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
         (c >= 0x2066 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) ||
         c == 0x110BD || c == 0x110CD || (c >= 0x13430 && c <= 0x1343F) ||
         (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) || c == 0xE0001 ||
         (c >= 0xE0020 && c <= 0xE007F);
}

}  // namespace

std::string shownName(std::string_view name, std::size_t maxCharacters) {
  const std::string text = displayText(name);
  // A name holds nothing invisible and turns no text around: it cannot pass for another.
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8Prefix(std::string_view(text).substr(i), 1);
    const std::string_view character = std::string_view(text).substr(i, length);
    if (!hasInvisibleOrDirectionMark(character)) shown += character;
    i += length;
  }
  shown.resize(utf8Prefix(shown, maxCharacters));
  return shown;
}

bool hasInvisibleOrDirectionMark(std::string_view text) {
  return anyCodePoint(text, isFormatCharacter);
}

bool hasDirectionControl(std::string_view text) {
  return anyCodePoint(text, isDirectionControl);
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lowerAscii(x) == lowerAscii(y);
         });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07u;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if (!isContinuation(d)) return false;
      code = (code << 6) | (d & 0x3Fu);
    }
    if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return false;
    if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return false;
    i += length;
  }
  return true;
}

// Text from the network or the clipboard as the chat shows it: UTF-8 (a line that is not
// valid UTF-8 is read as Latin-1) with control characters (C0 and C1) and the line and
// paragraph separators as blanks, so a line can never break itself into several.
std::string displayText(std::string_view text) {
  std::string out;
  if (isValidUtf8(text)) {
    out.assign(text);
  } else {
    out.reserve(text.size() * 2);
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 0x80) {
        out += ch;
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  // The C1 controls (one of them a line break) and Unicode's line and paragraph separators
  // break or drive a line as the ASCII controls do.
  std::string shown;
  shown.reserve(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    const auto next = i + 1 < out.size() ? static_cast<unsigned char>(out[i + 1]) : 0;
    const auto third = i + 2 < out.size() ? static_cast<unsigned char>(out[i + 2]) : 0;
    if (c < 0x20 || c == 0x7F) {
      shown += ' ';
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      shown += ' ';
      i += 1;
    } else if (c == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {
      shown += ' ';
      i += 2;
    } else {
      shown += out[i];
    }
  }
  return shown;
}

// The byte length of the first `count` characters of valid UTF-8 `text` (less when it
// is shorter).
std::size_t utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < count && i < text.size(); ++k) {
    ++i;
    while (i < text.size() && isContinuation(static_cast<unsigned char>(text[i]))) ++i;
  }
  return i;
}

std::string_view utf8Fit(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t cut = bytes;
  while (cut > 0 && isContinuation(static_cast<unsigned char>(text[cut]))) --cut;
  return text.substr(0, cut);
}

// ---- links ----

std::optional<std::string> linkTarget(std::string_view linkText) {
  if (!linkText.empty() && linkText.back() == ' ') linkText.remove_suffix(1);
  for (const char c : linkText)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return std::nullopt;
  if (!isValidUtf8(linkText) || hasInvisibleOrDirectionMark(linkText)) return std::nullopt;
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (!startsWithIgnoringCase(linkText, scheme)) continue;
    const std::string_view rest = linkText.substr(scheme.size());
    if (!hasHost(rest)) return std::nullopt;
    return std::string(scheme) + std::string(rest);
  }
  if (startsWithIgnoringCase(linkText, "www.") && linkText.size() > 4 && hasHost(linkText))
    return "http://" + std::string(linkText);
  return std::nullopt;
}

}  // namespace zp::client
