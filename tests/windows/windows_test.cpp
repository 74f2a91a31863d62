#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <memory>

#include "gui/look.h"
#include "net/catalogue.h"
#include "windows/Tabout.h"
#include "windows/Tdownload.h"
#include "windows/Tgamestart.h"
#include "windows/Thelp.h"
#include "windows/Tphrases.h"
#include "windows/Tspylist.h"
#include "windows/Ttallylist.h"

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

TEST(SideWindows, TheLauncherAndTheGameStartDialogTakeTheKeyboardWhenTheyOpen) {
  QWidget main;
  main.setGeometry(3, 3, 790, 580);
  Tdownload launcher(&main);
  Tgamestart gamestart(&main);
  for (QWidget* dialog : {static_cast<QWidget*>(&launcher), static_cast<QWidget*>(&gamestart)}) {
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog)) << dialog->windowTitle().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] {
      return QApplication::focusWidget() && QApplication::focusWidget()->window() == dialog;
    })) << "Enter goes to the dialog";
    dialog->hide();
  }
}

TEST(Tgamestart, EachStepperIsNamedForItsValueAndCarriesIt) {
  Tgamestart dialog;
  std::array<int, 3> values = {500, 60, 3};
  std::vector<std::pair<Tgamestart::Field, bool>> stepped;
  Tgamestart::Hooks hooks;
  hooks.values = [&] { return values; };
  hooks.arrow = [&](Tgamestart::Field field, bool up) {
    stepped.emplace_back(field, up);
    values[static_cast<std::size_t>(field)] += up ? 1 : -1;
  };
  hooks.computer = [] { return 1; };
  dialog.setHooks(hooks);
  const QList<QToolButton*> arrows = dialog.findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 6);
  const std::array<const char*, 6> names = {"Play to Score up",  "Play to Score down",
                                            "Creation Time up",  "Creation Time down",
                                            "Zandu Shuffles up", "Zandu Shuffles down"};
  const std::array<const char*, 6> said = {"500", "500", "60", "60", "3", "3"};
  for (int i = 0; i < 6; ++i) {
    QAccessibleInterface* arrow = QAccessible::queryAccessibleInterface(arrows[i]);
    EXPECT_EQ(arrow->text(QAccessible::Name), names[static_cast<std::size_t>(i)]);
    EXPECT_EQ(arrow->text(QAccessible::Description), said[static_cast<std::size_t>(i)]);
  }
  arrows[3]->click();
  EXPECT_EQ(stepped,
            (std::vector<std::pair<Tgamestart::Field, bool>>{{Tgamestart::kSeconds, false}}));
  EXPECT_EQ(arrows[2]->accessibleDescription(), "59") << "the value read is the new one";
  EXPECT_EQ(dialog.findChild<QLabel*>("timeperturn")->text(), "59");
  auto* combo = dialog.findChild<QComboBox*>("computer");
  // Qt names a combo box by its current item; its label is told through the relation.
  const auto labels = QAccessible::queryAccessibleInterface(combo)->relations(QAccessible::Label);
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels[0].first->text(QAccessible::Name), "Computer:");
  EXPECT_EQ(combo->currentText(), "Classic");
  // Its value is read with its description too, as the screen reader finds no other.
  QAccessibleInterface* computer = QAccessible::queryAccessibleInterface(combo);
  EXPECT_EQ(computer->text(QAccessible::Description), "Classic");
  combo->setCurrentIndex(3);
  EXPECT_EQ(computer->text(QAccessible::Description), "Expert");
}

TEST(Tgamestart, TheUnhurriedTableIsOneNamedChoiceTheSessionKeeps) {
  Tgamestart dialog;
  bool unhurried = true;
  std::vector<bool> told;
  Tgamestart::Hooks hooks;
  hooks.values = [] { return std::array<int, 3>{500, 60, 1}; };
  hooks.unhurried = [&] { return unhurried; };
  hooks.setUnhurried = [&](bool on) { told.push_back(on); };
  dialog.setHooks(hooks);
  auto* box = dialog.findChild<QCheckBox*>("checkbox_unhurried");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isChecked()) << "shown as the settings hold it";
  EXPECT_EQ(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name),
            "Unhurried: no turn limit, 20 seconds to choose the fall");
  told.clear();
  box->click();
  EXPECT_EQ(told, std::vector<bool>{false});
  // Every control sits inside the dialog.
  for (QWidget* w : dialog.findChildren<QWidget*>())
    EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->objectName().toStdString();
}

}  // namespace
}  // namespace zp::windows
