#include "gui/board_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>

#include "gui/drawing.h"
#include "gui/look.h"
#include "rules/rules.h"

namespace zp::board {

using namespace gui;
namespace {

const QColor kNavy(0x06, 0x33, 0x5e);

// ---- buttons, arrows, gauges, banner, panel

QPen roundPen(const QColor& colour, qreal width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// One arrow pointing down, its tip at (0, length / 2).
QPainterPath downArrow(qreal length, qreal width) {
  const qreal half = length / 2, head = width * 0.55, shaft = width * 0.19;
  QPainterPath path;
  path.addPolygon(QPolygonF({{-shaft, -half},
                             {shaft, -half},
                             {shaft, half - head},
                             {width / 2, half - head},
                             {0, half},
                             {-width / 2, half - head},
                             {-shaft, half - head}}));
  path.closeSubpath();
  return path;
}

}  // namespace

// ---- the picture buttons

QSize pictureButtonSize(PictureButton button) {
  switch (button) {
    case PictureButton::kClear:
      return {110, 28};
    case PictureButton::kShuffle:
      return {128, 28};
    case PictureButton::kStart:
      return {68, 28};
    case PictureButton::kDone:
      break;
  }
  return {70, 28};
}

QPixmap pictureButtonPicture(PictureButton button, qreal dpr, ButtonLook look) {
  const QSize size = pictureButtonSize(button);
  QPixmap pixmap = canvas(size, dpr);
  QPainter p(&pixmap);
  smooth(p);
  const QRectF face(0.5, 0.5, size.width() - 1, size.height() - 1);
  const qreal radius = 8;

  QColor top(0x5c, 0xb2, 0xf6), bottom(0x0a, 0x56, 0x9e), text(Qt::white);
  QColor rim = kNavy;
  if (look == ButtonLook::kPressed) {
    top = QColor(0x0a, 0x4c, 0x8c);
    bottom = QColor(0x2c, 0x84, 0xd0);
  } else if (look == ButtonLook::kDisabled) {
    top = QColor(0xa8, 0xb8, 0xc8);
    bottom = QColor(0x74, 0x86, 0x98);
    rim = QColor(0x4a, 0x58, 0x66);
    text = QColor(0xdc, 0xe2, 0xe8);
  }
  QLinearGradient fill(0, 0, 0, size.height());
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  p.setPen(QPen(rim, 1));
  p.setBrush(fill);
  p.drawRoundedRect(face, radius, radius);
  if (look == ButtonLook::kNormal) {
    // A gloss over the upper half.
    QLinearGradient gloss(0, 1, 0, size.height() / 2.0);
    gloss.setColorAt(0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1, QColor(255, 255, 255, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(QRectF(2, 1.5, size.width() - 4, size.height() / 2.0 - 1.5), radius - 2,
                      radius - 3);
  }

  const QPointF shift = look == ButtonLook::kPressed ? QPointF(0.5, 1) : QPointF(0, 0);
  const QColor shadow = look == ButtonLook::kDisabled ? QColor(0, 0, 0, 0) : QColor(0, 0x20, 0x40);
  const QPointF centre = face.center() + shift;
  switch (button) {
    case PictureButton::kStart: {
      // Two lines: the button is narrow between Shuffle and Done.
      const QFont font = boldFont(11);
      fillText(p, centredText(QStringLiteral("START"), font, centre - QPointF(0, 6)), text, shadow);
      fillText(p, centredText(QStringLiteral("GAME"), font, centre + QPointF(0, 6)), text, shadow);
      break;
    }
    case PictureButton::kClear:
      fillText(p, centredText(QStringLiteral("CLEAR"), boldFont(14), centre), text, shadow);
      break;
    case PictureButton::kDone:
      fillText(p, centredText(QStringLiteral("SEND"), boldFont(14), centre), text, shadow);
      break;
    case PictureButton::kShuffle:
      fillText(p, centredText(QStringLiteral("ZANDU SHUFFLE"), boldFont(13), centre), text, shadow);
      break;
  }
  return pixmap;
}

// ---- the direction arrows

QSize directionArrowSize(int direction) {
  return direction == kLeft || direction == kRight ? kArrowColumnSize : kArrowRowSize;
}

QPixmap directionArrowPicture(int direction, qreal dpr) {
  if (direction < kDown || direction > kRight) return {};
  const QSize size = directionArrowSize(direction);
  const bool row = size == kArrowRowSize;
  QPixmap pixmap = canvas(size, dpr);
  QPainter p(&pixmap);
  smooth(p);
  const int count = 5;
  const qreal along = row ? size.width() : size.height();
  const qreal across = row ? size.height() : size.width();
  const QPainterPath arrow = downArrow(across - 3, across - 4);
  // Rotating the down arrow clockwise: 90 degrees points it left, 180 up, 270 right.
  const qreal turn = 90.0 * (direction - kDown);
  QLinearGradient fill(-across / 2, 0, across / 2, 0);
  fill.setColorAt(0, QColor(0xc8, 0xe8, 0xff));
  fill.setColorAt(1, QColor(0x2e, 0x8e, 0xe6));
  for (int i = 0; i < count; ++i) {
    const qreal at = along * (i + 0.5) / count;
    p.save();
    p.translate(row ? QPointF(at, across / 2) : QPointF(across / 2, at));
    p.rotate(turn);
    p.setPen(roundPen(kNavy, 1.2));
    p.setBrush(fill);
    p.drawPath(arrow);
    p.restore();
  }
  return pixmap;
}

// ---- the shuffle gauges

QPixmap shuffleGaugePicture(int count, qreal dpr) {
  if (count < 0 || count >= kShuffleGaugePictures) return {};
  QPixmap pixmap = canvas(kShuffleGaugeSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  const qreal w = kShuffleGaugeSize.width(), h = kShuffleGaugeSize.height();
  p.setPen(QPen(QColor(0x02, 0x12, 0x24), 1));
  p.setBrush(QColor(0x0a, 0x26, 0x44));
  p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 2.5, 2.5);
  const int blocks = kShuffleGaugePictures - 1;
  const qreal top = 2.5, gap = 1, height = (h - 2 * top - gap * (blocks - 1)) / blocks;
  for (int i = 0; i < blocks; ++i) {
    const QRectF block(2.5, top + i * (height + gap), w - 5, height);
    if (i < count) {
      QLinearGradient fill(block.topLeft(), block.topRight());
      fill.setColorAt(0, QColor(0xe6, 0xf8, 0xff));
      fill.setColorAt(1, QColor(0x6c, 0xcc, 0xff));
      p.setPen(Qt::NoPen);
      p.setBrush(fill);
    } else {
      // An unused place, faint, so the bar shows how many a player may hold.
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x1a, 0x40, 0x66));
    }
    p.drawRoundedRect(block, 1, 1);
  }
  return pixmap;
}

// ---- the bonus banner

QPixmap bonusBannerFrame(int frame, qreal dpr) {
  if (frame < 0 || frame >= kBonusBannerFrames) return {};
  QPixmap pixmap = canvas(kBonusBannerSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  p.setOpacity(qreal(frame + 1) / kBonusBannerFrames);
  const QRectF band(0.5, 0.5, kBonusBannerSize.width() - 1, kBonusBannerSize.height() - 1);
  QLinearGradient fill(0, 0, 0, kBonusBannerSize.height());
  fill.setColorAt(0, QColor(0xff, 0xe8, 0x7a));
  fill.setColorAt(1, QColor(0xff, 0x9c, 0x1a));
  p.setPen(QPen(QColor(0x9a, 0x4c, 0x00), 1));
  p.setBrush(fill);
  p.drawRoundedRect(band, 9, 9);
  for (qreal x : {11.0, kBonusBannerSize.width() - 11.0}) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0x22, 0x10));
    p.drawPath(starPath(QPointF(x, 9.5), 6.5, 2.8));
  }
  fillText(p, centredText(QStringLiteral("SEVEN LETTERS! +20 BONUS"), boldFont(12), band.center()),
           QColor(0x7a, 0x12, 0x00), QColor(255, 255, 255, 150));
  return pixmap;
}

