#include "gui/drawing.h"

#include <QFontMetricsF>
#include <QPolygonF>
#include <cmath>
#include <numbers>

#include "gui/look.h"

namespace zp::gui {

QPixmap canvas(QSize size, qreal dpr) {
  return transparentCanvas(size, dpr);
}

QFont boldFont(qreal pixels) {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans")});
  font.setBold(true);
  font.setPixelSize(int(std::lround(pixels)));
  return font;
}

QPainterPath centredText(const QString& text, const QFont& font, QPointF centre) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF ink = path.boundingRect();
  const qreal capHeight = QFontMetricsF(font).capHeight();
  path.translate(centre.x() - ink.center().x(), centre.y() + capHeight / 2);
  return path;
}

void fillText(QPainter& p, const QPainterPath& text, const QColor& ink, const QColor& shadow,
              QPointF shadowOffset) {
  p.setPen(Qt::NoPen);
  if (shadow.alpha() > 0) {
    p.setBrush(shadow);
    p.drawPath(text.translated(shadowOffset));
  }
  p.setBrush(ink);
  p.drawPath(text);
}

QPainterPath starPath(QPointF centre, qreal outer, qreal inner) {
  QPolygonF points;
  for (int i = 0; i < 10; ++i) {
    const qreal angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    const qreal r = i % 2 ? inner : outer;
    points << centre + QPointF(r * std::cos(angle), r * std::sin(angle));
  }
  QPainterPath path;
  path.addPolygon(points);
  path.closeSubpath();
  return path;
}

}  // namespace zp::gui
