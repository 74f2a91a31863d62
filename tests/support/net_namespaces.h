#pragma once

// Networks built from Linux network namespaces for the tests that need a real one (a
// broadcast, a home router), as root, and the programs run inside them.

#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <optional>
#include <vector>

namespace zp::testing {

// The namespaces of one run, named TAG-PID-*, gone when this goes. Those of a run of the same
// tag that was killed before it could remove them go when the next run starts.
class Namespaces {
 public:
  explicit Namespaces(const QString& tag) : prefix_(tag + QStringLiteral("-%1-").arg(::getpid())) {
    QProcess list;
    list.start("ip", {"netns", "list"});
    list.waitForFinished();
    const QRegularExpression ours("^(" + QRegularExpression::escape(tag) + "-(\\d+)-\\S+)");
    for (const QString& line : QString::fromUtf8(list.readAllStandardOutput()).split('\n')) {
      const auto m = ours.match(line);
      if (m.hasMatch() && !QFileInfo::exists("/proc/" + m.captured(2)))
        QProcess::execute("ip", {"netns", "del", m.captured(1)});
    }
  }
  ~Namespaces() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
      QProcess::execute("ip", {"netns", "del", *it});
  }
  Namespaces(const Namespaces&) = delete;
  Namespaces& operator=(const Namespaces&) = delete;

  QString operator[](const char* name) const { return prefix_ + name; }
  // `ip ARGS`, each word of the text an argument; "@x" stands for namespace x's full name.
  void ip(const QString& words) {
    QStringList args;
    for (const QString& word : words.split(' ', Qt::SkipEmptyParts))
      args << (word.startsWith('@') ? prefix_ + word.mid(1) : word);
    if (args.size() >= 3 && args[0] == "netns" && args[1] == "add") made_.push_back(args[2]);
    if (QProcess::execute("ip", args) != 0) failures_ << "ip " + args.join(' ');
  }
  void run(const char* ns, const QStringList& command) {
    if (QProcess::execute("ip", QStringList{"netns", "exec", prefix_ + ns} + command) != 0)
      failures_ << "in " + QString(ns) + ": " + command.join(' ');
  }
  void sh(const char* ns, const QString& script) { run(ns, {"sh", "-c", script}); }
  QStringList failures() const { return failures_; }

 private:
  QString prefix_;
  std::vector<QString> made_;
  QStringList failures_;
};

// A program running inside a namespace; killed when this goes.
class InNamespace {
 public:
  InNamespace(const QString& ns, const QString& program, const QStringList& args,
              const QString& folder,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(folder);
    process_.start("ip", QStringList{"netns", "exec", ns, program} + args);
  }
  ~InNamespace() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished();
  }
  InNamespace(const InNamespace&) = delete;
  InNamespace& operator=(const InNamespace&) = delete;

  // The next line on stdout, or nothing within `ms`.
  std::optional<QString> line(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!process_.canReadLine()) {
      const qint64 left = ms - clock.elapsed();
      if (left <= 0 || !process_.waitForReadyRead(static_cast<int>(left))) {
        if (!process_.canReadLine()) return std::nullopt;
      }
    }
    const QString line = QString::fromUtf8(process_.readLine()).trimmed();
    seen_ << line;
    return line;
  }
  // The first line matching `pattern` within `ms`: its captures.
  std::optional<QRegularExpressionMatch> until(const QString& pattern, int ms) {
    const QRegularExpression wanted(pattern);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
      const auto next = line(static_cast<int>(ms - clock.elapsed()));
      if (!next) break;
      if (const auto m = wanted.match(*next); m.hasMatch()) return m;
    }
    return std::nullopt;
  }
  // Every line until it ends, and its exit status.
  int finish(int ms) {
    while (line(ms)) {
    }
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(ms)) return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }
  void stop() {
    process_.terminate();
    process_.waitForFinished(10000);
  }
  QString seen() const { return seen_.join('\n'); }
  QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }

 private:
  QProcess process_;
  QStringList seen_;
};

}  // namespace zp::testing
