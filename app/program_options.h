#pragma once

#include <QString>
#include <cstdio>
#include <optional>
#include <string>

// What the programs share when they read their options and their environment, and report.
namespace zp::app {

// One line to `to`, at once: a test or a log reads it as it happens.
void say(std::FILE* to, const std::string& line);
// "PROGRAM: text (see PROGRAM --help)" on stderr; the exit code for a bad option.
int optionError(const char* program, const QString& text);
// The number in `text` when it is a whole number from `low` to `high`.
std::optional<qulonglong> wholeNumber(const QString& text, qulonglong low, qulonglong high);

// A port from the environment variable `name`, 1 to 65535; tests move the programs' fixed
// ports with these, players never set them.
std::optional<quint16> portFromEnvironment(const char* name);
// Whether there is a screen to show windows on: without one, a program says so instead of
// Qt's abort.
bool hasDisplay();

}  // namespace zp::app
