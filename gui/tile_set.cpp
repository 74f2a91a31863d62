#include "gui/tile_set.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gui/drawing.h"
#include "gui/look.h"
#include "rules/rules.h"

namespace zp::board {

using namespace gui;
namespace {

const QColor kInk(0x2a, 0x22, 0x18);

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

// ---- the contrast set: black on white, every square told by its text and its pattern,
// the marks by their shape, for players who cannot tell the classic colours apart

const QColor kBlack(0x10, 0x10, 0x10);
// The tiles leave a wider margin, so the square's pattern shows round a tile.
const QRectF kContrastTile(7, 7, 42, 42);

enum class Pattern { kNone, kRising, kCrossed, kLevel, kGrid, kDots };

// Drawn in logical pixels, so a pattern looks the same at every density.
void drawPattern(QPainter& p, Pattern pattern) {
  constexpr qreal kStep = 7;
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2));
  p.setBrush(QColor(0x40, 0x40, 0x40));
  p.setClipRect(kCell);
  const bool rising = pattern == Pattern::kRising || pattern == Pattern::kCrossed;
  const bool falling = pattern == Pattern::kCrossed;
  const bool level = pattern == Pattern::kLevel || pattern == Pattern::kGrid;
  const bool upright = pattern == Pattern::kGrid;
  for (qreal d = -kTileSize; d < 2 * kTileSize; d += kStep) {
    if (rising) p.drawLine(QPointF(d, kTileSize), QPointF(d + kTileSize, 0));
    if (falling) p.drawLine(QPointF(d, 0), QPointF(d + kTileSize, kTileSize));
    if (level && d > 0 && d < kTileSize) p.drawLine(QPointF(0, d), QPointF(kTileSize, d));
    if (upright && d > 0 && d < kTileSize) p.drawLine(QPointF(d, 0), QPointF(d, kTileSize));
  }
  if (pattern == Pattern::kDots) {
    p.setPen(Qt::NoPen);
    for (qreal x = kStep / 2; x < kTileSize; x += kStep)
      for (qreal y = kStep / 2; y < kTileSize; y += kStep) p.drawEllipse(QPointF(x, y), 1.3, 1.3);
  }
  p.setClipping(false);
}