// ---- the winner panel

QPixmap winnerPanelPicture(qreal dpr) {
  QPixmap pixmap = canvas(kWinnerPanelSize, dpr);
  QPainter p(&pixmap);
  smooth(p);
  const qreal w = kWinnerPanelSize.width(), h = kWinnerPanelSize.height();
  const QRectF panel(0.5, 0.5, w - 1, h - 1);
  // Dark, so the light blue winner text stands out.
  QLinearGradient fill(0, 0, 0, h);
  fill.setColorAt(0, QColor(0x12, 0x3c, 0x70));
  fill.setColorAt(0.5, QColor(0x08, 0x24, 0x48));
  fill.setColorAt(1, QColor(0x04, 0x16, 0x30));
  p.setPen(QPen(QColor(0xe8, 0xb4, 0x30), 1.5));
  p.setBrush(fill);
  p.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
  p.setPen(QPen(QColor(255, 255, 255, 60), 1));
  p.drawLine(QPointF(10, 3), QPointF(w - 10, 3));
  QRadialGradient gold(0, 0, 9);
  gold.setColorAt(0, QColor(0xff, 0xf0, 0x9a));
  gold.setColorAt(1, QColor(0xe8, 0xa0, 0x18));
  for (qreal x : {30.0, w - 30.0}) {
    p.save();
    p.translate(x, h / 2);
    p.setPen(roundPen(QColor(0x8a, 0x56, 0x00), 0.8));
    p.setBrush(gold);
    p.drawPath(starPath({0, 0}, 11, 4.6));
    p.restore();
    for (qreal dx : {-1.0, 1.0}) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xff, 0xe0, 0x70, 200));
      p.drawPath(starPath(QPointF(x + dx * 17, h / 2 + 6), 4, 1.7));
    }
  }
  return pixmap;
}

}  // namespace zp::board

