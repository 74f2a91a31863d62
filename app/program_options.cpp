#include "app/program_options.h"

namespace zp::app {

void say(std::FILE* to, const std::string& line) {
  std::fprintf(to, "%s\n", line.c_str());
  std::fflush(to);
}

int optionError(const char* program, const QString& text) {
  say(stderr, std::string(program) + ": " + text.toStdString() + " (see " + program + " --help)");
  return 2;
}

std::optional<qulonglong> wholeNumber(const QString& text, qulonglong low, qulonglong high) {
  bool ok = false;
  const qulonglong value = text.toULongLong(&ok);
  if (!ok || text.startsWith('+') || text.trimmed() != text || value < low || value > high)
    return std::nullopt;
  return value;
}

std::optional<quint16> portFromEnvironment(const char* name) {
  const auto port = wholeNumber(qEnvironmentVariable(name), 1, 65535);
  if (!port) return std::nullopt;
  return static_cast<quint16>(*port);
}

bool hasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace zp::app
