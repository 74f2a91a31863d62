// The window's voice: one text at a time, and never a game held up by a speech engine that is
// missing, broken or silent.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>

#include "gui/Tchat.h"
#include "gui/speech_voice.h"
#include "records/tally_table.h"

namespace zp::client {
namespace {

// How the engine a test hands the voice behaves.
enum class Engine { kReports, kSilent, kBroken };
Engine engineKind = Engine::kReports;
QStringList engineSaid;
int enginesMade = 0;

class FakeEngine : public SpeechEngine {
 public:
  FakeEngine(QObject* parent, std::function<void()> finished)
      : SpeechEngine(parent), finished_(std::move(finished)) {}
  bool works() override { return engineKind != Engine::kBroken; }
  void say(const QString& text, Urgency) override {
    engineSaid << text;
    if (engineKind == Engine::kReports) QTimer::singleShot(10, this, [this] { finished_(); });
  }
  void stop() override { engineSaid << QStringLiteral("<stop>"); }

 private:
  std::function<void()> finished_;
};

SpeechEngine* makeFake(QObject* parent, std::function<void()> finished) {
  ++enginesMade;
  return new FakeEngine(parent, std::move(finished));
}

struct Spoken3 {
  Announcer announcer;
  SpeechVoice voice{[this] { announcer.finished(); }, nullptr, &makeFake};
  Spoken3() {
    engineSaid.clear();
    enginesMade = 0;
    announcer.setVoice(&voice);
    announcer.setEnabled(true);
    announcer.announce({"Your turn.", Priority::kTurn});
    announcer.announce({"Bo chats: hi", Priority::kChat});
    announcer.announce({"30 seconds left.", Priority::kUrgent});
  }
  bool allSaid() const { return !announcer.current() && announcer.waiting().empty(); }
};

TEST(SpeechVoice, SaysEachTextOnceInTheAnnouncersOrderAndTheEngineIsMadeOnce) {
  engineKind = Engine::kReports;
  Spoken3 spoken;
  ASSERT_TRUE(QTest::qWaitFor([&] { return spoken.allSaid(); }, 5000));
  EXPECT_EQ(engineSaid, (QStringList{"Your turn.", "30 seconds left.", "Bo chats: hi"}));
  EXPECT_EQ(enginesMade, 1);
}

TEST(SpeechVoice, WithoutAWorkingEngineNothingIsSaidAndTheQueueStillEmpties) {
  engineKind = Engine::kBroken;
  Spoken3 spoken;
  EXPECT_TRUE(spoken.voice.engineAsked());
  EXPECT_FALSE(spoken.voice.engineWorks());
  // Nothing finished inside the announcing call: the announcer is never re-entered.
  EXPECT_TRUE(spoken.announcer.current().has_value());
  ASSERT_TRUE(QTest::qWaitFor([&] { return spoken.allSaid(); }, 1000));
  EXPECT_TRUE(engineSaid.isEmpty());
}

TEST(SpeechVoice, AnEngineThatNeverReportsBackIsGivenUpOnAndTheNextTextComes) {
  engineKind = Engine::kSilent;
  Spoken3 spoken;
  EXPECT_EQ(engineSaid, QStringList{"Your turn."});
  const int patience = SpeechVoice::patienceMs(QStringLiteral("Your turn."));
  EXPECT_LT(patience, 4000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return engineSaid.size() >= 3; }, patience + 1000));
  EXPECT_EQ(engineSaid.mid(0, 3), (QStringList{"Your turn.", "<stop>", "30 seconds left."}));
}

TEST(SpeechVoice, OnlyTheServicesReportOnTheCurrentTextEndsIt) {
  ServiceMessages messages;
  EXPECT_FALSE(messages.ends(1));  // nothing said yet
  EXPECT_FALSE(messages.said(7));
  EXPECT_FALSE(messages.ends(6));  // an earlier text, stopped or replaced
  EXPECT_TRUE(messages.ends(7));
  EXPECT_FALSE(messages.ends(7));  // its end and a cancel: one finish
  messages.said(8);
  messages.stopped();
  EXPECT_FALSE(messages.ends(8));  // the voice stopped it: no news for the announcer
  EXPECT_TRUE(messages.said(-1));  // refused by the service: over at once
  EXPECT_FALSE(messages.ends(-1));
  // A short text's end reported before its number came back from the service still ends it,
  // once; a stopped text's late cancel does not count for a later one.
  EXPECT_FALSE(messages.ends(10));
  EXPECT_TRUE(messages.said(10));
  EXPECT_FALSE(messages.ends(10));
  EXPECT_FALSE(messages.said(11));
  messages.stopped();
  EXPECT_FALSE(messages.ends(11));
  EXPECT_FALSE(messages.said(12));
  EXPECT_FALSE(messages.ends(11));
  EXPECT_TRUE(messages.ends(12));
  // Stopped before its number came back: its cancel ends nothing, not even the next text.
  messages.stopped();
  EXPECT_FALSE(messages.ends(13));
  messages.numberedAfterStop(13);
  EXPECT_FALSE(messages.said(14));
  EXPECT_FALSE(messages.ends(13));
  EXPECT_TRUE(messages.ends(14));
}

