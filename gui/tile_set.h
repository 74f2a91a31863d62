#pragma once

#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

#include "client/board_model.h"

// The tile set: the board's squares, letter tiles, marks and the empty rack slot. The
// built-in set is drawn by the program for the screen's device pixel ratio, so it stays
// sharp on dense screens; a tile set can also come from a bitmap file, and the sets a
// player may choose are found in the program's folders.
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
  explicit TileSet(std::array<QPixmap, kPictureCount> pictures);

  // The built-in sets draw each picture when it is first asked for, at the ratio given: the
  // letters, say, only once a game puts them on the board. Copies share what was drawn.
  // The built-in set, "classic".
  static TileSet classic(qreal dpr);
  // The built-in "contrast" set: dark on light, squares told by text and pattern, marks by
  // shape.
  static TileSet contrast(qreal dpr);

  // Picture 0..35, 56 x 56 logical pixels; any other index gives a null pixmap.
  const QPixmap& picture(int index) const;
  bool isNull() const;
  // Pictures drawn or loaded so far.
  int pictureCount() const;

 private:
  using Draw = QPixmap (*)(int index, qreal dpr);
  struct Pictures {
    std::array<QPixmap, kPictureCount> ready;
    Draw draw = nullptr;  // null: every picture was given
    qreal dpr = 1;
  };
  TileSet(Draw draw, qreal dpr);

  std::shared_ptr<Pictures> pictures_;
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
// whose name is empty or a built-in set's ("classic", "contrast"), is left out with one line on
// stderr. A missing folder is no error.
QList<TileSetFile> findTileSets(const QStringList& folders);

// A set's name as a menu item's caption: plain text, so "&" is not a shortcut mark.
QString tileSetMenuText(const QString& name);

}  // namespace zp::board
