#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The chat's colours as the messages and the settings file name them ("clNavy", "$00FF8000"),
// and what they look like on screen.
namespace zp::client {

// A colour as the chat and the settings file carry it: 0x00BBGGRR, or a system colour
// 0x80000000 + index.
using Colour = std::uint32_t;

inline constexpr Colour clBlack = 0x000000;
inline constexpr Colour clRed = 0x0000FF;
inline constexpr Colour clGreen = 0x008000;
inline constexpr Colour clNavy = 0x800000;
inline constexpr Colour clBlue = 0xFF0000;
// System lines, the bot included.
inline constexpr Colour kSystemColour = clBlue;

// The name when the colour has one, else "$" and eight upper-case hex digits.
std::string colourToToken(Colour colour);
// A name in any letter case, "$" and 1 to 8 hex digits, or a decimal number that fits
// 32 bits (signed or unsigned); nothing for anything else.
std::optional<Colour> colourFromToken(std::string_view token);
// The longest token colourToToken writes ("clInactiveCaptionText").
inline constexpr std::size_t kLongestColourToken = 21;

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};
// What to paint: system colours as the classic desktop scheme, anything else by its
// low three bytes.
Rgb rgbOf(Colour colour);

}  // namespace zp::client
