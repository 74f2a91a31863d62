#include "gui/board_pictures.h"
#include "gui/tile_set.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <vector>

namespace zp::board {
namespace {

const QString kTilesDir = QStringLiteral(ZP_TILES_DIR);
const QString kWood = kTilesDir + QStringLiteral("/wood.bmp");

QImage imageOf(const QPixmap& pixmap) {
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// Alpha at a logical point of a picture made at any ratio.
int alphaAt(const QPixmap& pixmap, QPointF logical) {
  const qreal dpr = pixmap.devicePixelRatio();
  return qAlpha(imageOf(pixmap).pixel(int(logical.x() * dpr), int(logical.y() * dpr)));
}

bool fullyOpaque(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) != 255) return false;
  return true;
}

int opaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) == 255;
  return count;
}

long long alphaSum(const QPixmap& pixmap) {
  const QImage image = imageOf(pixmap);
  long long sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += qAlpha(image.pixel(x, y));
  return sum;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A sheet whose picture i is filled with grey level 4 * i, with a pure green square in the
// middle of every picture.
QImage testSheet(QSize size) {
  QImage sheet(size, QImage::Format_RGB32);
  for (int i = 0; i * kTileSize < size.width(); ++i) {
    for (int y = 0; y < size.height(); ++y)
      for (int x = i * kTileSize; x < std::min(size.width(), (i + 1) * kTileSize); ++x) {
        const bool middle = x % kTileSize >= 20 && x % kTileSize < 36 && y >= 20 && y < 36;
        sheet.setPixel(x, y, middle ? qRgb(0, 255, 0) : qRgb(4 * i, 4 * i, 4 * i));
      }
  }
  return sheet;
}

// ---- the built-in sets

using BuiltIn = TileSet (*)(qreal);
const std::pair<const char*, BuiltIn> kBuiltIns[] = {{"classic", &TileSet::classic},
                                                     {"contrast", &TileSet::contrast}};

TEST(BuiltInTileSets, HaveEveryPictureAtTheTileSizeForEachRatio) {
  for (const auto& [name, make] : kBuiltIns)
    for (qreal dpr : {1.0, 1.5, 2.0}) {
      SCOPED_TRACE(name);
      const TileSet set = make(dpr);
      ASSERT_FALSE(set.isNull());
      for (int i = 0; i < kPictureCount; ++i) {
        const QPixmap& picture = set.picture(i);
        ASSERT_FALSE(picture.isNull()) << i;
        EXPECT_EQ(picture.deviceIndependentSize().toSize(), QSize(kTileSize, kTileSize)) << i;
        EXPECT_EQ(picture.width(), qRound(kTileSize * dpr)) << i << " at " << dpr;
        EXPECT_EQ(picture.devicePixelRatio(), dpr);
      }
      EXPECT_TRUE(set.picture(-1).isNull());
      EXPECT_TRUE(set.picture(kPictureCount).isNull());
    }
  EXPECT_TRUE(TileSet().isNull());
}

// The window builds its set before it shows; the letters are not needed until a game starts.
TEST(BuiltInTileSets, DrawEachPictureAtItsFirstUseOnceForEveryCopy) {
  for (const auto& [name, make] : kBuiltIns) {
    SCOPED_TRACE(name);
    const TileSet set = make(2);
    EXPECT_EQ(set.pictureCount(), 0);
    const TileSet copy = set;
    const qint64 drawn = copy.picture(kFirstLetter).cacheKey();
    EXPECT_EQ(set.pictureCount(), 1);
    EXPECT_EQ(set.picture(kFirstLetter).cacheKey(), drawn);
    EXPECT_EQ(copy.picture(kFirstLetter).cacheKey(), drawn);
    EXPECT_EQ(set.pictureCount(), 1);
    // Another set of the same kind draws its own.
    EXPECT_NE(make(2).picture(kFirstLetter).cacheKey(), drawn);
  }
}

TEST(BuiltInTileSets, EveryPictureDiffersFromEveryOther) {
  for (const auto& [name, make] : kBuiltIns) {
    SCOPED_TRACE(name);
    const TileSet set = make(2);
    std::vector<QImage> images;
    for (int i = 0; i < kPictureCount; ++i) images.push_back(imageOf(set.picture(i)));
    for (std::size_t i = 0; i < images.size(); ++i)
      for (std::size_t j = 0; j < i; ++j) EXPECT_NE(images[i], images[j]) << i << " and " << j;
  }
}

// Without colour, the contrast set's squares and marks still differ, and its letters are
// dark on a light face.
TEST(BuiltInTileSets, TheContrastSetTellsSquaresAndMarksApartInGrey) {
  for (qreal dpr : {1.0, 2.0}) {
    const TileSet set = TileSet::contrast(dpr);
    auto grey = [&](int i) {
      return imageOf(set.picture(i)).convertToFormat(QImage::Format_Grayscale8);
    };
    const int squares[] = {kPlainSquare,         kBonusPicture,      kDoubleLetterPicture,
                           kTripleLetterPicture, kDoubleWordPicture, kTripleWordPicture};
    for (int i : squares)
      for (int j : squares)
        if (i < j) {
          EXPECT_NE(grey(i), grey(j)) << i << " and " << j << " at " << dpr;
        }
    EXPECT_NE(grey(kEarlierMark), grey(kLatestMark));
    // 'I' leaves the face bare beside its stroke; the stroke at the centre is dark.
    const QImage tile = grey('i' - 'a' + 1);
    EXPECT_GT(qGray(tile.pixel(QPoint(40, 40) * dpr)), 230);
    EXPECT_LT(qGray(tile.pixel(QPoint(28, 30) * dpr)), 60);
  }
}

TEST(BuiltInTileSets, OpaqueWhereItShouldBeAndTransparentInsideTheMarks) {
  for (const auto& [name, make] : kBuiltIns) {
    SCOPED_TRACE(name);
    const TileSet set = make(2);
    for (int square : {int(kPlainWhite), int(kTripleLetterPicture), int(kPlainSquare),
                       int(kBonusPicture), int(kDoubleLetterPicture), int(kDoubleWordPicture),
                       int(kTripleWordPicture), int(kEmptySlot)})
      EXPECT_TRUE(fullyOpaque(imageOf(set.picture(square)))) << square;

    for (int letter = kFirstLetter; letter <= kLastLetter; ++letter) {
      const QPixmap& tile = set.picture(letter);
      // The square shows round the tile, which covers the middle.
      EXPECT_EQ(alphaAt(tile, {0.5, 0.5}), 0) << letter;
      EXPECT_EQ(alphaAt(tile, {1.5, 28}), 0) << letter;
      EXPECT_EQ(alphaAt(tile, {28, 1.5}), 0) << letter;
      EXPECT_EQ(alphaAt(tile, {10, 28}), 255) << letter;
      EXPECT_EQ(alphaAt(tile, {28, 48}), 255) << letter;
    }

    for (int mark : {int(kEarlierMark), int(kLatestMark)}) {
      const QPixmap& picture = set.picture(mark);
      for (QPointF inside : {QPointF(28, 28), QPointF(10, 10), QPointF(46, 46), QPointF(28, 12)})
        EXPECT_EQ(alphaAt(picture, inside), 0) << mark;
      EXPECT_EQ(alphaAt(picture, {28, 2}), 255) << mark;  // the frame, or the notch on it
      EXPECT_EQ(alphaAt(picture, {2, 28}), 255) << mark;
    }
  }
}

// ---- tile set files

TEST(TileSetFile, TheShippedWoodSetLoadsWithItsGreenTransparent) {
  const TileSetLoad load = loadTileSet(kWood);
  ASSERT_TRUE(load.ok()) << load.error.toStdString();
  for (int i = 0; i < kPictureCount; ++i) {
    const QPixmap& picture = load.set.picture(i);
    ASSERT_EQ(picture.size(), QSize(kTileSize, kTileSize)) << i;
    const QImage image = imageOf(picture);
    for (int y = 0; y < kTileSize; ++y)
      for (int x = 0; x < kTileSize; ++x)
        ASSERT_NE(image.pixel(x, y), qRgb(0, 255, 0)) << "green left at " << i;
  }
  EXPECT_EQ(alphaAt(load.set.picture(kEarlierMark), {28, 28}), 0);
  EXPECT_EQ(alphaAt(load.set.picture(kLatestMark), {28, 28}), 0);
  EXPECT_EQ(alphaAt(load.set.picture(kLatestMark), {1, 28}), 255);
  EXPECT_EQ(alphaAt(load.set.picture(1), {0, 0}), 0);
  EXPECT_EQ(alphaAt(load.set.picture(1), {28, 28}), 255);
  for (int square : {int(kPlainSquare), int(kBonusPicture), int(kTripleWordPicture)})
    EXPECT_TRUE(fullyOpaque(imageOf(load.set.picture(square)))) << square;
  for (int letter = kFirstLetter + 1; letter <= kLastLetter; ++letter)
    EXPECT_NE(imageOf(load.set.picture(letter)), imageOf(load.set.picture(letter - 1))) << letter;
}

TEST(TileSetFile, CutsThePicturesInOrderAndKeysOnlyPureGreen) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // Wider and higher than needed: the rest is ignored.
  const QString path = dir.filePath(QStringLiteral("grey.bmp"));
  QImage sheet = testSheet({kTileSheetSize.width() + 30, kTileSize + 10});
  sheet.setPixel(3, 3, qRgb(1, 255, 0));  // nearly green stays
  ASSERT_TRUE(sheet.save(path, "BMP"));

  const TileSetLoad load = loadTileSet(path);
  ASSERT_TRUE(load.ok()) << load.error.toStdString();
  for (int i = 0; i < kPictureCount; ++i) {
    const QImage image = imageOf(load.set.picture(i));
    EXPECT_EQ(image.pixel(5, 50), qRgb(4 * i, 4 * i, 4 * i)) << i;
    EXPECT_EQ(qAlpha(image.pixel(20, 20)), 0) << i;
    EXPECT_EQ(qAlpha(image.pixel(35, 35)), 0) << i;
    EXPECT_EQ(opaquePixels(image), kTileSize * kTileSize - 16 * 16) << i;
  }
  EXPECT_EQ(imageOf(load.set.picture(0)).pixel(3, 3), qRgb(1, 255, 0));
}

