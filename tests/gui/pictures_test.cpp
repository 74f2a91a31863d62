#include "gui/pictures.h"

#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <vector>

namespace zp::client {
namespace {

int paintedPixels(const QPixmap& pixmap) {
  const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  int painted = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0;
  return painted;
}

int differingPixels(const QPixmap& a, const QPixmap& b) {
  const QImage left = a.toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage right = b.toImage().convertToFormat(QImage::Format_ARGB32);
  int differing = 0;
  for (int y = 0; y < left.height(); ++y)
    for (int x = 0; x < left.width(); ++x) differing += left.pixel(x, y) != right.pixel(x, y);
  return differing;
}

TEST(Pictures, HaveTheirLogicalSizeAtAnyDensityAndAreNotBlank) {
  struct Case {
    const char* name;
    std::function<QPixmap(qreal)> draw;
    QSize size;
  };
  const std::vector<Case> cases = {
      {"smiley", [](qreal dpr) { return smileyPicture(5, dpr); }, kSmileySize},
      {"phrase button", [](qreal dpr) { return phraseButtonPicture(3, dpr); }, kPhraseButtonSize},
      {"sounds button", [](qreal dpr) { return phraseButtonPicture(10, dpr); }, kPhraseButtonSize},
      {"eyes", eyesPicture, kEyesSize},
      {"turn marker", turnMarkerPicture, kTurnMarkerSize},
      {"seat panel", [](qreal dpr) { return seatPanelPicture(kSeatPanelSize, dpr); },
       kSeatPanelSize},
      {"seat panel, other size", [](qreal dpr) { return seatPanelPicture(QSize(50, 30), dpr); },
       QSize(50, 30)},
      {"smiley button", smileyButtonPicture, kSmileyButtonSize},
  };
  for (const Case& c : cases) {
    for (qreal dpr : {1.0, 2.0}) {
      SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(dpr));
      const QPixmap pixmap = c.draw(dpr);
      EXPECT_EQ(pixmap.size(), c.size * dpr);
      EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), c.size);
      // A picture is mostly drawn, never an empty or a solid block.
      const int area = pixmap.width() * pixmap.height();
      EXPECT_GT(paintedPixels(pixmap), area / 5);
    }
  }
}

TEST(Pictures, SmileysAreRoundDistinctAndFallBackToTheFirst) {
  std::vector<QPixmap> smileys;
  for (int index = 0; index < kSmileyCount; ++index) {
    smileys.push_back(smileyPicture(index, 1));
    const QImage image = smileys.back().toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "smiley " << index << " is not a round face";
  }
  for (int a = 0; a < kSmileyCount; ++a)
    for (int b = a + 1; b < kSmileyCount; ++b)
      EXPECT_GT(differingPixels(smileys[a], smileys[b]), 10) << "smileys " << a << " and " << b;

  for (int bad : {-1, kSmileyCount, 99}) {
    EXPECT_EQ(smileyPicture(bad, 2).toImage(), smileyPicture(0, 2).toImage()) << bad;
    EXPECT_EQ(smileyCaption(bad), ":)#10") << bad;
  }
  EXPECT_EQ(smileyCaption(0), ":)#10");
  EXPECT_EQ(smileyCaption(kSmileyCount - 1), ":)#27");
}

TEST(Pictures, EveryPhraseButtonHasItsOwnPicture) {
  std::vector<QPixmap> buttons;
  for (int button = 0; button <= kPhraseButtonCount; ++button)
    buttons.push_back(phraseButtonPicture(button, 1));
  for (int a = 0; a < int(buttons.size()); ++a)
    for (int b = a + 1; b < int(buttons.size()); ++b)
      EXPECT_GT(differingPixels(buttons[a], buttons[b]), 5) << "buttons " << a << " and " << b;
}

}  // namespace
}  // namespace zp::client
