#include "lobby/command_lines.h"

#include "rules/names.h"

namespace zp::lobby {

std::vector<std::string> joinArguments(const std::string& name, const net::HostPort& table) {
  return {cleanName(name), net::hostPortText(table), "false"};
}

std::vector<std::string> hostArguments(const std::string& name) {
  return {cleanName(name), "127.0.0.1", "true"};
}

}  // namespace zp::lobby
