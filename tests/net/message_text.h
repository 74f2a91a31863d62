#pragma once

#include <string>

#include "net/dispatch.h"

namespace zp::net::testing {

// A message as it goes over the wire: its text and the terminator.
inline std::string framed(std::string text) {
  return text + '\xFF';
}
// What a reader is handed of a built message: its fields, after the command word's "+".
inline std::string argsOf(const std::string& bytes) {
  return std::string(splitMessage(bytes.substr(0, bytes.find('\xFF'))).args);
}

}  // namespace zp::net::testing
