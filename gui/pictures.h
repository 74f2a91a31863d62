#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// The small pictures of the chat panel and the roster, drawn by the program so they stay
// crisp at any screen density: each takes the device pixel ratio of the screen it goes to
// and answers a pixmap of that many device pixels per logical pixel.
//
//   label->setPixmap(eyesPicture(label->devicePixelRatioF()));
namespace zp::client {

// The chat's smileys carry the codes 10..27 inside chat text; picture c - 10 shows code c.
inline constexpr int kSmileyCount = 18;
inline constexpr int kFirstSmileyCode = 10;
// The ten buttons of the phrase row: 1..9 send phrases, 10 opens the chatter sounds menu.
inline constexpr int kPhraseButtonCount = 10;

inline constexpr QSize kSmileySize{17, 17};
inline constexpr QSize kPhraseButtonSize{29, 25};
inline constexpr QSize kEyesSize{16, 10};
inline constexpr QSize kTurnMarkerSize{10, 40};
inline constexpr QSize kSeatPanelSize{165, 42};
inline constexpr QSize kSmileyButtonSize{22, 22};

// Smiley 0..17; any other index gives smiley 0, as a bad code in a chat line does.
QPixmap smileyPicture(int index, qreal dpr);
// The smiley menu's caption for a picture, which is also the text it inserts: ":)#10"...
QString smileyCaption(int index);
// Buttons 1..9: a speech bubble with the button's digit; 10: a speaker with a note.
// Any other number gives an empty bubble.
QPixmap phraseButtonPicture(int button, qreal dpr);
// Shown left of a seat's name while that player just watches.
QPixmap eyesPicture(qreal dpr);
// The bar beside the name of the player whose turn it is.
QPixmap turnMarkerPicture(qreal dpr);
// The panel under a seat's texts, drawn for the size it is shown at rather than stretched.
QPixmap seatPanelPicture(QSize size, qreal dpr);
// The button beside the chat input that opens the smiley menu.
QPixmap smileyButtonPicture(qreal dpr);

}  // namespace zp::client