void drawContrastSquare(QPainter& p, Pattern pattern, const QString& label) {
  p.fillRect(kCell, Qt::white);
  drawPattern(p, pattern);
  p.setPen(QPen(kBlack, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(kCell.adjusted(0.5, 0.5, -0.5, -0.5));
  if (label.isEmpty()) return;
  const QFont font = boldFont(label.size() > 2 ? 11 : 17);
  const QPainterPath text = centredText(label, font, kCell.center());
  // A white plate under the text keeps it readable over the pattern.
  p.setPen(QPen(kBlack, 1.5));
  p.setBrush(Qt::white);
  p.drawRoundedRect(text.boundingRect().adjusted(-4, -3, 4, 3), 3, 3);
  fillText(p, text, kBlack, QColor(0, 0, 0, 0));
}

void drawContrastTile(QPainter& p, int letter) {
  p.setPen(QPen(kBlack, 2));
  p.setBrush(QColor(0xff, 0xfd, 0xe8));
  p.drawRoundedRect(kContrastTile, 4, 4);
  const QString capital(QChar(u'A' + (letter - kFirstLetter)));
  fillText(p, centredText(capital, boldFont(28), QPointF(28.5, 30)), kBlack, QColor(0, 0, 0, 0));
  QPainterPath points;
  points.addText(0, 0, boldFont(10), QString::number(letterworth(letter)));
  points.translate(QPointF(10, 9) - points.boundingRect().topLeft());
  fillText(p, points, kBlack, QColor(0, 0, 0, 0));
}

QPixmap contrastPicture(int index, qreal dpr) {
  QPixmap pixmap = canvas({kTileSize, kTileSize}, dpr);
  QPainter p(&pixmap);
  smooth(p);
  switch (index) {
    case kPlainWhite:
      p.fillRect(kCell, Qt::white);
      break;
    case kPlainSquare:
      drawContrastSquare(p, Pattern::kNone, {});
      break;
    case kDoubleLetterPicture:
      drawContrastSquare(p, Pattern::kRising, QStringLiteral("2L"));
      break;
    case kTripleLetterPicture:
      drawContrastSquare(p, Pattern::kCrossed, QStringLiteral("3L"));
      break;
    case kDoubleWordPicture:
      drawContrastSquare(p, Pattern::kLevel, QStringLiteral("2W"));
      break;
    case kTripleWordPicture:
      drawContrastSquare(p, Pattern::kGrid, QStringLiteral("3W"));
      break;
    case kBonusPicture:
      drawContrastSquare(p, Pattern::kDots, QStringLiteral("+20"));
      break;
    case kEarlierMark:
      // Picked: a thick solid frame, white inside so it reads on a dark pattern too.
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(kBlack, 5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
      p.drawRect(kCell.adjusted(2.5, 2.5, -2.5, -2.5));
      p.setPen(QPen(Qt::white, 1.5));
      p.drawRect(kCell.adjusted(5.75, 5.75, -5.75, -5.75));
      break;
    case kLatestMark:
      // The latest pick: the same place, dashed, black over white.
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
      p.drawRect(kCell.adjusted(2.5, 2.5, -2.5, -2.5));
      p.setPen(QPen(kBlack, 5, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin));
      {
        QPen dashed = p.pen();
        dashed.setDashPattern({1.2, 0.8});
        p.setPen(dashed);
      }
      p.drawRect(kCell.adjusted(2.5, 2.5, -2.5, -2.5));
      break;
    case kEmptySlot:
      p.fillRect(kCell, QColor(0xe8, 0xe8, 0xe8));
      p.setPen(QPen(kBlack, 2, Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(kCell.adjusted(4, 4, -4, -4));
      break;
    default:
      drawContrastTile(p, index);
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
}  // namespace

// ---- the tile set

TileSet::TileSet(std::array<QPixmap, kPictureCount> pictures)
    : pictures_(std::make_shared<Pictures>(Pictures{std::move(pictures), nullptr, 1})) {}

TileSet::TileSet(Draw draw, qreal dpr)
    : pictures_(std::make_shared<Pictures>(Pictures{{}, draw, dpr})) {}

TileSet TileSet::contrast(qreal dpr) {
  return TileSet(&contrastPicture, dpr);
}

TileSet TileSet::classic(qreal dpr) {
  return TileSet(&classicPicture, dpr);
}

const QPixmap& TileSet::picture(int index) const {
  static const QPixmap none;
  if (!pictures_ || index < 0 || index >= kPictureCount) return none;
  QPixmap& picture = pictures_->ready[static_cast<std::size_t>(index)];
  if (picture.isNull() && pictures_->draw) picture = pictures_->draw(index, pictures_->dpr);
  return picture;
}

bool TileSet::isNull() const {
  return !pictures_ || (!pictures_->draw && pictures_->ready[0].isNull());
}

int TileSet::pictureCount() const {
  if (!pictures_) return 0;
  return static_cast<int>(std::count_if(pictures_->ready.begin(), pictures_->ready.end(),
                                        [](const QPixmap& p) { return !p.isNull(); }));
}

namespace {

struct Sheet {
  QImage image;   // null when refused
  QString error;  // why, naming the file
};

// The file's picture when it can be a tile set, else why not.
Sheet readSheet(const QString& path) {
  const QString file = fileLabel(path);
  if (!QFileInfo(path).isFile()) return {{}, file + QStringLiteral(": no such file")};
  // Only a real bitmap: a picture of another kind renamed to .bmp is refused, as on the
  // game's other platforms.
  QImageReader reader(path, "bmp");
  reader.setAutoDetectImageFormat(false);
  QImage sheet = reader.read();
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
  return {std::move(sheet), {}};
}

}  // namespace

TileSetLoad loadTileSet(const QString& path) {
  const Sheet sheet = readSheet(path);
  if (sheet.image.isNull()) return {{}, sheet.error};
  QImage pictures =
      sheet.image.copy(QRect(QPoint(0, 0), kTileSheetSize)).convertToFormat(QImage::Format_ARGB32);
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
    // Matched by hand: a name filter would start the regular expression engine (half a
    // megabyte of it resident) for one suffix.
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
      if (!info.fileName().endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) continue;
      const QString name = setName(info.fileName());
      QString why;
      if (name.isEmpty() || name.compare(QLatin1String("classic"), Qt::CaseInsensitive) == 0 ||
          name.compare(QLatin1String("contrast"), Qt::CaseInsensitive) == 0) {
        why = info.fileName() + QStringLiteral(": the name is empty or the built-in set's");
      } else if (names.contains(name)) {
        continue;
      } else {
        // Read as loading reads it, but the pictures are cut only when the set is chosen.
        why = readSheet(info.filePath()).error;
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

}  // namespace zp::board
