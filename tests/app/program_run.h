#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>

// Failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os) {
  *os << '[' << texts.join(", ").toStdString() << ']';
}

namespace zp::app::testing {

// What a finished program left behind.
struct Finished {
  int exitCode = -1;
  bool crashed = false;
  QString out;
  QString err;
};

// Runs `program` to its end (10 s at most) in `folder`, with `prepare` applied to the process
// before it starts (environment, a child modifier).
inline Finished runToEnd(const QString& program, const QStringList& args,
                         const QString& folder = {},
                         const std::function<void(QProcess&)>& prepare = {}) {
  QProcess process;
  if (!folder.isEmpty()) process.setWorkingDirectory(folder);
  if (prepare) prepare(process);
  process.start(program, args);
  Finished f;
  if (!process.waitForFinished(10000)) {
    process.kill();
    process.waitForFinished();
    f.crashed = true;
  }
  f.crashed = f.crashed || process.exitStatus() != QProcess::NormalExit;
  f.exitCode = process.exitCode();
  f.out = QString::fromUtf8(process.readAllStandardOutput());
  f.err = QString::fromUtf8(process.readAllStandardError());
  return f;
}

}  // namespace zp::app::testing
