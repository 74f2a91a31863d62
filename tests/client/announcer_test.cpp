// What a player who cannot see the board hears: the events' texts, and the order one voice
// says them in.
#include "client/announcer.h"

#include <gtest/gtest.h>

#include "client/table_questions.h"
#include "client_harness.h"
#include "net/catalogue.h"

namespace zp::client {
namespace {

using Texts = std::vector<std::string>;

// The speech output as a test sees it: what was started, what was stopped.
class RecordingVoice : public Voice {
 public:
  void say(const std::string& text, Urgency urgency) override {
    log.push_back("say " + text);
    urgencies.push_back(urgency);
  }
  void stop() override { log.push_back("stop"); }
  Texts said() const {
    Texts out;
    for (const auto& entry : log)
      if (entry.starts_with("say ")) out.push_back(entry.substr(4));
    return out;
  }
  Texts log;
  std::vector<Urgency> urgencies;
};

// One step of a queue script: an event, or "the voice finished" when text is empty.
using Step = Spoken;

struct QueueCase {
  const char* name;
  std::vector<Step> steps;
  Texts log;  // what the voice was asked, in order
};

TEST(Announcer, OneVoiceSaysEachEventOnceMostImportantFirst) {
  const Step done{};
  const QueueCase cases[] = {
      {"a free voice says at once, the rest wait in arrival order",
       {{"a", Priority::kTable},
        {"b", Priority::kTable},
        {"c", Priority::kTable},
        done,
        done,
        done},
       {"say a", "say b", "say c"}},
      {"waiting events go most important first",
       {{"a", Priority::kTable},
        {"chat", Priority::kChat},
        {"word", Priority::kWord},
        {"turn", Priority::kTurn},
        done,
        done,
        done},
       {"say a", "say turn", "say word", "say chat"}},
      {"a less important event never cuts off the current one",
       {{"winner", Priority::kUrgent},
        {"chat", Priority::kChat},
        {"word", Priority::kWord},
        done,
        done},
       {"say winner", "say word", "say chat"}},
      {"nor does an equally important one",
       {{"Ann: hi", Priority::kChat}, {"Bo: hello", Priority::kChat}, done},
       {"say Ann: hi", "say Bo: hello"}},
      {"the table's news stops a chat line, which is said again in full after it",
       {{"Ann: a long line", Priority::kChat}, {"Your turn.", Priority::kTurn}, done, done},
       {"say Ann: a long line", "stop", "say Your turn.", "say Ann: a long line"}},
      {"a word being said is finished before the turn",
       {{"TIRE", Priority::kWord}, {"Your turn.", Priority::kTurn}, done},
       {"say TIRE", "say Your turn."}},
      {"an answer comes first after the table's news being said; a newer one replaces it",
       {{"TIRE", Priority::kWord},
        {"Bo's turn.", Priority::kTable},
        said::answer("Your turn."),
        said::answer("Ann 42."),
        done,
        done,
        done},
       {"say TIRE", "say Ann 42.", "say Bo's turn."}},
      {"an answer stops a chat line, said again after it",
       {{"Bo: hi", Priority::kChat}, said::answer("Ann 42."), done, done},
       {"say Bo: hi", "stop", "say Ann 42.", "say Bo: hi"}},
      {"a newer answer ends the one being said",
       {said::answer("Rack: A."), said::answer("Rack: A, B."), done},
       {"say Rack: A.", "stop", "say Rack: A, B."}},
      {"the table's news ends an answer, which is not said again: the board has moved on",
       {said::answer("Rack: A, E."), {"AEON, 12 points.", Priority::kWord}, done},
       {"say Rack: A, E.", "stop", "say AEON, 12 points."}},
      {"an answer waiting behind the news is dropped by more news: the fall tells of the board",
       {{"AEON, 12 points.", Priority::kWord},
        said::answer("Showing the tiles fallen down."),
        said::fall(1),
        done,
        done},
       {"say AEON, 12 points.", "say Tiles fall down."}},
      {"a word ends the clock of its turn, said or waiting; the total waits for the fall",
       {said::secondsLeft(10),
        said::word(false, "Bo", "AX", 1),
        said::total(false, "Bo", 7),
        said::secondsLeft(30),
        said::word(true, "", "TIRE", 18),
        said::fall(4),
        done,
        done,
        done},
       {"say 10 seconds left.", "stop", "say Bo: AX, 1 point.", "say TIRE, 18 points.",
        "say Tiles fall right.", "say Bo has 7."}},
      {"a chat line waits for an answer",
       {said::answer("Ann 42."), {"Bo: hi", Priority::kChat}, done, done},
       {"say Ann 42.", "say Bo: hi"}},
      {"a newer clock replaces a waiting one; other kinds stay",
       {{"word", Priority::kWord},
        {"30 seconds left.", Priority::kUrgent, "clock"},
        {"Bo's turn.", Priority::kTable, "turn"},
        {"10 seconds left.", Priority::kUrgent, "clock"},
        {"Time is Up!", Priority::kUrgent, "clock"},
        done,
        done},
       {"say word", "say Time is Up!", "say Bo's turn."}},
  };
  for (const QueueCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingVoice voice;
    Announcer announcer;
    announcer.setVoice(&voice);
    announcer.setEnabled(true);
    for (const Step& step : c.steps) {
      if (step.text.empty())
        announcer.finished();
      else
        announcer.announce(step);
    }
    EXPECT_EQ(voice.log, c.log);
    EXPECT_TRUE(announcer.waiting().empty());
  }
}

TEST(Announcer, TheTablesNewsAndAnswersCutTheScreenReaderShortWhileChatWaitsItsTurn) {
  RecordingVoice voice;
  Announcer announcer;
  announcer.setVoice(&voice);
  announcer.setEnabled(true);
  const Spoken events[] = {said::chatter("Tobo the bot says: hi"),
                           said::chatLine("Bo chats: hi"),
                           said::arrived("Bo is Connected."),
                           said::othersTurn("Bo"),
                           said::notValid("RSF"),
                           said::yourTurn(),
                           said::timeUp(),
                           said::answer("Ann 42.")};
  for (const Spoken& event : events) {
    announcer.announce(event);
    announcer.finished();
  }
  EXPECT_EQ(voice.urgencies,
            (std::vector<Urgency>{Urgency::kInTurn, Urgency::kInTurn, Urgency::kAtOnce,
                                  Urgency::kAtOnce, Urgency::kAtOnce, Urgency::kAtOnce,
                                  Urgency::kAtOnce, Urgency::kAtOnce}));
}

TEST(Announcer, EventsThatArriveTogetherAreSaidMostImportantFirst) {
  RecordingVoice voice;
  Announcer announcer;
  announcer.setVoice(&voice);
  announcer.setEnabled(true);
  announcer.beginBatch();
  announcer.announce(said::word(false, "Bo", "TIRE", 18));
  announcer.announce(said::total(false, "Bo", 120));
  announcer.announce(said::winner(false, "Bo"));
  EXPECT_TRUE(voice.log.empty());
  announcer.endBatch();
  announcer.finished();
  // Said short, so that the word that won is heard within a second; the totals are moot.
  EXPECT_EQ(voice.said(), (Texts{"Bo wins!", "Bo: TIRE, 18 points."}));
  // A batch with nothing said leaves the voice as it was.
  announcer.finished();
  announcer.beginBatch();
  announcer.endBatch();
  EXPECT_EQ(voice.said().size(), 2u);
}

TEST(Announcer, ABacklogLosesItsLeastImportantAndOffIsSilent) {
  RecordingVoice voice;
  Announcer announcer;
  announcer.setVoice(&voice);
  announcer.announce({"before", Priority::kUrgent});
  EXPECT_TRUE(voice.log.empty());  // off until a screen reader or the player asks

  announcer.setEnabled(true);
  announcer.announce({"now", Priority::kWord});
  announcer.announce({"chatter 0", Priority::kChatter});
  for (int k = 0; k < 10; ++k) announcer.announce({"chat " + std::to_string(k), Priority::kChat});
  announcer.announce({"winner", Priority::kUrgent});
  ASSERT_EQ(announcer.waiting().size(), kMaxWaiting);
  EXPECT_EQ(announcer.waiting().front().text, "winner");
  // The chatter went first, then the oldest chat lines.
  EXPECT_EQ(announcer.waiting()[1].text, "chat 3");
  EXPECT_EQ(announcer.waiting().back().text, "chat 9");

  announcer.setEnabled(false);
  EXPECT_EQ(voice.log, (Texts{"say now", "stop"}));
  EXPECT_TRUE(announcer.waiting().empty());
  announcer.finished();
  EXPECT_EQ(voice.log.size(), 2u);
}

// ---- the events as a window hears them from its table

std::string noEnd(std::string bytes) {
  if (!bytes.empty() && bytes.back() == '\xFF') bytes.pop_back();
  return bytes;
}

struct Heard {
  testing::Window window;
  RecordingVoice voice;
  Heard() {
    window.login(1, "Ann");
    window.session.announcer().setVoice(&voice);
    window.session.screenReaderRunning(true);
  }
  // Delivers one message and returns what the voice said, the voice finishing each text.
  Texts after(const std::string& message) {
    voice.log.clear();
    window.receive({noEnd(message)});
    while (window.session.announcer().current()) window.session.announcer().finished();
    return voice.said();
  }
};

TEST(Announcer, EveryEventOfTheTableIsHeard) {
  using namespace net::to_players;
  Heard heard;
  const std::vector<board::Cell> tire = {{0, 0}, {0, 1}, {0, 2}, {0, 3}};
  struct EventCase {
    std::string message;
    Texts heard;
  };
  const EventCase cases[] = {
      {newplayerinfo({2, "Bo"}), {"Bo is Connected."}},
      {newplayerinfo({6, "Eve"}), {"Eve is spying."}},
      {chat({2, "Bo chats: hi there|clBlack"}), {"Bo chats: hi there"}},
      {chat({1, "Ann chats: mine|clBlack"}), {}},
      {startgame({"Ann", 100, 60, false, 1}), {}},
      {nextplayer({1, 1}), {"Your turn."}},
      {notvalid({1, "TIRX"}), {"TIRX is not a valid word."}},
      {notvalid({2, "BOXX"}), {}},
      {madeword({1, "TIRE", 18, 42, 0, 0, tire}), {"TIRE, 18 points.", "Your score 42."}},
      {moving({board::kLeft}), {"Tiles fall left."}},
      {nextplayer({2, 1}), {"Bo's turn."}},
      {madeword({2, "AX", 1, 7, 0, 0, {{1, 1}, {1, 2}}}), {"Bo: AX, 1 point.", "Bo has 7."}},
      {timeup(), {"Time is Up!"}},
      {playerdisconnected({6, "Eve"}), {"Eve has left."}},
      {playerdisconnected({2, "Bo"}), {"Bo disconnected."}},
      {winner({"Ann"}), {"You win!"}},
  };
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(heard.after(c.message), c.heard);
  }
}

TEST(Announcer, TheClockIsHeardAt30And10SecondsOfEveryTurn) {
  using namespace net::to_players;
  Heard heard;
  heard.after(newplayerinfo({2, "Bo"}));
  heard.after(startgame({"Ann", 100, 35, false, 1}));
  auto tick = [&](int seconds) {
    heard.voice.log.clear();
    for (int k = 0; k < seconds; ++k) heard.window.session.board().Timer2Timer();
    return heard.voice.said();
  };
  heard.after(nextplayer({1, 1}));
  EXPECT_EQ(tick(4), Texts{});
  EXPECT_EQ(tick(1), Texts{"30 seconds left."});
  heard.window.session.announcer().finished();
  EXPECT_EQ(tick(20), Texts{"10 seconds left."});
  heard.window.session.announcer().finished();
  heard.after(nextplayer({2, 1}));
  EXPECT_EQ(tick(5), Texts{"Bo has 30 seconds left."});
}

TEST(Announcer, TheComputersClockIsNotHeard) {
  using namespace net::to_players;
  Heard heard;
  heard.after(newplayerinfo({3, "Bo"}));
  heard.after(startgame({"Ann", 100, 35, false, 1}));
  auto tick = [&](int seconds) {
    heard.voice.log.clear();
    for (int k = 0; k < seconds; ++k) heard.window.session.board().Timer2Timer();
    return heard.voice.said();
  };
  EXPECT_EQ(heard.after(nextplayer({2, 1})), Texts{"Tobo's turn."});
  heard.window.session.announcer().finished();
  EXPECT_EQ(tick(30), Texts{});
  heard.after(nextplayer({3, 1}));
  heard.window.session.announcer().finished();
  EXPECT_EQ(tick(5), Texts{"Bo has 30 seconds left."});
}

TEST(Announcer, AnUnhurriedGameHasNoClockToHearOrAsk) {
  using namespace net::to_players;
  Heard heard;
  heard.after(newplayerinfo({2, "Bo"}));
  heard.after(startgame({"Ann", 100, zp::kUnhurriedSeconds, false, 1}));
  const board::BoardPlay& play = heard.window.session.board();
  EXPECT_EQ(play.view().timePerTurnCaption, "Time Per Turn: no limit");
  EXPECT_EQ(heard.after(nextplayer({1, 1})), Texts{"Your turn."});
  heard.voice.log.clear();
  for (int k = 0; k < 100; ++k) heard.window.session.board().Timer2Timer();
  EXPECT_TRUE(heard.voice.log.empty());
  EXPECT_EQ(play.view().timerLabel, "Time: no limit");
  EXPECT_EQ(whoseTurn(play, 1), "Your turn.");
  // The host's dialog starts it so.
  heard.window.session.setUnhurried(true);
  EXPECT_EQ(heard.window.session.turnSeconds(), zp::kUnhurriedSeconds);
  heard.window.shell.sent.clear();
  heard.window.session.gamestartStart();
  ASSERT_FALSE(heard.window.shell.sent.empty());
  EXPECT_EQ(heard.window.shell.sent.back(), "CMD_startgame+Ann+500+3600+f+1+");
}

TEST(Announcer, TobosChatterIsHeardUnlessTurnedOffAndNothingWithoutAReason) {
  using namespace net::to_players;
  Heard heard;
  heard.after(newplayerinfo({2, std::string(zp::kComputerName)}));
  // The bot answers a chat line now and then: enough lines bring one.
  auto chatterHeard = [&] {
    for (int k = 0; k < 200; ++k) {
      for (const auto& text : heard.after(chat({1, "Ann chats: hey|clBlack"})))
        if (text.starts_with(std::string("Tobo the bot says: "))) return true;
    }
    return false;
  };
  EXPECT_TRUE(chatterHeard());
  heard.window.session.SpeakChatter1Click();
  EXPECT_FALSE(chatterHeard());

  // No screen reader and Speak Events off: silent; the menu item turns it on.
  heard.window.session.screenReaderRunning(false);
  EXPECT_EQ(heard.after(chat({2, "Tobo chats: hi|clBlack"})), Texts{});
  heard.window.session.SpeakEvents1Click();
  EXPECT_TRUE(heard.window.session.settings().SpeakEvents);
  EXPECT_EQ(heard.after(chat({2, "Tobo chats: hi|clBlack"})), Texts{"Tobo chats: hi"});
}

TEST(Announcer, TheOneKeyQuestionsAnswerWhatTheBoardShows) {
  using namespace net::to_players;
  Heard heard;
  const board::BoardPlay& play = heard.window.session.board();
  EXPECT_EQ(whoseTurn(play, 1), "No game is on.");
  EXPECT_EQ(lastWords(play), "No words made yet.");
  heard.after(newplayerinfo({2, "Bo"}));
  heard.after(startgame({"Ann", 100, 60, false, 1}));
  net::TheBoard letters;
  for (int a = 0; a < 7; ++a)
    for (int b = 0; b < 7; ++b) letters.codes[board::cellIndex(a, b)] = 1 + (a + 7 * b) % 26;
  letters.codes[board::cellIndex(2, 0)] = 27;
  heard.after(theboard(letters));
  heard.after(nextplayer({2, 1}));
  heard.window.session.board().Timer2Timer();
  EXPECT_EQ(whoseTurn(play, 1), "Bo's turn, 59 seconds left.");
  heard.after(madeword({2, "AB", 4, 4, 0, 0, {{0, 0}, {1, 0}}}));
  heard.after(madeword({2, "HI", 3, 7, 0, 0, {{0, 1}, {1, 1}}}));
  EXPECT_EQ(whoseTurn(play, 1), "Between turns.");
  EXPECT_EQ(scores(play), "Ann 0, Bo 7.");
  EXPECT_EQ(lastWords(play), "Bo: HI for 3 points. Bo: AB for 4 points.");
  heard.after(theboard(letters));  // the table refills what the words took
  heard.after(nextplayer({1, 1}));
  EXPECT_EQ(whoseTurn(play, 1), "Your turn, 60 seconds left.");
  EXPECT_EQ(rack(play.model()), "The rack is empty.");
  heard.window.session.board().paintbox_boardMouseUp(false, 10, 10);
  heard.window.session.board().paintbox_boardMouseUp(false, 66, 10);
  EXPECT_EQ(rack(play.model()), "Rack: A, B.");
  EXPECT_EQ(boardRow(play.model(), 0), "Row 1: A, B, blank, D, E, F, G.");
  EXPECT_EQ(boardColumn(play.model(), 1), "Column 2: B, I, P, W, D, K, R.");
  EXPECT_EQ(boardRow(play.model(), 7), "");
}

}  // namespace
}  // namespace zp::client
