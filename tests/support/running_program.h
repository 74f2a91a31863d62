#pragma once

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>

namespace zp::testing {

// One of our programs without windows, started with "--port 0" and `args` in `folder`; it
// names the free port it took on its first line. `prepare` is applied to the process before
// it starts (environment, a child modifier). Killed when it goes out of scope.
class RunningProgram {
 public:
  RunningProgram(const QString& program, const QStringList& args, const QString& folder,
                 const std::function<void(QProcess&)>& prepare = {}) {
    QDir().mkpath(folder);
    process_.setWorkingDirectory(folder);
    if (prepare) prepare(process_);
    process_.start(program, QStringList{"--port", "0"} + args);
    const auto match = QRegularExpression("listening on port (\\d+)").match(readLine());
    if (match.hasMatch()) port = static_cast<quint16>(match.captured(1).toUInt());
  }
  ~RunningProgram() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished();
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // The next line on stdout, or empty after 10 s.
  QString readLine() {
    while (!process_.canReadLine())
      if (!process_.waitForReadyRead(10000)) return {};
    return QString::fromUtf8(process_.readLine()).trimmed();
  }
  // Waits for a line holding `text`, 10 s at most for each line.
  bool said(const QString& text) {
    for (;;) {
      while (!process_.canReadLine())
        if (!process_.waitForReadyRead(10000)) return false;
      if (QString::fromUtf8(process_.readLine()).contains(text)) return true;
    }
  }
  // Exit code after SIGTERM, or -1 when it did not end normally.
  int stop() {
    process_.terminate();
    if (!process_.waitForFinished(10000) || process_.exitStatus() != QProcess::NormalExit)
      return -1;
    return process_.exitCode();
  }
  QString output() { return QString::fromUtf8(process_.readAllStandardOutput()); }
  QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }

  quint16 port = 0;

 private:
  QProcess process_;
};

}  // namespace zp::testing
