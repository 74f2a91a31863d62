#pragma once

#include <string>
#include <vector>

#include "net/host_port.h"

namespace zp::lobby {

// The game's command line as the lobby starts it: the player's name, the table's address
// and "false" to join; the name, 127.0.0.1 and "true" to host on this computer. The name
// goes as the player typed it, cleaned as the game cleans it.
std::vector<std::string> joinArguments(const std::string& name, const net::HostPort& table);
// Joining a table by its invite code: "CODE@DIRECTORY" in place of the address.
std::vector<std::string> joinByCodeArguments(const std::string& name, const std::string& code,
                                             const net::HostPort& directory);
// Hosting names the table too, after the three: "--table-name" and the name, when given.
std::vector<std::string> hostArguments(const std::string& name, const std::string& tableName = {});
inline constexpr const char* kTableNameOption = "--table-name";
// What a table is called when its host does not say: "Ann's table".
std::string defaultTableName(const std::string& playerName);

// The game program's file name; the lobby looks for it beside itself, then on the PATH.
inline constexpr const char* kGameProgram = "zandupelix";
// Where a game the lobby starts finds the token its lobby link sends first: in its
// environment, which (unlike the command line) no other user's program can read.
inline constexpr const char* kLobbyTokenVariable = "ZANDUPELIX_LOBBY_TOKEN";

}  // namespace zp::lobby
