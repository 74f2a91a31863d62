#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include "windows/Thelp.h"

namespace zp::windows {
namespace {

QPushButton* button(const QWidget& window, const QString& caption) {
  for (auto* found : window.findChildren<QPushButton*>())
    if (found->text() == caption) return found;
  return nullptr;
}

QString pageText(const Thelp& help, int topic) {
  const auto* page = help.findChild<QTextBrowser*>(QStringLiteral("memo%1").arg(topic));
  return page ? page->toPlainText() : QString();
}

QString frontPage(const Thelp& help) {
  const auto* pages = help.findChild<QStackedWidget*>();
  return pages && pages->currentWidget() ? pages->currentWidget()->objectName() : QString();
}

QString caption(const Thelp& help) {
  const auto* label = help.findChild<QLabel*>(QStringLiteral("label_caption"));
  return label ? label->text() : QString();
}

TEST(Thelp, SidePanelButtonsInOrderAndTheOverviewFirst) {
  Thelp help;
  QStringList captions;
  for (const auto* found : help.findChildren<QPushButton*>()) captions << found->text();
  EXPECT_EQ(captions,
            (QStringList{"Overview", "Connecting", "Game Play", "Scoring", "Documentation",
                         "The Lobby", "Keyboard and Speech", "About", "Done"}));
  EXPECT_EQ(frontPage(help), "memo1");
  EXPECT_EQ(caption(help), "Overview");
}

TEST(Thelp, EachButtonBringsItsOwnPageUnderItsCaption) {
  struct Case {
    const char* caption;
    int topic;
    const char* title;
  };
  // Out of order, so that no page is in front merely by coming next.
  const Case cases[] = {{"The Lobby", 11, "The Lobby"},
                        {"Scoring", 4, "Scoring"},
                        {"Overview", 1, "Overview"},
                        {"Documentation", 5, "History"},
                        {"Game Play", 3, "Game Play"},
                        {"Connecting", 2, "Connecting"},
                        {"Keyboard and Speech", 12, "Keyboard and Speech"},
                        {"The Lobby", 11, "The Lobby"}};
  Thelp help;
  help.show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    QPushButton* topicButton = button(help, c.caption);
    ASSERT_TRUE(topicButton);
    topicButton->click();
    EXPECT_EQ(frontPage(help), QStringLiteral("memo%1").arg(c.topic));
    EXPECT_EQ(caption(help), c.caption);
    EXPECT_EQ(help.topic(), c.topic);
    int pressed = 0;
    for (const auto* any : help.findChildren<QPushButton*>()) pressed += any->isChecked();
    EXPECT_TRUE(topicButton->isChecked());
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(pageText(help, c.topic).startsWith(QString(c.title) + "\n\n"));

    const auto* page = help.findChild<QTextBrowser*>(QStringLiteral("memo%1").arg(c.topic));
    EXPECT_TRUE(page->isReadOnly());
    EXPECT_EQ(page->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  }
  EXPECT_FALSE(help.showTopic(6));
  EXPECT_EQ(frontPage(help), "memo11");
}

TEST(Thelp, OverviewAndGamePlayWordForWord) {
  Thelp help;
  EXPECT_EQ(pageText(help, 1),
            "Overview\n\nZandu Pelix is a multiplayer word game. Players try to create the "
            "largest word possible while using the letters that are on the bonus square. This "
            "exciting game can be played with up to four players.");
  EXPECT_EQ(pageText(help, 3),
            "Game Play\n\n"
            "Players take turns making words from the letters on the board.  The letters used in "
            "the word must be connecting.\n\n"
            "The host can decide to allow players to do the Zandu Shuffle. This resets the tiles "
            "on the board. You can only do this on your turn and only once per turn.\n\n"
            "When you are finished creating your word hit the done button or right click the "
            "mouse button to submit the word.\n\n"
            "After you create a valid word you can select which way you would like the tiles to "
            "be shifted by pressing one of the four arrows that appear.\n\n"
            "The player or team that reaches the play to score first will be declared the "
            "winner.");
}

TEST(Thelp, TheKeyboardPageListsTheQuestionKeysAndTheSpeechMenuItems) {
  Thelp help;
  const QString page = pageText(help, 12);
  for (const char* said :
       {"\n    F2   whose turn", "\n    F3   the scores", "\n    F4   the last words",
        "\n    F5   the letters picked", "\n    F7   the row", "\n    F8   the column",
        "Options > Speak Events", "Options > Speak Tobo's Chatter", "F6 moves it"})
    EXPECT_TRUE(page.contains(QString::fromUtf8(said))) << said;
}

TEST(Thelp, ScoringWorksStormThroughAndEndsWithTheWinner) {
  Thelp help;
  const QString page = pageText(help, 4);
  // The bonuses are listed in the order they are applied.
  qsizetype at = 0;
  for (const char* bonus :
       {"Bonus", "Double Letter", "Triple Letter", "Double Word", "Triple Word"}) {
    const qsizetype next = page.indexOf("\n" + QString(bonus), at);
    EXPECT_GT(next, at) << bonus;
    at = next;
  }
  for (const char* step : {"STORM, with the S on a triple word square, the R on a double word "
                           "square and the M on a double letter square",
                           "1 + 1 + 1 + 1 + 3", "7 + 3 = 10", "10 x 2 = 20", "20 x 3 = 60"})
    EXPECT_TRUE(page.contains(step)) << step;
  EXPECT_TRUE(
      page.endsWith("\n\nThe player or team who reaches the play to score first will win. "));
}

TEST(Thelp, HistoryCountsDownFromThisVersionNewestFirst) {
  Thelp help;
  const QStringList lines = pageText(help, 5).split('\n');
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines[0], "History");
  EXPECT_EQ(lines[1], "");
  const QRegularExpression entry(R"(^[A-Z][a-z]{2} \d{1,2}, \d{4} - Version 1\.0\.15\.(\d+)$)");
  const QTextDocument* document =
      help.findChild<QTextBrowser*>(QStringLiteral("memo5"))->document();
  // Only the version headings are bold.
  const auto bold = [document](qsizetype line) {
    const QTextBlock block = document->findBlockByNumber(static_cast<int>(line));
    return block.begin().fragment().charFormat().fontWeight() == QFont::Bold;
  };
  int expectedBuild = 17;
  int notes = 0;
  for (qsizetype i = 2; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (!line.isEmpty()) {
      EXPECT_EQ(bold(i), entry.match(line).hasMatch()) << line.toStdString();
    }
    if (const auto match = entry.match(line); match.hasMatch()) {
      EXPECT_EQ(match.captured(1).toInt(), expectedBuild) << line.toStdString();
      if (expectedBuild != 17) {
        EXPECT_GT(notes, 0) << "an entry without notes before " << i;
      }
      --expectedBuild;
      notes = 0;
    } else if (line.startsWith("  -")) {
      ++notes;
    } else {
      EXPECT_EQ(line, "") << "line " << i;
    }
  }
  EXPECT_EQ(expectedBuild, -1);
  EXPECT_GT(notes, 0);
  EXPECT_TRUE(lines[2].endsWith(" - Version 1.0.15.17"));
}

TEST(Thelp, ConnectingAndLobbyTellHowPlayersMeet) {
  Thelp help;
  const QString connecting = pageText(help, 2);
  for (const char* point : {"Start Game", "offline", "FIREWALL", "port 7772", "host"})
    EXPECT_TRUE(connecting.contains(point)) << point;
  const QString lobby = pageText(help, 11);
  for (const char* point :
       {"zandupelix-lobby", "Add Table...", "--directory", "    zandupelix-directory",
        "    zandupelix-server --name", "    zandupelix NAME ADDRESS true",
        "    zandupelix NAME HOSTADDRESS false", "port 7772", "--port"})
    EXPECT_TRUE(lobby.contains(point)) << point;
}

TEST(Thelp, DoneKeepsTheTopicAndAboutKeepsTheWindow) {
  Thelp help;
  int abouts = 0;
  help.setShowAbout([&abouts] { ++abouts; });
  help.show();
  button(help, "Scoring")->click();
  button(help, "About")->click();
  EXPECT_EQ(abouts, 1);
  EXPECT_TRUE(help.isVisible());

  button(help, "Done")->click();
  EXPECT_FALSE(help.isVisible());
  help.show();
  EXPECT_EQ(frontPage(help), "memo4");
  EXPECT_EQ(caption(help), "Scoring");
}

}  // namespace
}  // namespace zp::windows
