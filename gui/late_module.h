#pragma once

#include <QCoreApplication>
#include <QLibrary>
#include <QString>
#include <cstdio>

namespace zp::gui {

// The entry point of a module the program loads when first needed rather than at every start
// (the sounds, the lobby download), so the libraries it brings cost nothing until then.
// `installed` is its place under an installed game's prefix, `built` where it was built, for
// a program run where it was built. Never unloaded: what it made may live until the program
// ends. Null, with one line on stderr saying what the program goes without, when neither
// place has it.
template <typename Entry>
Entry lateModuleEntry(const char* installed, const char* built, const char* entry,
                      const char* without) {
  const QString places[] = {QCoreApplication::applicationDirPath() + QStringLiteral("/../") +
                                QString::fromUtf8(installed),
                            QString::fromUtf8(built)};
  QString errors;
  for (const QString& place : places) {
    QLibrary module(place);
    if (auto found = reinterpret_cast<Entry>(module.resolve(entry))) return found;
    errors += QStringLiteral("; ") + module.errorString();
  }
  std::fprintf(stderr, "zandupelix: %s did not load%s\n", without, qUtf8Printable(errors));
  return Entry{};
}

}  // namespace zp::gui
