#include "gui/tile_pictures.h"

#include "gui/look.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QSet>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "rules/rules.h"

namespace zp::board {

using namespace gui;
namespace {

const QColor kNavy(0x06, 0x33, 0x5e);
const QColor kInk(0x2a, 0x22, 0x18);

QPixmap canvas(QSize size, qreal dpr) {
  return transparentCanvas(size, dpr);
}

// Asked for by name: Qt would otherwise pick DejaVu Sans, and the pictures would change
// with the machine.
QFont boldFont(qreal pixels) {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans")});
  font.setBold(true);
  font.setPixelSize(int(std::lround(pixels)));
  return font;
}

// Text as a path whose ink is centred horizontally on cx and whose capitals are centred
// vertically on cy, so every letter sits in the same place whatever its width or tail.
QPainterPath centredText(const QString& text, const QFont& font, QPointF centre) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF ink = path.boundingRect();
  const qreal capHeight = QFontMetricsF(font).capHeight();
  path.translate(centre.x() - ink.center().x(), centre.y() + capHeight / 2);
  return path;
}

void fillText(QPainter& p, const QPainterPath& text, const QColor& ink, const QColor& shadow,
              QPointF shadowOffset = {0, 1}) {
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

// ---- the tile set

const QRectF kCell(0, 0, kTileSize, kTileSize);
// The tile leaves a margin of the square showing round it.
const QRectF kTile(4, 4, 48, 48);

struct SquareLook {
  QColor face;
  QString label;
  QColor ink;
};

// A board square: flat colour with a soft bevel, so neighbouring squares read as a grid.
void drawSquare(QPainter& p, const SquareLook& look) {
  QLinearGradient fill(0, 0, kTileSize, kTileSize);
  fill.setColorAt(0, look.face.lighter(108));
  fill.setColorAt(1, look.face.darker(106));
  p.fillRect(kCell, fill);
  p.setPen(QPen(look.face.darker(135), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(kCell.adjusted(0.5, 0.5, -0.5, -0.5));
  p.setPen(QPen(QColor(255, 255, 255, 110), 1));
  p.drawLine(QPointF(1.5, 1.5), QPointF(kTileSize - 2, 1.5));
  p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, kTileSize - 2));
  if (!look.label.isEmpty()) {
    const QPainterPath text = centredText(look.label, boldFont(17), kCell.center());
    fillText(p, text, look.ink, QColor(0, 0, 0, look.ink.lightness() > 128 ? 90 : 0));
  }
}

void drawBonusSquare(QPainter& p) {
  drawSquare(p, {QColor(0xf6, 0xc8, 0x45), {}, {}});
  const QPainterPath star = starPath(kCell.center() + QPointF(0, 1), 19, 8);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x80, 0x4a, 0x00, 90));
  p.drawPath(star.translated(0.8, 1.2));
  QRadialGradient fill(kCell.center() + QPointF(-4, -5), 22);
  fill.setColorAt(0, QColor(0xff, 0x5a, 0x3c));
  fill.setColorAt(1, QColor(0xc8, 0x1e, 0x14));
  p.setPen(QPen(QColor(0x8a, 0x10, 0x08), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(star);
}

void drawLetterTile(QPainter& p, int letter) {
  const qreal radius = 6;
  // Shadow, falling right and down.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 45));
  p.drawRoundedRect(kTile.translated(1.5, 2), radius, radius);
  p.setBrush(QColor(0, 0, 0, 45));
  p.drawRoundedRect(kTile.translated(0.8, 1), radius, radius);

  QLinearGradient face(kTile.topLeft(), kTile.bottomRight());
  face.setColorAt(0, QColor(0xff, 0xfb, 0xee));
  face.setColorAt(1, QColor(0xee, 0xdc, 0xb2));
  p.setPen(QPen(QColor(0xa8, 0x8c, 0x5c), 1));
  p.setBrush(face);
  p.drawRoundedRect(kTile.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  // Bevel: light along the top and left, darker along the bottom and right.
  QLinearGradient bevel(kTile.topLeft(), kTile.bottomRight());
  bevel.setColorAt(0, QColor(255, 255, 255, 230));
  bevel.setColorAt(0.5, QColor(255, 255, 255, 0));
  bevel.setColorAt(0.55, QColor(0x8a, 0x6a, 0x30, 0));
  bevel.setColorAt(1, QColor(0x8a, 0x6a, 0x30, 150));
  p.setPen(QPen(QBrush(bevel), 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(kTile.adjusted(1.8, 1.8, -1.8, -1.8), radius - 1.5, radius - 1.5);

  const QString capital(QChar(u'A' + (letter - kFirstLetter)));
  fillText(p, centredText(capital, boldFont(30), QPointF(28.5, 30.5)), kInk,
           QColor(255, 255, 255, 200), {0.6, 0.8});
  const QString worth = QString::number(letterworth(letter));
  QPainterPath points;
  points.addText(0, 0, boldFont(10), worth);
  points.translate(QPointF(8, 7) - points.boundingRect().topLeft());
  fillText(p, points, kInk, QColor(0, 0, 0, 0));
}

void drawEarlierMark(QPainter& p) {
  p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.8));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(kCell.adjusted(1.9, 1.9, -1.9, -1.9), 5, 5);
  p.setPen(QPen(QColor(0x9a, 0x0c, 0x0c), 0.8));
  p.setBrush(QColor(0xe0, 0x1a, 0x1a));
  p.drawPolygon(QPolygonF({{22.5, 0.6}, {33.5, 0.6}, {28, 7.5}}));
}

void drawLatestMark(QPainter& p) {
  p.setPen(QPen(QColor(0xe0, 0x14, 0x14), 3.2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(kCell.adjusted(1.8, 1.8, -1.8, -1.8), 6, 6);
}

void drawEmptySlot(QPainter& p) {
  QLinearGradient well(0, 0, 0, kTileSize);
  well.setColorAt(0, QColor(0x05, 0x3a, 0x6a));
  well.setColorAt(1, QColor(0x0a, 0x52, 0x92));
  p.fillRect(kCell, well);
  p.setPen(QPen(QColor(0x03, 0x24, 0x44), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(kCell.adjusted(1, 1, -1, -1));
  const QPolygonF diamond({{28, 10}, {46, 28}, {28, 46}, {10, 28}});
  QLinearGradient fill(10, 10, 46, 46);
  fill.setColorAt(0, QColor(0x8c, 0xcc, 0xff));
  fill.setColorAt(1, QColor(0x16, 0x72, 0xcc));
  p.setPen(QPen(QColor(0xd8, 0xee, 0xff), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPolygon(diamond);
}

QPixmap classicPicture(int index, qreal dpr) {
  QPixmap pixmap = canvas({kTileSize, kTileSize}, dpr);
  QPainter p(&pixmap);
  smooth(p);
  const QColor white(Qt::white);
  switch (index) {
    case kPlainWhite:
      p.fillRect(kCell, white);
      break;
    case kTripleLetterPicture:
      drawSquare(p, {QColor(0x2c, 0x9a, 0x74), QStringLiteral("3L"), white});
      break;
    case kEarlierMark:
      drawEarlierMark(p);
      break;
    case kLatestMark:
      drawLatestMark(p);
      break;
    case kPlainSquare:
      drawSquare(p, {QColor(0xc2, 0xda, 0xf2), {}, {}});
      break;
    case kBonusPicture:
      drawBonusSquare(p);
      break;
    case kDoubleLetterPicture:
      drawSquare(p, {QColor(0x9c, 0xda, 0xa4), QStringLiteral("2L"), QColor(0x16, 0x5c, 0x2a)});
      break;
    case kDoubleWordPicture:
      drawSquare(p, {QColor(0xf4, 0xa6, 0xbc), QStringLiteral("2W"), QColor(0x8c, 0x14, 0x3c)});
      break;
    case kTripleWordPicture:
      drawSquare(p, {QColor(0xd8, 0x42, 0x3a), QStringLiteral("3W"), white});
      break;
    case kEmptySlot:
      drawEmptySlot(p);
      break;
    default:
      drawLetterTile(p, index);
      break;
  }
  return pixmap;
}

// ---- loading

QString fileLabel(const QString& path) {
  return QFileInfo(path).fileName();
}

QString setName(const QString& fileName) {
  return fileName.section(QLatin1Char('.'), 0, 0);
}

void refuse(const QString& line) {
  std::fprintf(stderr, "%s\n", qUtf8Printable(line));
}

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

// ---- the tile set

TileSet TileSet::classic(qreal dpr) {
  std::array<QPixmap, kPictureCount> pictures;
  for (int i = 0; i < kPictureCount; ++i)
    pictures[static_cast<std::size_t>(i)] = classicPicture(i, dpr);
  return TileSet(std::move(pictures));
}

const QPixmap& TileSet::picture(int index) const {
  static const QPixmap none;
  if (index < 0 || index >= kPictureCount) return none;
  return pictures_[static_cast<std::size_t>(index)];
}

TileSetLoad loadTileSet(const QString& path) {
  const QString file = fileLabel(path);
  if (!QFileInfo(path).isFile()) return {{}, file + QStringLiteral(": no such file")};
  // Only a real bitmap: a picture of another kind renamed to .bmp is refused, as on the
  // game's other platforms.
  QImageReader reader(path, "bmp");
  reader.setAutoDetectImageFormat(false);
  const QImage sheet = reader.read();
  if (sheet.isNull()) {
    return {{},
            file + QStringLiteral(": not a readable bitmap (") + reader.errorString() +
                QLatin1Char(')')};
  }
  if (sheet.width() < kTileSheetSize.width() || sheet.height() < kTileSheetSize.height()) {
    return {{},
            QStringLiteral("%1: %2 x %3 pixels is too small for a tile set (at least %4 x %5)")
                .arg(file)
                .arg(sheet.width())
                .arg(sheet.height())
                .arg(kTileSheetSize.width())
                .arg(kTileSheetSize.height())};
  }
  QImage pictures =
      sheet.copy(QRect(QPoint(0, 0), kTileSheetSize)).convertToFormat(QImage::Format_ARGB32);
  const QRgb key = qRgb(0, 255, 0);
  for (int y = 0; y < pictures.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(pictures.scanLine(y));
    for (int x = 0; x < pictures.width(); ++x) {
      if ((line[x] | 0xff000000u) == key) line[x] = 0;
    }
  }
  std::array<QPixmap, kPictureCount> set;
  for (int i = 0; i < kPictureCount; ++i) {
    set[static_cast<std::size_t>(i)] =
        QPixmap::fromImage(pictures.copy(kTileSize * i, 0, kTileSize, kTileSize));
  }
  return {TileSet(std::move(set)), {}};
}

QList<TileSetFile> findTileSets(const QStringList& folders) {
  QList<TileSetFile> found;
  QSet<QString> names;
  for (const QString& folder : folders) {
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) continue;
    const QFileInfoList files = dir.entryInfoList(
        {QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
      const QString name = setName(info.fileName());
      QString why;
      if (name.isEmpty() || name.compare(QLatin1String("classic"), Qt::CaseInsensitive) == 0) {
        why = info.fileName() + QStringLiteral(": the name is empty or the built-in set's");
      } else if (names.contains(name)) {
        continue;
      } else {
        why = loadTileSet(info.filePath()).error;
      }
      if (!why.isEmpty()) {
        refuse(QStringLiteral("Tile set left out: %1 (in %2)").arg(why, dir.path()));
        continue;
      }
      names.insert(name);
      found.append({name, info.filePath()});
    }
  }
  return found;
}

QString tileSetMenuText(const QString& name) {
  QString text = name;
  return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

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
