#pragma once

#include <string>
#include <string_view>

namespace zp {

// A player's name as every message carries it and every window shows it: without "+" (which
// would split the fields after it), the message terminator 0xFF and line breaks, and cut to
// kMaxNameLength characters without splitting one. Applied once wherever a name enters, by
// the window and by the table alike.
std::string cleanName(std::string_view name);

}  // namespace zp
