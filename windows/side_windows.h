#pragma once

#include <QDialog>

class QShowEvent;

// The side windows the main window opens from its menus. Each is created once at start and
// afterwards only shown and hidden, so whatever it holds survives between openings.
namespace zp::windows {

// Moves a top-level window so that it is centred over `over`'s window, or over the
// screen's work area when there is none.
void centreWindow(QWidget& window, const QWidget* over);
// Arial's metric twin, asked for by name: left alone, Qt picks another sans font.
void useGameFont(QWidget& window);

// The built-in help, one page per topic.
class Thelp : public QDialog {
  Q_OBJECT
 public:
  explicit Thelp(QWidget* parent = nullptr);
};

// Edits the phrases of the chat's nine phrase buttons.
class Tphrases : public QDialog {
  Q_OBJECT
 public:
  explicit Tphrases(QWidget* parent = nullptr);
};

// The spectators at the table; stays above the game's other windows while open.
class Tspylist : public QDialog {
  Q_OBJECT
 public:
  explicit Tspylist(QWidget* parent = nullptr);
};

// Offers a solo game, the lobby, or the lobby's download; centred on the desktop and kept
// above everything when shown.
class Tdownload : public QDialog {
  Q_OBJECT
 public:
  explicit Tdownload(QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;
};

// The long-running tally of games and wins.
class Ttallylist : public QDialog {
  Q_OBJECT
 public:
  explicit Ttallylist(QWidget* parent = nullptr);
};

}  // namespace zp::windows
