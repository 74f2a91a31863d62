#include "windows/side_windows.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

namespace zp::windows {
namespace {

void setUp(QDialog& window, const QString& caption, QSize size) {
  window.setWindowTitle(caption);
  useGameFont(window);
  window.resize(size);
}

}  // namespace

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

Thelp::Thelp(QWidget* parent) : QDialog(parent) {
  setUp(*this, QStringLiteral("Zandu Pelix - Help File"), QSize(640, 440));
}

Tphrases::Tphrases(QWidget* parent) : QDialog(parent) {
  setUp(*this, QStringLiteral("Zandu Pelix - Phrase Buttons "), QSize(320, 380));
}

Tspylist::Tspylist(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setUp(*this, QStringLiteral("Zandu Pelix - Spys"), QSize(220, 260));
}

Tdownload::Tdownload(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setUp(*this, QStringLiteral("Download The Qelm88 Lobby"), QSize(600, 340));
}

void Tdownload::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) centreWindow(*this, nullptr);
  QDialog::showEvent(event);
}

Ttallylist::Ttallylist(QWidget* parent) : QDialog(parent) {
  setUp(*this, QStringLiteral("Zandu Pelix - Tally List"), QSize(460, 380));
}

}  // namespace zp::windows
