#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "client/board_play.h"
#include "gui/board_pictures.h"
#include "gui/tile_set.h"

namespace zp::board {

// The board paint area (`paintbox_board`): the three layers cell by cell, kept in a canvas
// at the screen's density. A change redraws only the cells it touched; a paint request
// copies the canvas.
class BoardPaintBox : public QWidget {
  Q_OBJECT

 public:
  BoardPaintBox(BoardPlay& play, QWidget* parent);
  void setTiles(const TileSet* tiles);
  // Draws the cells the model changed since the last call.
  void sync();
  // The cell's rectangle in the paint area, and the cell under a point (none off the board).
  static QRect cellRect(Cell c);
  static Cell cellAt(QPoint point) { return BoardPlay::cellAt(point.x(), point.y()); }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void drawCell(QPainter& painter, Cell c);
  void redrawAll();

  BoardPlay& play_;
  const TileSet* tiles_ = nullptr;
  QPixmap canvas_;
};

// The seven rack slots (`image_letter1` .. `image_letter7`) side by side.
class RackBox : public QWidget {
  Q_OBJECT

 public:
  RackBox(BoardPlay& play, QWidget* parent);
  void setTiles(const TileSet* tiles);
  void sync();

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  BoardPlay& play_;
  const TileSet* tiles_ = nullptr;
};

// A button drawn as one of the board's pictures.
class PictureButtonWidget : public QAbstractButton {
 public:
  PictureButtonWidget(QPixmap normal, QPixmap pressed, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap normal_;
  QPixmap pressed_;
};

// The whole board region of the main window: board, rack, status line, buttons, arrows,
// word list, bonus banner and winner panel, at their places. It draws the BoardPlay after
// every event and forwards clicks to it; `changed` tells the window to draw the rest.
class BoardPanel : public QObject {
  Q_OBJECT

 public:
  BoardPanel(BoardPlay& play, QWidget* region);
  // The tile set in use: "classic" (built in) or one loaded from a file.
  void setTiles(TileSet tiles);
  void sync();
  std::function<void()> changed;
  std::function<void()> wordListClicked;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  BoardPaintBox* paintbox_board = nullptr;
  RackBox* rack = nullptr;
  QLabel* label_status = nullptr;
  QPlainTextEdit* memo_words = nullptr;

 private:
  void clicked();
  void startBanner();

  BoardPlay& play_;
  QWidget* region_;
  TileSet tiles_;
  PictureButtonWidget* button_clear = nullptr;
  PictureButtonWidget* button_done = nullptr;
  PictureButtonWidget* button_shuffle = nullptr;
  PictureButtonWidget* button_start = nullptr;
  QLabel* label_playtoscore = nullptr;
  QLabel* label_Timeperturn = nullptr;
  QLabel* image_timer = nullptr;
  QLabel* label_timer = nullptr;
  std::array<QLabel*, 4> image_direction{};
  QLabel* image_bonus = nullptr;
  QTimer bannerTimer_;
  int bannerFrame_ = 0;
  int bannerStarts_ = 0;
  QLabel* panel_winner = nullptr;
  QLabel* label_winner1 = nullptr;
  QLabel* label_winner2 = nullptr;
  std::uint64_t wordsShown_ = 0;  // the list's wordsAdded when last drawn
  std::uint64_t wordsCleared_ = 0;
};

}  // namespace zp::board
