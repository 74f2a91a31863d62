#include "client/chat_colours.h"

#include <array>

#include "client/chat_text.h"

namespace zp::client {
namespace {

struct NamedColour {
  std::string_view name;
  Colour value;
};

constexpr Colour kSystemBase = 0x80000000;

constexpr std::array<NamedColour, 17> kNamedColours = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clNone", 0x1FFFFFFF},
}};

// In system colour index order.
constexpr std::array<std::string_view, 25> kSystemColourNames = {
    "clScrollBar",    "clBackground",  "clActiveCaption", "clInactiveCaption",
    "clMenu",         "clWindow",      "clWindowFrame",   "clMenuText",
    "clWindowText",   "clCaptionText", "clActiveBorder",  "clInactiveBorder",
    "clAppWorkSpace", "clHighlight",   "clHighlightText", "clBtnFace",
    "clBtnShadow",    "clGrayText",    "clBtnText",       "clInactiveCaptionText",
    "clBtnHighlight", "cl3DDkShadow",  "cl3DLight",       "clInfoText",
    "clInfoBk",
};

// The classic desktop scheme, as 0xRRGGBB, in the same order.
constexpr std::array<std::uint32_t, 25> kSystemColourRgb = {
    0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8, 0x808080, 0x808080,
    0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000, 0xFFFFE1,
};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Colour> parseDecimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 32) - 1;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<Colour>(negative ? -value : value);
}

}  // namespace

// ---- colours ----

std::string colourToToken(Colour colour) {
  for (const auto& named : kNamedColours)
    if (named.value == colour) return std::string(named.name);
  if (colour >= kSystemBase && colour - kSystemBase < kSystemColourNames.size())
    return std::string(kSystemColourNames[colour - kSystemBase]);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string token = "$";
  for (int shift = 28; shift >= 0; shift -= 4) token += kHex[(colour >> shift) & 0xF];
  return token;
}

std::optional<Colour> colourFromToken(std::string_view token) {
  for (const auto& named : kNamedColours)
    if (equalsIgnoringCase(token, named.name)) return named.value;
  for (std::size_t i = 0; i < kSystemColourNames.size(); ++i)
    if (equalsIgnoringCase(token, kSystemColourNames[i]))
      return kSystemBase + static_cast<Colour>(i);
  if (!token.empty() && token.front() == '$') {
    token.remove_prefix(1);
    // More than eight digits would not fit; no writer has ever padded further.
    if (token.empty() || token.size() > 8) return std::nullopt;
    Colour value = 0;
    for (const char c : token) {
      const int digit = hexDigit(c);
      if (digit < 0) return std::nullopt;
      value = (value << 4) | static_cast<Colour>(digit);
    }
    return value;
  }
  return parseDecimal(token);
}

Rgb rgbOf(Colour colour) {
  std::uint32_t rgb = 0;
  if (colour >= kSystemBase) {
    const Colour index = colour - kSystemBase;
    if (index < kSystemColourRgb.size()) rgb = kSystemColourRgb[index];
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb)};
  }
  return {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour >> 16)};
}

}  // namespace zp::client
