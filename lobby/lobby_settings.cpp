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
    const std::string address = net::hostPortText(where);
    // What would not read back is not written.
    if (text.size() + 1 + address.size() > client::ProfileText::kMaxValue) break;
    if (!text.empty()) text += ' ';
    text += address;
  }
  return text;
}

namespace {
std::string tableKey(std::size_t n) {
  return "Table" + std::to_string(n);
}
// A key that is missing gives back whichever fallback it is given.
std::optional<std::string> readKey(const client::ProfileText& text, const std::string& key) {
  std::string value = text.ReadString(kLobbySection, key, "a");
  if (value == "a" && text.ReadString(kLobbySection, key, "b") == "b") return std::nullopt;
  return value;
}
}  // namespace

LobbySettings readLobbySettings(const client::ProfileFile& file) {
  const client::ProfileText text = file.Read();
  LobbySettings settings;
  settings.name = cleanName(text.ReadString(kLobbySection, "Name", ""));
  settings.directories =
      readAddressList(text.ReadString(kLobbySection, "Directory", ""), kDirectoryPort);
  for (std::size_t n = 1; settings.tables.size() < kMaxAddedTables; ++n) {
    const std::optional<std::string> value = readKey(text, tableKey(n));
    if (!value) break;
    const auto where = net::parseHostPort(*value, kTablePort);
    if (where &&
        std::find(settings.tables.begin(), settings.tables.end(), *where) == settings.tables.end())
      settings.tables.push_back(*where);
  }
  return settings;
}

std::optional<std::string> writeLobbySettings(const client::ProfileFile& file,
                                              const LobbySettings& settings) {
  std::vector<std::pair<std::string, std::string>> keys = {
      {"Name", cleanName(settings.name)}, {"Directory", addressListText(settings.directories)}};
  const std::size_t count = std::min(settings.tables.size(), kMaxAddedTables);
  for (std::size_t n = 1; n <= count; ++n)
    keys.emplace_back(tableKey(n), net::hostPortText(settings.tables[n - 1]));
  // The keys of a longer list written before are emptied, up to the first missing one.
  const client::ProfileText text = file.Read();
  for (std::size_t n = count + 1; readKey(text, tableKey(n)); ++n)
    keys.emplace_back(tableKey(n), "");
  return file.WriteStrings(kLobbySection, keys);
}

}  // namespace zp::lobby