TEST(TileSetFile, RefusesWhatCannotBeASetAndSaysWhy) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString narrow = dir.filePath(QStringLiteral("narrow.bmp"));
  const QString low = dir.filePath(QStringLiteral("low.bmp"));
  const QString text = dir.filePath(QStringLiteral("text.bmp"));
  const QString png = dir.filePath(QStringLiteral("png.bmp"));
  const QString truncated = dir.filePath(QStringLiteral("cut.bmp"));
  ASSERT_TRUE(testSheet({kTileSheetSize.width() - 1, kTileSize}).save(narrow, "BMP"));
  ASSERT_TRUE(testSheet({kTileSheetSize.width(), kTileSize - 1}).save(low, "BMP"));
  ASSERT_TRUE(writeFile(text, "these are not the tiles you are looking for\n"));
  ASSERT_TRUE(testSheet(kTileSheetSize).save(png, "PNG"));
  QFile whole(kWood);
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  ASSERT_TRUE(writeFile(truncated, whole.read(40)));

  const struct {
    QString path;
    QString reason;
  } cases[] = {
      {narrow, QStringLiteral("too small")},
      {low, QStringLiteral("too small")},
      {text, QStringLiteral("not a readable bitmap")},
      {png, QStringLiteral("not a readable bitmap")},
      {truncated, QStringLiteral("not a readable bitmap")},
      {dir.filePath(QStringLiteral("missing.bmp")), QStringLiteral("no such file")},
      {dir.path(), QStringLiteral("no such file")},
  };
  for (const auto& c : cases) {
    const TileSetLoad load = loadTileSet(c.path);
    EXPECT_FALSE(load.ok()) << c.path.toStdString();
    EXPECT_TRUE(load.set.isNull()) << c.path.toStdString();
    EXPECT_TRUE(load.error.startsWith(QFileInfo(c.path).fileName() + QLatin1Char(':')))
        << load.error.toStdString();
    EXPECT_TRUE(load.error.contains(c.reason)) << load.error.toStdString();
  }
}

