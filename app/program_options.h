#pragma once

#include <QString>
#include <cstdio>
#include <optional>
#include <string>

// What the programs without windows share when they read their options and report.
namespace zp::app {

// One line to `to`, at once: a test or a log reads it as it happens.
void say(std::FILE* to, const std::string& line);
// "PROGRAM: text (see PROGRAM --help)" on stderr; the exit code for a bad option.
int optionError(const char* program, const QString& text);
// The number in `text` when it is a whole number from `low` to `high`.
std::optional<qulonglong> wholeNumber(const QString& text, qulonglong low, qulonglong high);

}  // namespace zp::app
