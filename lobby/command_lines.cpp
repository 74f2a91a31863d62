#include "lobby/command_lines.h"

#include "net/catalogue.h"
#include "rules/names.h"

namespace zp::lobby {

std::vector<std::string> joinArguments(const std::string& name, const net::HostPort& table) {
  return {cleanName(name), net::hostPortText(table), "false"};
}

std::vector<std::string> joinByCodeArguments(const std::string& name, const std::string& code,
                                             const net::HostPort& directory) {
  return {cleanName(name), code + "@" + net::hostPortText(directory), "false"};
}

std::vector<std::string> hostArguments(const std::string& name, const std::string& tableName) {
  std::vector<std::string> arguments{cleanName(name), "127.0.0.1", "true"};
  const std::string table = net::cleanTableName(tableName);
  if (!table.empty()) arguments.insert(arguments.end(), {kTableNameOption, table});
  return arguments;
}

std::string defaultTableName(const std::string& playerName) {
  return net::cleanTableName(cleanName(playerName) + "'s table");
}

}  // namespace zp::lobby
