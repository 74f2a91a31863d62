#include "gui/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>

#include "gui/look.h"

namespace zp::client {
namespace {

QPixmap canvas(QSize size, qreal dpr) {
  return gui::transparentCanvas(size, dpr);
}
using gui::smooth;

QFont tileFont(int pixels) {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans")});
  font.setBold(true);
  font.setPixelSize(pixels);
  return font;
}

QPen pen(const QColor& colour, qreal width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- smileys, designed on a 17 x 17 grid with the face filling (1, 1, 15, 15)

const QColor kInk(0x4a, 0x2a, 0x00);
const QColor kRim(0x9a, 0x5c, 0x00);
const QColor kRed(0xe0, 0x1e, 0x3c);
const QColor kTear(0x3c, 0x9c, 0xff);
const QRectF kFace(1, 1, 15, 15);

enum class Face {
  smile,
  grin,
  wink,
  sad,
  surprised,
  tongue,
  laughing,
  cool,
  angry,
  crying,
  kiss,
  confused,
  sleeping,
  love,
  nerd,
  devil,
  angel,
  neutral,
};

void drawHead(QPainter& p, const QColor& light, const QColor& dark, const QColor& rim) {
  QRadialGradient fill(QPointF(6.5, 5.5), 10);
  fill.setColorAt(0, light);
  fill.setColorAt(1, dark);
  p.setPen(pen(rim, 1));
  p.setBrush(fill);
  p.drawEllipse(kFace.adjusted(0.5, 0.5, -0.5, -0.5));
}

void dotEyes(QPainter& p, qreal y = 5.6) {
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawEllipse(QRectF(5.2, y, 1.9, 2.6));
  p.drawEllipse(QRectF(9.9, y, 1.9, 2.6));
}

// A closed, happy eye: an arch.
void archEye(QPainter& p, qreal x) {
  p.setPen(pen(kInk, 1.1));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(x, 5.8, 3, 2.6), 20 * 16, 140 * 16);
}

// One eye open, the other closed.
void winkingEyes(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawEllipse(QRectF(5.2, 5.6, 1.9, 2.6));
  archEye(p, 9.4);
}

void smileMouth(QPainter& p, const QRectF& box = QRectF(4.2, 5.6, 8.6, 6.6)) {
  p.setPen(pen(kInk, 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(box, 205 * 16, 130 * 16);
}

void frownMouth(QPainter& p) {
  p.setPen(pen(kInk, 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(5, 10.6, 7, 5), 30 * 16, 120 * 16);
}

// A wide open laugh: a dark half-moon with a row of teeth, optionally a tongue.
void openMouth(QPainter& p, bool tongue) {
  QPainterPath mouth;
  mouth.moveTo(4.2, 9.4);
  mouth.lineTo(12.8, 9.4);
  mouth.arcTo(QRectF(4.2, 5.6, 8.6, 8.2), 0, -180);
  mouth.closeSubpath();
  p.setPen(pen(kInk, 0.9));
  p.setBrush(QColor(0x5a, 0x10, 0x10));
  p.drawPath(mouth);
  p.save();
  p.setClipPath(mouth);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(4, 9.4, 9, 1.5));
  if (tongue) {
    p.setBrush(QColor(0xf0, 0x60, 0x78));
    p.drawEllipse(QRectF(6.2, 11.4, 4.6, 3.4));
  }
  p.restore();
}

void heart(QPainter& p, QPointF centre, qreal size, const QColor& colour) {
  const qreal s = size / 2;
  QPainterPath path;
  path.moveTo(centre.x(), centre.y() + s);
  path.cubicTo(centre.x() - s * 1.6, centre.y() - s * 0.1, centre.x() - s * 0.7,
               centre.y() - s * 1.3, centre.x(), centre.y() - s * 0.45);
  path.cubicTo(centre.x() + s * 0.7, centre.y() - s * 1.3, centre.x() + s * 1.6,
               centre.y() - s * 0.1, centre.x(), centre.y() + s);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(path);
}

void tear(QPainter& p, qreal x) {
  QPainterPath drop;
  drop.moveTo(x, 8.4);
  drop.cubicTo(x - 1.6, 11, x - 1.3, 12.8, x, 12.8);
  drop.cubicTo(x + 1.3, 12.8, x + 1.6, 11, x, 8.4);
  p.setPen(pen(kTear.darker(140), 0.6));
  p.setBrush(kTear);
  p.drawPath(drop);
}

// Brows that slant down towards the nose.
void crossBrows(QPainter& p) {
  p.setPen(pen(kInk, 1.3));
  p.drawLine(QPointF(4.3, 3.9), QPointF(7.6, 5.5));
  p.drawLine(QPointF(12.7, 3.9), QPointF(9.4, 5.5));
}

void drawSmiley(QPainter& p, Face face) {
  const QColor light(0xff, 0xf6, 0xa8);
  const QColor gold(0xff, 0xc4, 0x1a);
  switch (face) {
    case Face::smile:
      drawHead(p, light, gold, kRim);
      dotEyes(p);
      smileMouth(p);
      break;
    case Face::grin:
      drawHead(p, light, gold, kRim);
      dotEyes(p, 4.8);
      openMouth(p, false);
      break;
    case Face::wink:
      drawHead(p, light, gold, kRim);
      winkingEyes(p);
      smileMouth(p, QRectF(4.6, 6.2, 8.6, 6.2));
      break;
    case Face::sad:
      drawHead(p, light, gold, kRim);
      dotEyes(p, 6);
      frownMouth(p);
      break;
    case Face::surprised:
      drawHead(p, light, gold, kRim);
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawEllipse(QRectF(4.9, 4, 2.4, 3.6));
      p.drawEllipse(QRectF(9.7, 4, 2.4, 3.6));
      p.setPen(pen(kInk, 0.9));
      p.setBrush(QColor(0x5a, 0x10, 0x10));
      p.drawEllipse(QRectF(6.9, 9.6, 3.2, 4.1));
      break;
    case Face::tongue: {
      drawHead(p, light, gold, kRim);
      dotEyes(p);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xf0, 0x50, 0x6c));
      p.drawRoundedRect(QRectF(8.2, 9.6, 3.4, 4.4), 1.6, 1.6);
      p.setPen(pen(QColor(0xb0, 0x20, 0x3c), 0.6));
      p.drawLine(QPointF(9.9, 10.4), QPointF(9.9, 12.6));
      p.setPen(pen(kInk, 1.2));
      QPainterPath lips;
      lips.moveTo(4.6, 9.6);
      lips.quadTo(8.5, 10.6, 12.4, 9.2);
      p.setBrush(Qt::NoBrush);
      p.drawPath(lips);
      break;
    }
    case Face::laughing:
      drawHead(p, light, gold, kRim);
      p.setPen(pen(kInk, 1.1));
      p.drawPolyline(QPolygonF({{4.6, 3.9}, {7.1, 5.3}, {4.6, 6.7}}));
      p.drawPolyline(QPolygonF({{12.4, 3.9}, {9.9, 5.3}, {12.4, 6.7}}));
      openMouth(p, true);
      break;
    case Face::cool: {
      drawHead(p, light, gold, kRim);
      p.setPen(pen(QColor(0x10, 0x10, 0x18), 1));
      p.drawLine(QPointF(2, 5.6), QPointF(15, 5.6));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x10, 0x10, 0x18));
      p.drawRoundedRect(QRectF(3.2, 5, 4.8, 3.4), 1.4, 1.4);
      p.drawRoundedRect(QRectF(9, 5, 4.8, 3.4), 1.4, 1.4);
      p.setPen(pen(QColor(255, 255, 255, 170), 0.7));
      p.drawLine(QPointF(4.2, 6), QPointF(5.6, 6));
      p.drawLine(QPointF(10, 6), QPointF(11.4, 6));
      p.setPen(pen(kInk, 1.2));
      p.setBrush(Qt::NoBrush);
      QPainterPath smirk;
      smirk.moveTo(5.4, 11);
      smirk.quadTo(9.4, 13.6, 12.2, 10);
      p.drawPath(smirk);
      break;
    }
    case Face::angry:
      drawHead(p, QColor(0xff, 0xc0, 0x80), QColor(0xe8, 0x40, 0x20), QColor(0x90, 0x18, 0x08));
      crossBrows(p);
      dotEyes(p, 6.4);
      frownMouth(p);
      break;
    case Face::crying:
      drawHead(p, light, gold, kRim);
      p.setPen(pen(kInk, 1));
      p.drawLine(QPointF(4.6, 4.9), QPointF(7.2, 4.1));
      p.drawLine(QPointF(12.4, 4.9), QPointF(9.8, 4.1));
      dotEyes(p, 5.6);
      frownMouth(p);
      tear(p, 4.8);
      tear(p, 12.2);
      break;
    case Face::kiss:
      drawHead(p, light, gold, kRim);
      winkingEyes(p);
      p.setPen(pen(kRed, 1.3));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(6.6, 10.2, 2.4, 2.4));
      heart(p, QPointF(12.3, 11.2), 3.6, kRed);
      break;
    case Face::confused: {
      drawHead(p, light, gold, kRim);
      p.setPen(pen(kInk, 1));
      p.drawLine(QPointF(9.6, 3.6), QPointF(12.4, 4.4));
      dotEyes(p);
      QPainterPath wave;
      wave.moveTo(4.8, 11.4);
      wave.cubicTo(6.2, 9.6, 7.4, 12.8, 8.8, 11);
      wave.cubicTo(10, 9.6, 11, 12.2, 12.4, 10.4);
      p.setPen(pen(kInk, 1.1));
      p.setBrush(Qt::NoBrush);
      p.drawPath(wave);
      break;
    }
    case Face::sleeping:
      drawHead(p, light, gold, kRim);
      p.setPen(pen(kInk, 1.1));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(4.4, 5, 3.2, 2.8), 200 * 16, 140 * 16);
      p.drawArc(QRectF(9.4, 5, 3.2, 2.8), 200 * 16, 140 * 16);
      p.setPen(pen(kInk, 0.9));
      p.drawEllipse(QRectF(7.6, 10.6, 1.8, 1.8));
      p.setPen(pen(QColor(0x20, 0x50, 0xd0), 1.1));
      p.drawPolyline(QPolygonF({{12.2, 0.8}, {15.6, 0.8}, {12.2, 4.2}, {15.6, 4.2}}));
      break;
    case Face::love:
      drawHead(p, light, gold, kRim);
      heart(p, QPointF(5.9, 6.8), 4.2, kRed);
      heart(p, QPointF(11.1, 6.8), 4.2, kRed);
      smileMouth(p);
      break;
    case Face::nerd:
      drawHead(p, light, gold, kRim);
      p.setPen(pen(QColor(0x30, 0x30, 0x30), 0.9));
      p.setBrush(QColor(255, 255, 255, 150));
      p.drawEllipse(QRectF(3.6, 4.4, 4.2, 4.2));
      p.drawEllipse(QRectF(9.2, 4.4, 4.2, 4.2));
      p.drawLine(QPointF(7.8, 6.5), QPointF(9.2, 6.5));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawEllipse(QRectF(5, 5.7, 1.5, 1.6));
      p.drawEllipse(QRectF(10.6, 5.7, 1.5, 1.6));
      smileMouth(p, QRectF(4.6, 6.6, 7.8, 5.8));
      p.setPen(pen(kInk, 0.6));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(7.5, 12.1, 2, 1.7));
      break;
    case Face::devil: {
      const QColor horn(0x5a, 0x10, 0x70);
      p.setPen(pen(horn, 0.6));
      p.setBrush(QColor(0x90, 0x28, 0xb0));
      p.drawPolygon(QPolygonF({{1.6, 0.4}, {5.6, 2.6}, {2.8, 5.4}}));
      p.drawPolygon(QPolygonF({{15.4, 0.4}, {11.4, 2.6}, {14.2, 5.4}}));
      drawHead(p, QColor(0xe0, 0x9c, 0xf4), QColor(0x9a, 0x3a, 0xc8), horn);
      crossBrows(p);
      dotEyes(p, 6.2);
      smileMouth(p, QRectF(3.6, 5, 9.8, 7.4));
      break;
    }
    case Face::angel:
      p.save();
      // The halo needs room at the top, so the face is a little smaller and lower.
      p.translate(2, 3.4);
      p.scale(13.0 / 15, 13.0 / 15);
      p.translate(-1, -1);
      drawHead(p, light, gold, kRim);
      archEye(p, 4.3);
      archEye(p, 9.7);
      smileMouth(p);
      p.restore();
      p.setPen(pen(QColor(0xd8, 0x9c, 0x00), 1.1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(4.2, 0.6, 8.6, 2.6));
      break;
    case Face::neutral:
      drawHead(p, light, gold, kRim);
      dotEyes(p);
      p.setPen(pen(kInk, 1.2));
      p.drawLine(QPointF(5.6, 11.2), QPointF(11.4, 11.2));
      break;
  }
}