TEST(TileSetFile, FindsEachLoadableSetOnceAndLeavesOutTheRest) {
  QTemporaryDir program, user;
  ASSERT_TRUE(program.isValid() && user.isValid());
  auto in = [](const QTemporaryDir& dir, const char* name) {
    return dir.filePath(QString::fromLatin1(name));
  };
  ASSERT_TRUE(QFile::copy(kWood, in(program, "wood.bmp")));
  ASSERT_TRUE(QFile::copy(kWood, in(program, "old.stone.bmp")));
  ASSERT_TRUE(QFile::copy(kWood, in(program, "Classic.bmp")));
  ASSERT_TRUE(QFile::copy(kWood, in(program, "notes.txt")));
  ASSERT_TRUE(writeFile(in(program, "broken.bmp"), "no picture here"));
  ASSERT_TRUE(testSheet({1000, kTileSize}).save(in(program, "narrow.bmp"), "BMP"));
  ASSERT_TRUE(QDir(program.path()).mkdir(QStringLiteral("folder.bmp")));
  ASSERT_TRUE(QFile::copy(kWood, in(user, "wood.bmp")));
  ASSERT_TRUE(QFile::copy(kWood, in(user, "R&D.BMP")));
  // A broken file never hides a good one of the same name in a later folder.
  ASSERT_TRUE(writeFile(in(program, "glass.bmp"), "broken"));
  ASSERT_TRUE(QFile::copy(kWood, in(user, "glass.bmp")));

  const QList<TileSetFile> found =
      findTileSets({program.path(), program.filePath(QStringLiteral("absent")), user.path()});
  const QList<TileSetFile> expected = {
      {QStringLiteral("old"), in(program, "old.stone.bmp")},
      {QStringLiteral("wood"), in(program, "wood.bmp")},
      {QStringLiteral("glass"), in(user, "glass.bmp")},
      {QStringLiteral("R&D"), in(user, "R&D.BMP")},
  };
  ASSERT_EQ(found.size(), expected.size());
  for (int i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(found[i].name.toStdString(), expected[i].name.toStdString()) << i;
    EXPECT_EQ(QFileInfo(found[i].path).canonicalFilePath().toStdString(),
              QFileInfo(expected[i].path).canonicalFilePath().toStdString())
        << i;
  }
  EXPECT_TRUE(findTileSets({}).isEmpty());
  EXPECT_EQ(tileSetMenuText(QStringLiteral("R&D")), QStringLiteral("R&&D"));
}

