#pragma once

#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>

#include "client/board_model.h"

// The pictures of the board: the tile set (squares, letter tiles, marks, the empty rack
// slot), the picture buttons, the direction arrows, the shuffle gauges, the bonus banner and
// the winner panel. All are drawn by the program for the screen's device pixel ratio, so
// they stay sharp on dense screens; a tile set can also come from a bitmap file.
//
//   TileSet tiles = TileSet::classic(devicePixelRatioF());
//   painter.drawPixmap(56 * a, 56 * b, tiles.picture(model.square(cell)));
namespace zp::board {

inline constexpr int kTileSize = 56;
// A tile set file holds the pictures side by side: picture i at x = 56 * i, y = 0.
inline constexpr QSize kTileSheetSize{kTileSize * kPictureCount, kTileSize};

// The 36 pictures of the board, by the index meanings of `Picture`.
class TileSet {
 public:
  // An empty set: every picture is null.
  TileSet() = default;
  explicit TileSet(std::array<QPixmap, kPictureCount> pictures) : pictures_(std::move(pictures)) {}

  // The built-in set, "classic".
  static TileSet classic(qreal dpr);

  // Picture 0..35, 56 x 56 logical pixels; any other index gives a null pixmap.
  const QPixmap& picture(int index) const;
  bool isNull() const { return pictures_[0].isNull(); }

 private:
  std::array<QPixmap, kPictureCount> pictures_;
};

struct TileSetLoad {
  TileSet set;    // empty when the file was refused
  QString error;  // why it was refused, naming the file; empty on success
  bool ok() const { return error.isEmpty(); }
};

// Reads a tile set file: a bitmap at least 2016 x 56 whose pure green (0, 255, 0) is
// transparent. Its pictures are 56 device pixels (ratio 1); a painter on a dense screen
// scales them.
TileSetLoad loadTileSet(const QString& path);

struct TileSetFile {
  QString name;  // the file name before its first "."
  QString path;
  bool operator==(const TileSetFile&) const = default;
};

// The tile set files ("*.bmp") of the folders, in folder order and by name within a folder.
// A name is listed once, from the first folder that has it. A file that does not load, or
// whose name is empty or "classic" (the built-in set's), is left out with one line on stderr.
// A missing folder is no error.
QList<TileSetFile> findTileSets(const QStringList& folders);

// A set's name as a menu item's caption: plain text, so "&" is not a shortcut mark.
QString tileSetMenuText(const QString& name);

// ---- the picture buttons above the board

enum class PictureButton { kClear, kDone, kShuffle, kStart };
enum class ButtonLook { kNormal, kPressed, kDisabled };

// Fits the button row: Clear at x 23, Shuffle at 140, Start at 274, Done at 344, y 81.
QSize pictureButtonSize(PictureButton button);
// Rounded blue faces reading CLEAR, SEND, ZANDU SHUFFLE and START GAME.
QPixmap pictureButtonPicture(PictureButton button, qreal dpr,
                             ButtonLook look = ButtonLook::kNormal);

// ---- the direction arrows: 1 above the board, 2 right, 3 below, 4 left

inline constexpr QSize kArrowRowSize{140, 22};     // arrows 1 and 3
inline constexpr QSize kArrowColumnSize{22, 139};  // arrows 2 and 4
QSize directionArrowSize(int direction);
// Arrows pointing the way the tiles move (1 down, 2 left, 3 up, 4 right); any other
// direction gives a null pixmap.
QPixmap directionArrowPicture(int direction, qreal dpr);

// ---- the shuffle gauges (`imagelist_shuffles`)

inline constexpr QSize kShuffleGaugeSize{12, 41};
inline constexpr int kShuffleGaugePictures = 6;
// Picture k (0..5): k light blocks from the top of a dark bar; any other k gives a null
// pixmap, which leaves the gauge empty.
QPixmap shuffleGaugePicture(int count, qreal dpr);

// ---- the bonus banner (`image_bonus`) and the winner panel

inline constexpr QSize kBonusBannerSize{217, 19};
inline constexpr int kBonusBannerFrames = 5;
// Frame 0..4 of the banner fading in; any other frame gives a null pixmap.
QPixmap bonusBannerFrame(int frame, qreal dpr);

inline constexpr QSize kWinnerPanelSize{431, 41};
// The background under the winner labels (light blue bold text, centred).
QPixmap winnerPanelPicture(qreal dpr);

}  // namespace zp::board
