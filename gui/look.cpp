#include "gui/look.h"

#include <cmath>

namespace zp::board {

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

}  // namespace zp::board
