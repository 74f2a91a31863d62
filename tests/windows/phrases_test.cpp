#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "windows/Tphrases.h"

namespace zp::windows {
namespace {

using Phrases = Tphrases::Phrases;

// The editor over nine phrase buttons of its own.
struct PhraseWindow {
  PhraseWindow() {
    window.setHooks({[this] { return buttons; },
                     [this](const Phrases& texts) {
                       buttons = texts;
                       ++doneCount;
                     }});
  }
  QLineEdit* field(int n) {
    return window.findChild<QLineEdit*>(QStringLiteral("phrase%1").arg(n));
  }
  std::vector<std::string> shown() {
    std::vector<std::string> texts;
    for (int n = 1; n <= 9; ++n) texts.push_back(field(n)->text().toStdString());
    return texts;
  }
  void edit(int n, const QString& text) {
    field(n)->clear();
    QTest::keyClicks(field(n), text);
  }

  Phrases buttons{"Way To Go!", "Good One!",         "Nice Try!",
                  "Excellent!", "Brilliant!",        "Wow, WTG!",
                  "Thanks!",    "Way To Go Teamie!", "Good Game Everyone!"};
  int doneCount = 0;
  Tphrases window;
};

std::vector<std::string> asVector(const Phrases& phrases) {
  return {phrases.begin(), phrases.end()};
}

TEST(TphrasesTest, ShowsTheButtonsPhrasesUnderTheirLabels) {
  PhraseWindow w;
  w.window.show();
  EXPECT_EQ(w.window.windowTitle(), "Zandu Pelix - Phrase Buttons ");
  EXPECT_EQ(w.shown(), asVector(w.buttons));
  std::vector<QString> captions;
  for (auto* label : w.window.findChildren<QLabel*>())
    if (label->buddy()) captions.push_back(label->text() + "=" + label->buddy()->objectName());
  EXPECT_EQ(captions.size(), 9u);
  EXPECT_EQ(captions.front(), "Phrase Button 1:=phrase1");
  EXPECT_EQ(captions.back(), "Phrase Button 9:=phrase9");
  EXPECT_TRUE(w.window.findChild<QLabel*>("label_note"));
  EXPECT_EQ(w.window.findChild<QLabel*>("label_note")->text(),
            "Buttons can only be used once every 2 seconds");
}

TEST(TphrasesTest, DoneHandsOverTheEditedTextsAndHides) {
  PhraseWindow w;
  w.window.show();
  w.edit(3, "Close one!");
  w.field(9)->clear();
  w.window.findChild<QPushButton*>("button_done")->click();
  EXPECT_FALSE(w.window.isVisible());
  EXPECT_EQ(w.doneCount, 1);
  EXPECT_EQ(w.buttons[2], "Close one!");
  EXPECT_EQ(w.buttons[8], "");  // an emptied field is handed over empty
  EXPECT_EQ(w.buttons[0], "Way To Go!");
  w.window.show();
  EXPECT_EQ(w.shown(), asVector(w.buttons));
}

TEST(TphrasesTest, ClosingAnyOtherWayDropsTheEdits) {
  const std::vector<std::pair<const char*, std::function<void(Tphrases&)>>> ways = {
      {"close button", [](Tphrases& window) { window.close(); }},
      {"Escape", [](Tphrases& window) { QTest::keyClick(&window, Qt::Key_Escape); }},
  };
  for (const auto& [what, close] : ways) {
    SCOPED_TRACE(what);
    PhraseWindow w;
    const Phrases before = w.buttons;
    for (int opening = 0; opening < 2; ++opening) {
      w.window.show();
      EXPECT_EQ(w.shown(), asVector(before));
      w.edit(1, "Never kept");
      close(w.window);
      EXPECT_FALSE(w.window.isVisible());
    }
    EXPECT_EQ(w.doneCount, 0);
    EXPECT_EQ(w.buttons, before);
  }
}

TEST(TphrasesTest, OpenWithFillsTheFieldsWithoutAHook) {
  Tphrases window;
  Phrases given;
  for (std::size_t i = 0; i < given.size(); ++i) given[i] = "phrase " + std::to_string(i + 1);
  window.openWith(given);
  window.show();
  EXPECT_EQ(window.texts(), given);
  // An opening that ended without Done is forgotten here as well.
  window.findChild<QLineEdit*>("phrase2")->setText("dropped");
  window.close();
  window.show();
  EXPECT_EQ(window.texts(), given);
}

TEST(TphrasesTest, TypingStopsAtFiftyCharacters) {
  PhraseWindow w;
  w.window.show();
  w.edit(4, QString(60, QLatin1Char('x')));
  EXPECT_EQ(w.field(4)->text(), QString(50, QLatin1Char('x')));
  // A longer phrase from the settings file is shown whole, but cannot grow.
  w.window.hide();
  w.buttons[4] = std::string(55, 'y');
  w.window.show();
  EXPECT_EQ(w.field(5)->text().size(), 55);
  w.field(5)->end(false);
  QTest::keyClicks(w.field(5), "zz");
  EXPECT_EQ(w.field(5)->text().toStdString(), std::string(55, 'y'));
}

}  // namespace
}  // namespace zp::windows