TEST(SpeechVoice, TheRealModuleNeverHoldsTheGame) {
  // Whatever this machine has (an engine, a plugin without its service, or neither), the
  // announcer gets past the text within the voice's patience.
  Announcer announcer;
  SpeechVoice voice([&] { announcer.finished(); });
  announcer.setVoice(&voice);
  announcer.setEnabled(true);
  announcer.announce({"Zandu.", Priority::kTable});
  EXPECT_TRUE(voice.engineAsked());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !announcer.current(); },
                              SpeechVoice::patienceMs(QStringLiteral("Zandu.")) + 2000));
}

TEST(SpeechVoice, OptionsSpeakEventsTurnsTheVoiceOnAndTheChatterItemIsNamed) {
  records::TallyTable tally;
  Tchat window(tally, 5);
  QAction* speak = nullptr;
  QAction* chatter = nullptr;
  for (QAction* menu : window.menuBar()->actions()) {
    if (menu->text() != QStringLiteral("&Options")) continue;
    for (QAction* item : menu->menu()->actions()) {
      if (item->text() == QStringLiteral("Speak Events")) speak = item;
      if (item->text() == QStringLiteral("Speak Tobo's Chatter")) chatter = item;
    }
  }
  ASSERT_NE(speak, nullptr);
  ASSERT_NE(chatter, nullptr);
  EXPECT_TRUE(speak->isCheckable() && chatter->isCheckable());
  // With no screen reader the game is silent.
  window.session().screenReaderRunning(false);
  EXPECT_FALSE(window.session().announcer().enabled());
  speak->trigger();
  EXPECT_TRUE(window.session().announcer().enabled());
  EXPECT_TRUE(speak->isChecked());
  EXPECT_TRUE(chatter->isChecked());
  chatter->trigger();
  EXPECT_FALSE(window.session().settings().SpeakChatter);
  speak->trigger();
  EXPECT_FALSE(window.session().announcer().enabled());
  // A screen reader the desktop reports turns it on without the menu.
  window.session().screenReaderRunning(true);
  EXPECT_TRUE(window.session().announcer().enabled());
}

TEST(SpeechVoice, TheQuestionKeysAnswerAtOnceAndTheBoardsMarkIsFollowed) {
  records::TallyTable tally;
  Tchat window(tally, 5);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.voice().setEngineMaker(&makeFake);
  engineKind = Engine::kSilent;  // each answer stops the one before
  engineSaid.clear();
  window.session().screenReaderRunning(true);
  const std::vector<std::pair<Qt::Key, QString>> keys = {
      {Qt::Key_F2, "No game is on."},
      {Qt::Key_F3, "Nobody is seated."},
      {Qt::Key_F4, "No words made yet."},
      {Qt::Key_F5, "The rack is empty."},
      {Qt::Key_F7, "Row 4: blank, blank, blank, blank, blank, blank, blank."},
      {Qt::Key_F8, "Column 4: blank, blank, blank, blank, blank, blank, blank."},
  };
  for (const auto& [key, answer] : keys) {
    QTest::keyClick(&window, key);
    EXPECT_EQ(window.voice().lastSaid(), answer) << answer.toStdString();
  }

  // The mark moves from cell to cell: the screen reader is told which cell has the focus.
  QWidget* board = window.findChild<QWidget*>(QStringLiteral("paintbox_board"));
  ASSERT_NE(board, nullptr);
  board->setFocus();
  QTest::keyClick(board, Qt::Key_Right);
  QTest::keyClick(board, Qt::Key_Down);
  // The first arrow shows the middle, the next moves one down: the screen reader finds that
  // cell focused (and is sent its focus event when a bridge is active).
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(board);
  QAccessibleInterface* cell = table->focusChild();
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(table->indexOfChild(cell), 4 * 7 + 3);
  EXPECT_TRUE(cell->state().focused);
  EXPECT_EQ(cell->text(QAccessible::Name), "empty, row 5, column 4");
  // F7 and F8 now read the mark's row and column.
  QTest::keyClick(&window, Qt::Key_F7);
  EXPECT_TRUE(window.voice().lastSaid().startsWith("Row 5:"));
}

// The chat history and the words made are walked line by line: the caret moves and the screen
// reader reads the line it stands on.
TEST(SpeechVoice, TheChatHistoryAndTheWordsMadeAreWalkedLineByLine) {
  records::TallyTable tally;
  Tchat window(tally, 5);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  window.session().chat().addSystemLine("First line.");
  window.session().chat().addSystemLine("Second line.");
  auto* words = window.findChild<QPlainTextEdit*>(QStringLiteral("memo_words"));
  ASSERT_NE(words, nullptr);
  words->setPlainText(QStringLiteral("Ann: TIRE for 18 points.\nBo: AX for 9 points."));
  QWidget* chat = nullptr;
  for (QWidget* w : window.findChildren<QWidget*>())
    if (w->accessibleName() == QStringLiteral("Chat messages")) chat = w;
  ASSERT_NE(chat, nullptr);
  for (QWidget* view : {chat, static_cast<QWidget*>(words)}) {
    SCOPED_TRACE(view->accessibleName().toStdString());
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Down);
    QAccessibleInterface* text = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(text->textInterface(), nullptr);
    int start = 0;
    int end = 0;
    const QString line = text->textInterface()->textAtOffset(
        text->textInterface()->cursorPosition(), QAccessible::LineBoundary, &start, &end);
    EXPECT_TRUE(line.contains(view == chat ? "Second line." : "Bo: AX for 9 points."))
        << line.toStdString();
  }
}

}  // namespace
}  // namespace zp::client
