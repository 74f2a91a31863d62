#pragma once

#include <QWidget>

// What the side windows share. Each is created once at start and afterwards only shown and
// hidden, so whatever it holds survives between openings.
namespace zp::windows {

// Moves a top-level window so that it is centred over `over`'s window, or over the
// screen's work area when there is none.
void centreWindow(QWidget& window, const QWidget* over);
// Arial's metric twin, asked for by name: left alone, Qt picks another sans font.
void useGameFont(QWidget& window);

}  // namespace zp::windows
