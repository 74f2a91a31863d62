#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QSize>
#include <QString>

// The shapes and lettering the board's pictures share: the tile set's and the buttons',
// arrows' and panels' alike.
namespace zp::gui {

QPixmap canvas(QSize size, qreal dpr);
// Asked for by name: Qt would otherwise pick DejaVu Sans, and the pictures would change
// with the machine.
QFont boldFont(qreal pixels);
// Text as a path whose ink is centred horizontally on cx and whose capitals are centred
// vertically on cy, so every letter sits in the same place whatever its width or tail.
QPainterPath centredText(const QString& text, const QFont& font, QPointF centre);
void fillText(QPainter& p, const QPainterPath& text, const QColor& ink, const QColor& shadow,
              QPointF shadowOffset = {0, 1});
QPainterPath starPath(QPointF centre, qreal outer, qreal inner);

}  // namespace zp::gui
