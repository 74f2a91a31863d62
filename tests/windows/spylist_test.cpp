#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <string>
#include <vector>

#include "windows/Tspylist.h"

namespace zp::windows {
namespace {

struct SpyWindow {
  SpyWindow() {
    window.setHooks({[this] { return lines; }, [this](int number) { kicked.push_back(number); },
                     [this](int) { return menuItems; },
                     [this](int number) { ignored.push_back(number); },
                     [this](int number, int minutes) {
                       muted.push_back({number, minutes});
                     }});
    window.show();
    list = window.findChild<QListWidget*>("listbox_spys");
    menu = window.findChild<QMenu*>();
  }

  // The pointer comes to rest over `row` (nullopt: the empty space below the lines),
  // the menu opens there and "Remove From Game" is chosen.
  void removeAt(std::optional<int> row) {
    QWidget* viewport = list->viewport();
    QPoint at;
    if (row) {
      at = list->visualItemRect(list->item(*row)).center();
    } else {
      at = QPoint(viewport->width() / 2, viewport->height() - 3);
    }
    QTest::mouseMove(viewport, at);
    QContextMenuEvent open(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &open);
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->isVisible());
    const QList<QAction*> items = menu->actions();
    ASSERT_GE(items.size(), 1);
    EXPECT_EQ(items[0]->text(), "Remove From Game");
    itemEnabled = items[0]->isEnabled();
    // A disabled item cannot be chosen.
    if (itemEnabled) items[0]->trigger();
    menu->hide();
  }

  std::vector<std::string> lines{"6: Ann", "7: <i>Bob</i>", "Eve: 8", "9: Cy"};
  std::vector<int> kicked;
  std::vector<int> ignored;
  std::vector<std::pair<int, int>> muted;
  client::SeatMenu menuItems;
  bool itemEnabled = false;
  Tspylist window;
  QListWidget* list = nullptr;
  QMenu* menu = nullptr;
};

TEST(TspylistTest, ShowsTheLinesAsTextAndOkHides) {
  SpyWindow w;
  EXPECT_EQ(w.window.windowTitle(), "Zandu Pelix - Spys");
  EXPECT_TRUE(w.window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  ASSERT_TRUE(w.list);
  ASSERT_EQ(w.list->count(), 4);
  EXPECT_EQ(w.list->item(1)->text(), "7: <i>Bob</i>");

  w.lines = {"7: <i>Bob</i>"};
  w.window.refresh();
  ASSERT_EQ(w.list->count(), 1);
  EXPECT_EQ(w.list->item(0)->text(), "7: <i>Bob</i>");

  auto* ok = w.window.findChild<QPushButton*>("button_ok");
  ASSERT_TRUE(ok);
  ok->click();
  EXPECT_FALSE(w.window.isVisible());
}

TEST(TspylistTest, RemoveFromGameActsOnTheLineUnderThePointer) {
  struct Case {
    const char* what;
    bool host;
    std::optional<int> row;
    std::vector<int> kicked;
  };
  const std::vector<Case> cases = {
      {"host, first line", true, 0, {6}},
      {"host, last line", true, 3, {9}},
      {"host, a line that is not a number", true, 2, {}},
      {"host, below the last line", true, std::nullopt, {}},
      {"joiner", false, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SpyWindow w;
    w.window.setHostEnabled(c.host);
    // Another line is selected: the pointer decides, not the selection.
    w.list->setCurrentRow(1);
    w.removeAt(c.row);
    EXPECT_EQ(w.itemEnabled, c.host);
    EXPECT_EQ(w.kicked, c.kicked);
  }
}

TEST(TspylistTest, IgnoreAndMuteActOnTheLineTheMenuOpenedOn) {
  SpyWindow w;
  w.menuItems = {.ignore = true, .ignored = true, .mute = true, .muted = false};
  QWidget* viewport = w.list->viewport();
  const QPoint at = w.list->visualItemRect(w.list->item(3)).center();
  QTest::mouseMove(viewport, at);
  QContextMenuEvent open(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
  QApplication::sendEvent(viewport, &open);
  auto* ignore = w.menu->findChild<QAction*>("Ignore1");
  auto* mute = w.menu->findChild<QMenu*>("Mute1");
  auto* unmute = w.menu->findChild<QAction*>("Unmute1");
  ASSERT_TRUE(ignore && mute && unmute);
  EXPECT_TRUE(ignore->isChecked()) << "already ignored: the item undoes it";
  EXPECT_FALSE(unmute->isEnabled()) << "nobody to unmute";
  EXPECT_EQ(mute->accessibleName(), "Mute");
  ignore->trigger();
  mute->findChild<QAction*>("Mute15")->trigger();
  EXPECT_EQ(w.ignored, std::vector<int>{9});
  EXPECT_EQ(w.muted, (std::vector<std::pair<int, int>>{{9, 15}}));
  w.menu->hide();

  // Not the host: nothing to mute.
  w.menuItems = {.ignore = true};
  QApplication::sendEvent(viewport, &open);
  EXPECT_FALSE(w.menu->findChild<QMenu*>("Mute1")->isEnabled());
  w.menu->hide();
}

TEST(TspylistTest, TheMenuTracksThePointerAndIgnoresALineThatLeftMeanwhile) {
  SpyWindow w;
  w.window.setHostEnabled(true);
  QWidget* viewport = w.list->viewport();
  // Qt drops a move to where the pointer already is, and an earlier test may have left it on
  // that line: come from below the lines.
  QTest::mouseMove(viewport, QPoint(viewport->width() / 2, viewport->height() - 3));
  QTest::mouseMove(viewport, w.list->visualItemRect(w.list->item(3)).center());
  EXPECT_EQ(w.window.pointed(), 3);
  QTest::mouseMove(viewport, QPoint(viewport->width() / 2, viewport->height() - 3));
  EXPECT_EQ(w.window.pointed(), -1);

  // Ann leaves while the menu opened over her line is still up.
  const QPoint at = w.list->visualItemRect(w.list->item(0)).center();
  QTest::mouseMove(viewport, at);
  QContextMenuEvent open(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
  QApplication::sendEvent(viewport, &open);
  w.lines.erase(w.lines.begin());
  w.window.refresh();
  w.menu->actions().at(0)->trigger();
  EXPECT_TRUE(w.kicked.empty());
}

}  // namespace
}  // namespace zp::windows
