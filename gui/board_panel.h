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
#include "client/trace_path.h"
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

  // The keyboard's focus mark, drawn while the board has the focus; none before an arrow
  // key or a click has placed it.
  Cell focusMark() const { return focus_; }
  const BoardModel& model() const { return play_.model(); }
  // `tellScreenReader`: the screen reader is sent to the cell, as it follows the focus.
  void setFocusMark(Cell c, bool tellScreenReader = true);
  // The cell the screen reader was last sent to; the mark may have moved on without it.
  Cell toldFocus() const { return told_; }
  // A short mark over the whole board: a key that changes nothing.
  void flashRefusal();
  // How the board will lie after a fall, drawn over the real board in a lighter look until
  // it is taken away; `direction` 0 takes it away.
  void showFall(int direction);
  int fallShown() const { return fallShown_; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void drawCell(QPainter& painter, Cell c);
  void redrawAll();
  void drawFall(QPainter& painter);

  BoardPlay& play_;
  const TileSet* tiles_ = nullptr;
  QPixmap canvas_;
  Cell focus_;
  Cell told_;
  QTimer refusal_;
  int fallShown_ = 0;
};

// The seven rack slots (`image_letter1` .. `image_letter7`) side by side.
class RackBox : public QWidget {
  Q_OBJECT

 public:
  RackBox(BoardPlay& play, QWidget* parent);
  void setTiles(const TileSet* tiles);
  void sync();
  const BoardModel& model() const { return play_.model(); }

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
  // The window's seat number (0: none), for keys that only work in the own turn.
  std::function<int()> ownNumber;
  // A key changed nothing: the window plays its cue.
  std::function<void()> refused;
  QWidget* board() const { return paintbox_board; }
  // Where the keyboard's mark stands on the board; none before an arrow key or a click.
  Cell focusMark() const { return paintbox_board->focusMark(); }
  // A new turn: the typed word is forgotten.
  void resetTyping() { tracer_.reset(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  BoardPaintBox* paintbox_board = nullptr;
  RackBox* rack = nullptr;
  QLabel* label_status = nullptr;
  QPlainTextEdit* memo_words = nullptr;

 private:
  void clicked();
  void startBanner();
  bool boardKey(QKeyEvent* event);
  void carryOut(const std::vector<client::TraceAction>& actions);
  bool ownTurn() const;
  bool ownArrowsShown() const;
  void chooseFall(int direction);

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
  client::KeyboardTracer tracer_;
};

}  // namespace zp::board
