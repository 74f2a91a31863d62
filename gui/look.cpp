#include "gui/look.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "client/chat_text.h"

namespace zp::gui {

QString shownText(std::string_view text) {
  const std::string shown = client::displayText(text);
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

void useGameFont(QWidget& window) {
  QFont font = window.font();
  font.setFamilies({QStringLiteral("Liberation Sans")});
  window.setFont(font);
}

void useSideWindowLook(QWidget& window) {
  useGameFont(window);
  QPalette colours = window.palette();
  colours.setColor(QPalette::Window, kWindowBlue);
  colours.setColor(QPalette::WindowText, kLightBlue);
  window.setPalette(colours);
  window.setAutoFillBackground(true);
}

void styleLabel(QLabel& label, const LabelStyle& style) {
  QFont font = label.font();
  font.setBold(style.bold);
  font.setItalic(style.italic);
  if (style.pixelSize > 0) font.setPixelSize(style.pixelSize);
  label.setFont(font);
  setTextColour(&label, style.colour);
}

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

void centreOnce(QWidget& window, bool& placed) {
  if (!placed) centreWindow(window, window.parentWidget());
  placed = true;
}

QFont gameFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QLabel* textLabel(QWidget* parent, QRect at, int pixelSize, bool bold, const QColor& colour,
                  Qt::Alignment align) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(at);
  label->setFont(gameFont(pixelSize, bold));
  label->setAlignment(align);
  setTextColour(label, colour);
  return label;
}

void setTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

QPixmap transparentCanvas(QSize size, qreal dpr) {
  if (!(dpr > 0)) dpr = 1;
  const QSize logical = size.expandedTo(QSize(1, 1));
  QPixmap pixmap(int(std::ceil(logical.width() * dpr)), int(std::ceil(logical.height() * dpr)));
  pixmap.setDevicePixelRatio(dpr);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void smooth(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
}

}  // namespace zp::gui
