#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <string_view>

// The look the game's own windows share, the main window's and the side windows': the font,
// the colours, the text labels and where a side window opens.
namespace zp::gui {

inline const QColor kWindowBlue(0x0C, 0x71, 0xC2);
// The team colour, also the captions on the window's blue.
inline const QColor kLightBlue(0xBA, 0xCA, 0xEF);

// Arial's metric twin, asked for by name: left alone, Qt picks another sans font.
QFont gameFont(int pixelSize, bool bold = false);

// Text from the network or a file, as every window shows it: one conversion for the chat,
// the seats, the winner, the spy list and the tally alike (valid UTF-8, else Latin-1;
// control characters as blanks).
QString shownText(std::string_view text);

// Arial's metric twin, asked for by name: left alone, Qt picks another sans font.
void useGameFont(QWidget& window);
// A side window in the game's colours: light blue text on the window's blue.
void useSideWindowLook(QWidget& window);
// A label's emphasis: bold or italic, a pixel size (0 keeps the size), and its colour.
struct LabelStyle {
  bool bold = false;
  bool italic = false;
  int pixelSize = 0;
  QColor colour = Qt::white;
};
void styleLabel(QLabel& label, const LabelStyle& style);
// Moves a top-level window so that it is centred over `over`'s window, or over the
// screen's work area when there is none.
void centreWindow(QWidget& window, const QWidget* over);
// The first time only: afterwards the window opens where the player left it.
void centreOnce(QWidget& window, bool& placed);

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

}  // namespace zp::gui