// ---- the other pictures

TEST(BoardPictures, HaveTheirSizesAtEachRatio) {
  const struct {
    const char* what;
    QPixmap picture;
    QSize size;
  } cases[] = {
      {"arrow 1", directionArrowPicture(kDown, 2), kArrowRowSize},
      {"arrow 2", directionArrowPicture(kLeft, 2), kArrowColumnSize},
      {"arrow 3", directionArrowPicture(kUp, 1), kArrowRowSize},
      {"arrow 4", directionArrowPicture(kRight, 1), kArrowColumnSize},
      {"gauge", shuffleGaugePicture(3, 2), kShuffleGaugeSize},
      {"banner", bonusBannerFrame(4, 2), kBonusBannerSize},
      {"winner", winnerPanelPicture(2), kWinnerPanelSize},
      {"clear", pictureButtonPicture(PictureButton::kClear, 2),
       pictureButtonSize(PictureButton::kClear)},
      {"send", pictureButtonPicture(PictureButton::kDone, 1, ButtonLook::kPressed),
       pictureButtonSize(PictureButton::kDone)},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.picture.isNull()) << c.what;
    EXPECT_EQ(c.picture.deviceIndependentSize().toSize(), c.size) << c.what;
  }
  for (int bad : {0, 5}) EXPECT_TRUE(directionArrowPicture(bad, 1).isNull()) << bad;
  for (int bad : {-1, kShuffleGaugePictures}) EXPECT_TRUE(shuffleGaugePicture(bad, 1).isNull());
  for (int bad : {-1, kBonusBannerFrames}) EXPECT_TRUE(bonusBannerFrame(bad, 1).isNull());
}

