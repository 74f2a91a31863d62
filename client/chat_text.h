#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rules/constants.h"

// Text that came from the network, a file or the clipboard, made fit to show, and the
// chat's links.
namespace zp::client {

// As every window shows such text: UTF-8 (text that is not valid UTF-8 is read as Latin-1),
// with control characters (C0 and C1) and the line and paragraph separators as blanks, so a
// line can never break itself into several.
std::string displayText(std::string_view text);
bool isValidUtf8(std::string_view text);
// A name as the windows and the lobby show it: displayText without the characters that draw
// nothing or turn the text around, cut to `maxCharacters` characters.
std::string shownName(std::string_view name, std::size_t maxCharacters = kMaxNameLength);
// Whether valid UTF-8 `text` holds a character that draws nothing or turns the direction of
// the text around it (zero-width marks, joiners, embeddings, overrides, isolates, the byte
// order mark and the other format characters).
bool hasInvisibleOrDirectionMark(std::string_view text);
// Only the explicit embeddings, overrides and isolates: they turn the text after them, up to
// the end of the line.
bool hasDirectionControl(std::string_view text);
// The byte length of the first `count` characters of valid UTF-8 `text` (less when it is
// shorter).
std::size_t utf8Prefix(std::string_view text, std::size_t count);
// The longest prefix of valid UTF-8 `text` within `bytes` that ends on a character boundary.
std::string_view utf8Fit(std::string_view text, std::size_t bytes);

// Letter case, for ASCII only: the words the chat looks for are ASCII.
std::string lowerAscii(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

// A link word becomes an address to open only when it is a web address: "http://" or
// "https://" at its start with a host after it, or "www." at its start ("http://" is
// put in front). The trailing blank of a link's text is dropped first. Anything else
// (another scheme, a path, text in front, blanks, control characters, or characters that
// are invisible or turn the text around) gives nothing.
std::optional<std::string> linkTarget(std::string_view linkText);

}  // namespace zp::client
