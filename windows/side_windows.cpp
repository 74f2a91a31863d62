#include "windows/side_windows.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>

namespace zp::windows {

void centreWindow(QWidget& window, const QWidget* over) {
  QRect area;
  if (over != nullptr) {
    area = over->window()->frameGeometry();
  } else {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    area = screen->availableGeometry();
  }
  QRect placed(QPoint(), window.frameGeometry().size());
  placed.moveCenter(area.center());
  window.move(placed.topLeft());
}

void useGameFont(QWidget& window) {
  QFont font = window.font();
  font.setFamilies({QStringLiteral("Liberation Sans")});
  window.setFont(font);
}

}  // namespace zp::windows
