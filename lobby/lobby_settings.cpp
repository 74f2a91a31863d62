#include "lobby/lobby_settings.h"

#include <algorithm>

#include "lobby/table_finder.h"
#include "rules/names.h"

namespace zp::lobby {

std::vector<net::HostPort> readAddressList(std::string_view text, std::uint16_t defaultPort) {
  std::vector<net::HostPort> addresses;
  auto separator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && separator(text[at])) ++at;
    std::size_t end = at;
    while (end < text.size() && !separator(text[end])) ++end;
    if (end > at) {
      if (auto where = net::parseHostPort(text.substr(at, end - at), defaultPort)) {
        if (std::find(addresses.begin(), addresses.end(), *where) == addresses.end())
          addresses.push_back(*where);
      }
    }
    at = end;
  }
  return addresses;
}

std::string addressListText(const std::vector<net::HostPort>& addresses) {
  std::string text;
  for (const net::HostPort& where : addresses) {
    if (!text.empty()) text += ' ';
    text += net::hostPortText(where);
  }
  return text;
}

LobbySettings readLobbySettings(const client::ProfileFile& file) {
  const client::ProfileText text = file.Read();
  LobbySettings settings;
  settings.name = cleanName(text.ReadString(kLobbySection, "Name", ""));
  settings.directories =
      readAddressList(text.ReadString(kLobbySection, "Directory", ""), kDirectoryPort);
  settings.tables = readAddressList(text.ReadString(kLobbySection, "Tables", ""), kTablePort);
  return settings;
}

std::optional<std::string> writeLobbySettings(const client::ProfileFile& file,
                                              const LobbySettings& settings) {
  return file.WriteStrings(kLobbySection, {{"Name", cleanName(settings.name)},
                                           {"Directory", addressListText(settings.directories)},
                                           {"Tables", addressListText(settings.tables)}});
}

}  // namespace zp::lobby
