#pragma once

#include <string>
#include <vector>

#include "net/host_port.h"

namespace zp::lobby {

// The game's command line as the lobby starts it: the player's name, the table's address
// and "false" to join; the name, 127.0.0.1 and "true" to host on this computer. The name
// goes as the player typed it, cleaned as the game cleans it.
std::vector<std::string> joinArguments(const std::string& name, const net::HostPort& table);
std::vector<std::string> hostArguments(const std::string& name);

// The game program's file name; the lobby looks for it beside itself, then on the PATH.
inline constexpr const char* kGameProgram = "zandupelix";

}  // namespace zp::lobby