QPixmap smileyAt(int index, QSize size, qreal dpr) {
  if (index < 0 || index >= kSmileyCount) index = 0;
  QPixmap pixmap = canvas(size, dpr);
  QPainter p(&pixmap);
  smooth(p);
  p.scale(size.width() / 17.0, size.height() / 17.0);
  drawSmiley(p, Face(index));
  return pixmap;
}

const QColor kBlue(0x0c, 0x71, 0xc2);
const QColor kDeepBlue(0x08, 0x4e, 0x88);

}  // namespace

QPixmap smileyPicture(int index, qreal dpr) {
  return smileyAt(index, kSmileySize, dpr);
}

QString smileyCaption(int index) {
  if (index < 0 || index >= kSmileyCount) index = 0;
  return QStringLiteral(":)#") + QString::number(index + kFirstSmileyCode);
}

QPixmap phraseButtonPicture(int button, qreal dpr) {
  QPixmap pixmap = canvas(kPhraseButtonSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  QLinearGradient fill(0, 1.5, 0, 18);
  fill.setColorAt(0, Qt::white);
  fill.setColorAt(1, QColor(0xd6, 0xea, 0xfc));
  p.setPen(pen(kDeepBlue, 1.2));
  p.setBrush(fill);
  if (button == kPhraseButtonCount) {
    // A speaker with its sound and a note, on the same light face as the phrase bubbles.
    p.drawRoundedRect(QRectF(1.5, 1.5, 26, 22), 5, 5);
    p.setPen(pen(kDeepBlue, 0.8));
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{4, 10}, {7.5, 10}, {12, 6}, {12, 19}, {7.5, 15}, {4, 15}}));
    p.setPen(pen(kBlue, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 8.5, 7, 8), -50 * 16, 100 * 16);
    p.drawArc(QRectF(7.5, 6.5, 11, 12), -50 * 16, 100 * 16);
    const QColor note(0xd0, 0x30, 0x60);
    p.setPen(pen(note, 1.1));
    p.drawLine(QPointF(24, 5), QPointF(24, 14));
    p.drawLine(QPointF(24, 5), QPointF(26.2, 7.4));
    p.setPen(Qt::NoPen);
    p.setBrush(note);
    p.drawEllipse(QRectF(20.6, 12.6, 3.9, 3));
    return pixmap;
  }
  QPainterPath bubble;
  bubble.addRoundedRect(QRectF(1.5, 1.5, 26, 16.5), 5, 5);
  QPainterPath tail;
  tail.addPolygon(QPolygonF({{6, 16}, {4.5, 23.5}, {12, 16}}));
  bubble = bubble.united(tail);
  p.drawPath(bubble);
  if (button >= 1 && button < kPhraseButtonCount) {
    p.setFont(tileFont(13));
    p.setPen(kBlue);
    p.drawText(QRectF(1.5, 1.5, 26, 16.5), Qt::AlignCenter, QString::number(button));
  }
  return pixmap;
}

