#include "app/player_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "client/settings.h"

namespace zp::app {

bool installedProgram() {
  return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zandupelix"))
      .isDir();
}

bool writableBesideProgram(const std::filesystem::path& path) {
  return !installedProgram() && client::IsWritable(path);
}

std::filesystem::path userDataFolder() {
  // The game's own name for the folder, whichever program asks.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return (data + QStringLiteral("/zandupelix")).toStdString();
}

std::filesystem::path playerRecordsFolder() {
  const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
  if (writableBesideProgram(program)) return program;
  const std::filesystem::path user = userDataFolder();
  QDir().mkpath(QString::fromStdString(user.string()));
  return user;
}

client::ProfileFile playerSettingsFile() {
  return client::ChooseSettingsFile(QCoreApplication::applicationDirPath().toStdString(),
                                    userDataFolder(), writableBesideProgram);
}

}  // namespace zp::app
