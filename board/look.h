#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QRect>

// The look the game's own windows share: its font, its colours and its text labels.
namespace zp::board {

inline const QColor kWindowBlue(0x0C, 0x71, 0xC2);
// The team colour, also the captions on the window's blue.
inline const QColor kLightBlue(0xBA, 0xCA, 0xEF);

// Arial's metric twin, asked for by name: left alone, Qt picks another sans font.
QFont gameFont(int pixelSize, bool bold = false);

// A label that shows its text as text, never as markup: names and lines from the network
// go into these.
QLabel* textLabel(QWidget* parent, QRect at, int pixelSize, bool bold, const QColor& colour,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);

void setTextColour(QWidget* widget, const QColor& colour);

}  // namespace zp::board