TEST(BoardPictures, ButtonsFitTheRowAboveTheBoard) {
  // Left edges in the row, left to right; the board's frame ends at x 419 and starts at y 113.
  const struct {
    PictureButton button;
    int left;
    int next;
  } row[] = {
      {PictureButton::kClear, 23, 140},
      {PictureButton::kShuffle, 140, 274},
      {PictureButton::kStart, 274, 344},
      {PictureButton::kDone, 344, 419},
  };
  for (const auto& b : row) {
    const QSize size = pictureButtonSize(b.button);
    EXPECT_LE(b.left + size.width(), b.next) << int(b.button);
    EXPECT_LE(81 + size.height(), 113) << int(b.button);
    const QPixmap normal = pictureButtonPicture(b.button, 2);
    const QPixmap pressed = pictureButtonPicture(b.button, 2, ButtonLook::kPressed);
    const QPixmap disabled = pictureButtonPicture(b.button, 2, ButtonLook::kDisabled);
    EXPECT_NE(imageOf(normal), imageOf(pressed)) << int(b.button);
    EXPECT_NE(imageOf(normal), imageOf(disabled)) << int(b.button);
    EXPECT_EQ(alphaAt(normal, {0, 0}), 0) << "rounded corner";
    EXPECT_EQ(alphaAt(normal, {size.width() / 2.0, size.height() / 2.0}), 255);
  }
  EXPECT_NE(imageOf(pictureButtonPicture(PictureButton::kClear, 1)).copy(30, 0, 40, 28),
            imageOf(pictureButtonPicture(PictureButton::kShuffle, 1)).copy(30, 0, 40, 28));
}

TEST(BoardPictures, ArrowsPointTheWayTheTilesMove) {
  // An arrow's tip is narrower than its tail, so the end it points to holds less ink.
  auto inkIn = [](const QPixmap& pixmap, QRectF logical) {
    const qreal dpr = pixmap.devicePixelRatio();
    const QRect r(int(logical.x() * dpr), int(logical.y() * dpr), int(logical.width() * dpr),
                  int(logical.height() * dpr));
    return alphaSum(QPixmap::fromImage(imageOf(pixmap).copy(r)));
  };
  for (qreal dpr : {1.0, 2.0}) {
    const QPixmap down = directionArrowPicture(kDown, dpr), up = directionArrowPicture(kUp, dpr);
    const QPixmap left = directionArrowPicture(kLeft, dpr);
    const QPixmap right = directionArrowPicture(kRight, dpr);
    const QRectF top(0, 0, 140, 5), bottom(0, 17, 140, 5);
    const QRectF leftSide(0, 0, 5, 139), rightSide(17, 0, 5, 139);
    EXPECT_LT(inkIn(down, bottom), inkIn(down, top));
    EXPECT_LT(inkIn(up, top), inkIn(up, bottom));
    EXPECT_LT(inkIn(left, leftSide), inkIn(left, rightSide));
    EXPECT_LT(inkIn(right, rightSide), inkIn(right, leftSide));
  }
}

TEST(BoardPictures, GaugeFillsFromTheTopOneBlockPerShuffle) {
  auto light = [](const QPixmap& pixmap, int fromY, int toY) {
    const QImage image = imageOf(pixmap);
    int count = 0;
    for (int y = fromY; y < toY; ++y)
      for (int x = 0; x < image.width(); ++x) count += qGray(image.pixel(x, y)) > 160;
    return count;
  };
  int before = -1;
  for (int k = 0; k < kShuffleGaugePictures; ++k) {
    const QPixmap gauge = shuffleGaugePicture(k, 1);
    EXPECT_TRUE(fullyOpaque(imageOf(gauge).copy(3, 3, 6, 35))) << k;
    const int all = light(gauge, 0, 41);
    EXPECT_GT(all, before) << k;
    before = all;
    // The blocks stack from the top: the lower half stays dark while k is small.
    if (k <= 2) {
      EXPECT_EQ(light(gauge, 22, 41), 0) << k;
    }
  }
  EXPECT_EQ(light(shuffleGaugePicture(0, 1), 0, 41), 0);
  EXPECT_GT(light(shuffleGaugePicture(5, 1), 34, 41), 0);
}

TEST(BoardPictures, BonusBannerFadesIn) {
  long long before = 0;
  for (int frame = 0; frame < kBonusBannerFrames; ++frame) {
    const long long ink = alphaSum(bonusBannerFrame(frame, 1));
    EXPECT_GT(ink, before) << frame;
    before = ink;
  }
  EXPECT_EQ(alphaAt(bonusBannerFrame(kBonusBannerFrames - 1, 1), {108, 3}), 255);
}

}  // namespace
}  // namespace zp::board
