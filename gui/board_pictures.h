#pragma once

#include <QPixmap>
#include <QSize>

// The board's other pictures: the picture buttons, the direction arrows, the shuffle
// gauges, the bonus banner and the winner panel, drawn by the program for the screen's
// device pixel ratio so they stay sharp on dense screens.
//
//   button->setIcon(pictureButtonPicture(PictureButton::kClear, devicePixelRatioF()));
namespace zp::board {

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
