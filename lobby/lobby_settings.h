#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/profile.h"
#include "net/host_port.h"

namespace zp::lobby {

// The lobby's own section of the settings file it shares with the game ("qelmlobby.ini");
// the game's section and every other stay as they are, byte for byte.
inline constexpr std::string_view kLobbySection = "ZanduPelixLobby";

// What the lobby remembers:
//   [ZanduPelixLobby]
//   Name=Ann
//   Directory=dir.example.org:7771 [2001:db8::7]:7771
//   Table1=192.168.1.20:7772
//   Table2=club.example.org:7800
// Addresses are written HOST:PORT ([IPv6]:PORT). The few directories share one key,
// separated by blanks, which no address holds (commas are read as blanks too, for a
// hand-edited file); a key's value is read up to 2047 bytes, so directories past that are
// not kept. The added tables, which may be many, take a key each, numbered from 1; reading
// stops at the first number missing, and a list grown shorter leaves its old keys empty
// (a key cannot be taken out of the file one at a time). An address that does not read is
// skipped.
struct LobbySettings {
  std::string name;
  std::vector<net::HostPort> directories;
  std::vector<net::HostPort> tables;  // added by address, at most kMaxAddedTables
  bool operator==(const LobbySettings&) const = default;
};

inline constexpr std::size_t kMaxAddedTables = 1000;

std::vector<net::HostPort> readAddressList(std::string_view text, std::uint16_t defaultPort);
std::string addressListText(const std::vector<net::HostPort>& addresses);

LobbySettings readLobbySettings(const client::ProfileFile& file);
// Returns an error text, or nothing on success.
std::optional<std::string> writeLobbySettings(const client::ProfileFile& file,
                                              const LobbySettings& settings);

}  // namespace zp::lobby
