#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <array>
#include <string>
#include <vector>

#include "records/tally_table.h"
#include "windows/Ttallylist.h"

namespace zp::windows {
namespace {

using records::TallyTable;

// The window over a table fed the way the main window feeds it; the questions are answered
// from `answers` in turn and remembered in `asked`.
struct TallyWindow {
  explicit TallyWindow(TallyTable& table) : tally(table), window(table) {
    window.setQuestion([this](const QString& text) {
      asked.push_back(text.toStdString());
      const bool yes = !answers.empty() && answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return yes;
    });
    // addgame refills the list of opponents first, as the main window does.
    tally.OnLoadChecklist = [this] { tally.loadchecklist(seats); };
  }

  QString text(const QString& name) const {
    const auto* label = window.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("(missing)");
  }
  QListWidget* list(const char* name) const { return window.findChild<QListWidget*>(name); }
  // label_1 .. label_8.
  std::vector<std::string> hisNumbers() const {
    std::vector<std::string> numbers;
    for (int n = 1; n <= 8; ++n)
      numbers.push_back(text(QStringLiteral("label_%1").arg(n)).toStdString());
    return numbers;
  }
  std::vector<std::pair<std::string, bool>> entries(const char* name) const {
    std::vector<std::pair<std::string, bool>> shown;
    QListWidget* widget = list(name);
    for (int i = 0; widget && i < widget->count(); ++i)
      shown.emplace_back(widget->item(i)->text().toStdString(),
                         widget->item(i)->checkState() == Qt::Checked);
    return shown;
  }
  void setCheck(const char* name, int row, bool on) {
    list(name)->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
  // A game starts with these opponents; the user ticks the ones to tally.
  void startGame(std::vector<std::string> opponents, std::vector<int> ticks) {
    seats = std::move(opponents);
    tally.loadchecklist(seats);
    window.refresh();
    for (int row : ticks) setCheck("checklist", row, true);
  }

  TallyTable& tally;
  Ttallylist window;
  std::vector<std::string> seats;
  std::vector<bool> answers;
  std::vector<std::string> asked;
};

TEST(TtallylistTest, TickingAnOpponentTalliesHimAndTheListsShowNamesAsText) {
  TallyTable tally;
  TallyWindow w(tally);
  w.window.show();
  EXPECT_EQ(w.window.windowTitle(), "Zandu Pelix - Tally List");
  EXPECT_EQ(w.text("label_hisnametop"), "XX's Tally");
  w.startGame({"Ann", "<b>Bob</b>", "<Waiting>"}, {1});
  using Entries = std::vector<std::pair<std::string, bool>>;
  EXPECT_EQ(w.entries("checklist"), (Entries{{"Ann", false}, {"<b>Bob</b>", true}}));
  EXPECT_EQ(w.entries("listbox_tally"), (Entries{{"<b>Bob</b>", true}}));

  w.list("listbox_tally")->setCurrentRow(0);
  EXPECT_EQ(tally.Selected(), 0);
  EXPECT_EQ(w.text("label_hisnametop"), "<b>Bob</b>'s Tally");
  EXPECT_EQ(w.window.findChild<QLabel*>("label_hisnametop")->textFormat(), Qt::PlainText);
  EXPECT_EQ(w.window.findChild<QLabel*>("label_hisname")->textFormat(), Qt::PlainText);

  // Unticking him in the current game keeps his tally; ticking a tallied entry does nothing.
  w.setCheck("checklist", 1, false);
  EXPECT_EQ(w.entries("listbox_tally"), (Entries{{"<b>Bob</b>", true}}));
  EXPECT_TRUE(w.asked.empty());
}

// One finished game seen from the tally of Ann (selected) with Bob also at the table.
TEST(TtallylistTest, AFinishedGameShowsInBothPanels) {
  struct Case {
    std::string winner;
    std::string myWins;
    std::vector<std::string> ann;  // label_1 .. label_8
  };
  const std::vector<Case> cases = {
      {std::string(TallyTable::kMine), "1", {"1", "0", "1", "0", "1", "0", "1", "0"}},
      {"Ann", "0", {"1", "1", "0", "0", "1", "1", "0", "0"}},
      // A third player won: Ann and the user lost together.
      {"Bob", "0", {"1", "0", "0", "1", "1", "0", "0", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.winner);
    TallyTable tally;
    TallyWindow w(tally);
    w.window.show();
    w.startGame({"Ann", "Bob"}, {0, 1});
    w.list("listbox_tally")->setCurrentRow(0);

    tally.anotherword(3);
    tally.addtomineset(4, "12", "zeal");
    tally.anotherword(3);
    tally.addtomineset(4, "9", "ox");
    tally.addgame(c.winner);
    w.window.refresh();

    EXPECT_EQ(w.text("mylabel_1"), "1");
    EXPECT_EQ(w.text("mylabel_2").toStdString(), c.myWins);
    EXPECT_EQ(w.text("mylabel_3"), "2");
    EXPECT_EQ(w.text("mylabel_4"), "zeal (12)");
    EXPECT_EQ(w.text("label_hisnametop"), "Ann's Tally");
    EXPECT_EQ(w.text("label_hisname"), "Ann Wins:");
    EXPECT_EQ(w.hisNumbers(), c.ann);
  }
}

TEST(TtallylistTest, ARestartKeepsTotalsAndStartsTheSessionAtZero) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const std::filesystem::path file =
      std::filesystem::path(folder.path().toStdString()) / records::TallyFileName("ZanduPelix");
  {
    TallyTable tally;
    TallyWindow w(tally);
    w.startGame({"Ann"}, {0});
    tally.anotherword(3);
    tally.addtomineset(4, "20", "quiz");
    tally.addgame("Ann");
    tally.addgame(TallyTable::kMine);
    ASSERT_FALSE(tally.SaveFile(file));
  }
  TallyTable tally;
  ASSERT_FALSE(tally.LoadFile(file));
  TallyWindow w(tally);
  w.window.show();
  EXPECT_EQ(w.text("mylabel_1"), "2");
  EXPECT_EQ(w.text("mylabel_2"), "1");
  EXPECT_EQ(w.text("mylabel_3"), "1");
  EXPECT_EQ(w.text("mylabel_4"), "quiz (20)");
  EXPECT_EQ(w.entries("listbox_tally"), (std::vector<std::pair<std::string, bool>>{{"Ann", true}}));
  EXPECT_TRUE(w.entries("checklist").empty());
  w.list("listbox_tally")->setCurrentRow(0);
  EXPECT_EQ(w.hisNumbers(), (std::vector<std::string>{"2", "1", "1", "0", "0", "0", "0", "0"}));
}

TEST(TtallylistTest, UntickingAsksAndYesDeletesWhileNoTicksAgain) {
  TallyTable tally;
  TallyWindow w(tally);
  w.window.show();
  w.startGame({"Ann", "Bob", "Cy"}, {0, 1, 2});
  tally.addgame("Cy");
  w.list("listbox_tally")->setCurrentRow(2);
  using Entries = std::vector<std::pair<std::string, bool>>;

  w.answers = {false};
  w.setCheck("listbox_tally", 1, false);
  EXPECT_EQ(w.asked,
            std::vector<std::string>{"This will delete Bob's Tally, Are you want to delete it?"});
  EXPECT_EQ(w.entries("listbox_tally"), (Entries{{"Ann", true}, {"Bob", true}, {"Cy", true}}));
  EXPECT_EQ(tally.RowCount(), 4);

  w.answers = {true};
  w.setCheck("listbox_tally", 1, false);
  EXPECT_EQ(w.entries("listbox_tally"), (Entries{{"Ann", true}, {"Cy", true}}));
  EXPECT_EQ(tally.TalliedPlayers(), (std::vector<std::string>{"Ann", "Cy"}));
  // Cy moved up and is still the one shown, with his numbers.
  EXPECT_EQ(w.list("listbox_tally")->currentRow(), 1);
  EXPECT_EQ(w.text("label_hisnametop"), "Cy's Tally");
  EXPECT_EQ(w.text("label_2"), "1");

  // Deleting the player on show leaves nobody's numbers behind.
  w.answers = {true};
  w.setCheck("listbox_tally", 1, false);
  EXPECT_EQ(w.text("label_hisnametop"), "XX's Tally");
  EXPECT_EQ(w.hisNumbers(), std::vector<std::string>(8, "0"));
  EXPECT_EQ(w.asked.size(), 3u);
}

TEST(TtallylistTest, ResetAsksFirstAndYesEmptiesTheTally) {
  TallyTable tally;
  TallyWindow w(tally);
  w.window.show();
  w.startGame({"Ann"}, {0});
  tally.anotherword(3);
  tally.addgame(TallyTable::kMine);
  w.list("listbox_tally")->setCurrentRow(0);
  w.window.refresh();
  auto* reset = w.window.findChild<QPushButton*>("button_reset");
  ASSERT_TRUE(reset);
  EXPECT_EQ(reset->text(), "Reset Tally");

  w.answers = {false};
  reset->click();
  EXPECT_EQ(w.asked, std::vector<std::string>{std::string(TallyTable::kResetQuestion)});
  EXPECT_EQ(w.text("mylabel_1"), "1");
  EXPECT_EQ(w.entries("listbox_tally").size(), 1u);

  w.answers = {true};
  reset->click();
  EXPECT_EQ(w.asked.size(), 2u);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(w.text(QStringLiteral("mylabel_%1").arg(n)), "0");
  EXPECT_TRUE(w.entries("listbox_tally").empty());
  EXPECT_EQ(w.hisNumbers(), std::vector<std::string>(8, "0"));
  EXPECT_EQ(tally.RowCount(), 1);
}

TEST(TtallylistTest, DoneOnlyHidesAndTheTableKeepsCounting) {
  TallyTable tally;
  TallyWindow w(tally);
  w.window.show();
  w.startGame({"Ann"}, {});
  auto* done = w.window.findChild<QPushButton*>("button_done");
  ASSERT_TRUE(done);
  done->click();
  EXPECT_FALSE(w.window.isVisible());
  tally.anotherword(3);
  // Opening again shows what was counted while hidden.
  w.window.show();
  EXPECT_EQ(w.text("mylabel_3"), "1");
}

}  // namespace
}  // namespace zp::windows
