#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace zp::client {

// Whether the desktop says a screen reader (or another assistive tool that reads the screen)
// runs: the session bus's accessibility status, org.a11y.Status's ScreenReaderEnabled or
// IsEnabled. Asked without waiting, and followed while the window lives; a desktop without
// a session bus or that status is taken as "no".
class ScreenReaderWatch : public QObject {
  Q_OBJECT

 public:
  // `bus` is the session bus unless a test gives another.
  explicit ScreenReaderWatch(QObject* parent = nullptr,
                             QDBusConnection bus = QDBusConnection::sessionBus());

  bool running() const { return screenReader_ || enabled_; }

 signals:
  void changed(bool running);

 private slots:
  void propertiesChanged(const QString& interface, const QVariantMap& changed,
                         const QStringList& invalidated);

 private:
  void ask(const QString& property);
  void set(const QString& property, bool value);

  QDBusConnection bus_;
  bool screenReader_ = false;
  bool enabled_ = false;
};

// The status's address on the session bus.
inline constexpr const char* kA11yService = "org.a11y.Bus";
inline constexpr const char* kA11yPath = "/org/a11y/bus";
inline constexpr const char* kA11yStatus = "org.a11y.Status";

}  // namespace zp::client
