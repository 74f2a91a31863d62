#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <memory>

#include "net/catalogue.h"
#include "windows/Tabout.h"
#include "windows/Tdownload.h"
#include "windows/Thelp.h"
#include "windows/Tphrases.h"
#include "windows/Tspylist.h"
#include "windows/Ttallylist.h"
#include "gui/look.h"

namespace zp::windows {
namespace {

void click(QWidget* widget) {
  const QPointF centre = QRectF(widget->rect()).center();
  QMouseEvent press(QEvent::MouseButtonPress, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, centre, widget->mapToGlobal(centre),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QApplication::sendEvent(widget, &release);
}

TEST(Tabout, ShowsTheProtocolVersionThenTheBuild) {
  Tabout about;
  EXPECT_EQ(about.windowTitle(), "Zandu Pelix - About");
  const std::string_view wanted = zp::kGameVersion;
  EXPECT_EQ(about.version().toStdString(), wanted);

  auto* version = about.findChild<QLabel*>("version");
  auto* build = about.findChild<QLabel*>("label_build");
  ASSERT_TRUE(version && build);
  EXPECT_EQ(version->text() + build->text(), "1.0.15.17");
  about.show();
  // The build number reads straight on from the version, on the same line.
  EXPECT_EQ(build->x(), version->x() + version->width());
  EXPECT_EQ(build->y(), version->y());
}

TEST(Tabout, DoneHidesAndTheBoxComesBackUnchanged) {
  QWidget main;
  main.setGeometry(100, 100, 790, 580);
  main.show();
  Tabout about(&main);
  about.show();
  EXPECT_EQ(about.frameGeometry().center(), main.frameGeometry().center());

  auto* done = about.findChild<QPushButton*>("button_done");
  ASSERT_TRUE(done);
  EXPECT_EQ(done->text(), "Done");
  done->click();
  EXPECT_FALSE(about.isVisible());
  about.show();
  EXPECT_TRUE(about.isVisible());
  EXPECT_EQ(about.version(), "1.0.15");
}

TEST(Tabout, LogoAndLinkOpenTheMakersPage) {
  Tabout about;
  about.show();
  // Any object with a QUrl signal can stand in for the browser; this test has no moc.
  QTextBrowser browser;
  std::vector<QUrl> opened;
  QObject::connect(&browser, &QTextBrowser::anchorClicked,
                   [&](const QUrl& url) { opened.push_back(url); });
  QDesktopServices::setUrlHandler("http", &browser, "anchorClicked");
  auto* link = about.findChild<QLabel*>("label_url");
  auto* logo = about.findChild<QWidget*>("image_logo");
  ASSERT_TRUE(link && logo);
  click(link);
  click(logo);
  QDesktopServices::unsetUrlHandler("http");

  const QUrl page("http://" + link->text());
  EXPECT_EQ(link->text(), "www.zandupelix.example");
  EXPECT_EQ(opened, (std::vector<QUrl>{page, page}));
}

TEST(SideWindows, HaveTheirCaptions) {
  const std::vector<std::pair<std::unique_ptr<QWidget>, QString>> windows = [] {
    std::vector<std::pair<std::unique_ptr<QWidget>, QString>> made;
    made.emplace_back(std::make_unique<Thelp>(), "Zandu Pelix - Help File");
    made.emplace_back(std::make_unique<Tphrases>(), "Zandu Pelix - Phrase Buttons ");
    made.emplace_back(std::make_unique<Tspylist>(), "Zandu Pelix - Spys");
    made.emplace_back(std::make_unique<Tdownload>(), "Download The Qelm88 Lobby");
    made.emplace_back(std::make_unique<Ttallylist>(), "Zandu Pelix - Tally List");
    return made;
  }();
  for (const auto& [window, caption] : windows) EXPECT_EQ(window->windowTitle(), caption);
}

TEST(SideWindows, TheLauncherOpensCentredOnTheDesktopAndOnTop) {
  QWidget main;
  main.setGeometry(3, 3, 790, 580);
  Tdownload launcher(&main);
  main.show();
  launcher.show();
  EXPECT_EQ(launcher.frameGeometry().center(), launcher.screen()->availableGeometry().center());
  EXPECT_TRUE(launcher.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

}  // namespace
}  // namespace zp::windows
