#include "gui/screen_reader.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace zp::client {

ScreenReaderWatch::ScreenReaderWatch(QObject* parent, QDBusConnection bus)
    : QObject(parent), bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  bus_.connect(QString::fromLatin1(kA11yService), QString::fromLatin1(kA11yPath),
               QStringLiteral("org.freedesktop.DBus.Properties"),
               QStringLiteral("PropertiesChanged"), this,
               SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
  ask(QStringLiteral("ScreenReaderEnabled"));
  ask(QStringLiteral("IsEnabled"));
}

void ScreenReaderWatch::ask(const QString& property) {
  QDBusMessage get = QDBusMessage::createMethodCall(
      QString::fromLatin1(kA11yService), QString::fromLatin1(kA11yPath),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << QString::fromLatin1(kA11yStatus) << property;
  // Never waited for: a bus that does not answer leaves the game silent, not stuck.
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(get, 2000), this);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                   [this, property](QDBusPendingCallWatcher* call) {
                     const QDBusPendingReply<QDBusVariant> reply = *call;
                     if (!reply.isError()) set(property, reply.value().variant().toBool());
                     call->deleteLater();
                   });
}

void ScreenReaderWatch::propertiesChanged(const QString& interface, const QVariantMap& values,
                                          const QStringList&) {
  if (interface != QLatin1String(kA11yStatus)) return;
  for (auto it = values.begin(); it != values.end(); ++it) set(it.key(), it.value().toBool());
}

void ScreenReaderWatch::set(const QString& property, bool value) {
  const bool before = running();
  if (property == QLatin1String("ScreenReaderEnabled"))
    screenReader_ = value;
  else if (property == QLatin1String("IsEnabled"))
    enabled_ = value;
  if (running() != before) emit changed(running());
}

}  // namespace zp::client
