#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
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

// A transparent picture of `size` logical pixels made for a screen of density `dpr`; a
// painter on it draws in logical pixels, so the picture is sharp on dense screens.
QPixmap transparentCanvas(QSize size, qreal dpr);
// Antialiased shapes and text.
void smooth(QPainter& painter);

}  // namespace zp::board