QPixmap eyesPicture(qreal dpr) {
  QPixmap pixmap = canvas(kEyesSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  for (qreal left : {0.6, 8.4}) {
    p.setPen(pen(QColor(0x20, 0x20, 0x28), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(left, 0.6, 7, 8.8));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x20, 0x28));
    p.drawEllipse(QRectF(left + 3, 3.6, 3.4, 3.8));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(left + 4.6, 4.2, 1.1, 1.1));
  }
  return pixmap;
}

QPixmap turnMarkerPicture(qreal dpr) {
  QPixmap pixmap = canvas(kTurnMarkerSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  QLinearGradient fill(1, 0, 9, 0);
  fill.setColorAt(0, QColor(0xff, 0x9a, 0x00));
  fill.setColorAt(0.45, QColor(0xff, 0xe4, 0x50));
  fill.setColorAt(1, QColor(0xff, 0x8c, 0x00));
  p.setPen(pen(QColor(0xa8, 0x4c, 0x00), 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(1.5, 0.5, 7, 39), 3, 3);
  return pixmap;
}

QPixmap seatPanelPicture(QSize size, qreal dpr) {
  QPixmap pixmap = canvas(size, dpr);
  const QSizeF area = size.expandedTo(QSize(1, 1));
  QPainter p(&pixmap);
  smooth(p);
  const QRectF panel(0.5, 0.5, area.width() - 1, area.height() - 1);
  // Light enough that the seat's black texts read well on it.
  QLinearGradient fill(0, 0, 0, area.height());
  fill.setColorAt(0, QColor(0xe6, 0xf2, 0xfd));
  fill.setColorAt(1, QColor(0xa8, 0xcf, 0xf2));
  p.setPen(pen(kDeepBlue, 1));
  p.setBrush(fill);
  p.drawRoundedRect(panel, 6, 6);
  p.setPen(pen(QColor(255, 255, 255, 200), 1));
  p.drawLine(QPointF(6, 1.8), QPointF(area.width() - 6, 1.8));
  return pixmap;
}

QPixmap smileyButtonPicture(qreal dpr) {
  QPixmap pixmap = smileyAt(0, kSmileyButtonSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  // A small arrow: the button opens a menu.
  p.setPen(pen(Qt::white, 0.8));
  p.setBrush(QColor(0x20, 0x20, 0x28));
  p.drawPolygon(QPolygonF({{15.5, 17.5}, {21.5, 17.5}, {18.5, 21}}));
  return pixmap;
}

}  // namespace zp::client
