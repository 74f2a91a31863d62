#include "windows/Tdownload.h"

#include <QShowEvent>

#include "windows/side_windows.h"

namespace zp::windows {

Tdownload::Tdownload(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Download The Qelm88 Lobby"));
  useGameFont(*this);
  resize(600, 340);
}

void Tdownload::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) centreWindow(*this, nullptr);
  QDialog::showEvent(event);
}

}  // namespace zp::windows
