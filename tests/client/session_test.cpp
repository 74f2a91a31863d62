// The session's start-up, dispatch and roster, driven as the server would drive them.
#include "client/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/client/client_harness.h"
#include "tests/support/temp_dir.h"

namespace zp::client::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(StartUp, TheCommandLineDecidesSoloHostJoinOrNothing) {
  struct Case {
    std::vector<std::string> params;
    const char* line;
    int listens;
    Lines connected;
    int lobbyLinks;
    bool host;
    int launchers;
  };
  const Case cases[] = {
      {{}, "Loading Solo Game..Please wait.", 1, {"127.0.0.1"}, 0, true, 1},
      {{"Ann", "10.0.0.5", "true"},
       "Loading Multi-player Game.. Please Wait.",
       1,
       {"127.0.0.1"},
       1,
       true,
       0},
      {{"Ann", "10.0.0.5", "TRUE"},
       "Loading Multi-player Game.. Please Wait.",
       0,
       {"10.0.0.5"},
       1,
       false,
       0},
      {{"Ann", "10.0.0.5"}, "Loading Multi-player Game.. Please Wait.", 0, {}, 0, false, 0},
  };
  for (const Case& c : cases) {
    Window w;
    w.session.processparams(c.params);
    EXPECT_EQ(w.lastChat(), c.line);
    EXPECT_EQ(w.shell.listens, c.listens);
    EXPECT_EQ(w.shell.connected, c.connected);
    EXPECT_EQ(w.shell.lobbyLinks, c.lobbyLinks);
    EXPECT_EQ(w.session.isHost(), c.host);
    EXPECT_EQ(w.session.startGameEnabled(), c.host);
    EXPECT_EQ(w.session.board().view().startShown, c.host);
    EXPECT_EQ(w.shell.launchers, c.launchers);
  }
}

TEST(StartUp, ATableThatCannotListenStopsTheStartUp) {
  Window w;
  w.shell.listenError = "Listen - Error Binding Socket";
  w.session.processparams({"Ann", "10.0.0.5", "true"});
  EXPECT_EQ(w.shell.boxes, Lines{"Listen - Error Binding Socket"});
  EXPECT_TRUE(w.shell.connected.empty());
  EXPECT_EQ(w.shell.lobbyLinks, 0);
  EXPECT_FALSE(w.session.board().view().startShown);
}

TEST(StartUp, TheLoginAnswersWithNumberVersionAndName) {
  Window w;
  w.session.processparams({});
  w.session.wave12Click(3);  // nothing may be sent before the login
  EXPECT_TRUE(w.shell.sent.empty());
  w.receive({"CMD_sendlogininfo+2"});
  EXPECT_EQ(w.shell.sent, Lines{"CMD_logininfo+2+1.0.15+You"});
  EXPECT_EQ(w.session.own(), 2);
  EXPECT_TRUE(w.session.isLoggedIn());

  // A name as typed: "+" would split the fields, and the names' limit holds here too.
  Window typed;
  typed.session.processparams({"A+B\n" + std::string(40, 'x'), "10.0.0.5", "true"});
  typed.receive({"CMD_sendlogininfo+1"});
  EXPECT_EQ(typed.shell.sent, Lines{"CMD_logininfo+1+1.0.15+AB" + std::string(30, 'x')});
}

TEST(Connection, SocketClosedEndsTheProgramAndAFullTableSaysSoFirst) {
  Window w;
  w.session.sockInfo("Connecting");
  EXPECT_EQ(w.shell.windowsClosed, 0);
  w.session.sockInfo("Socket Closed");
  EXPECT_EQ(w.shell.windowsClosed, 1);

  // The table says its last and closes before the window's next tick: what it said is
  // handled, in order, before the window closes for the close.
  Window full;
  full.session.processparams({"Cy", "127.0.0.1", "false"});
  full.session.bytesReceived("CMD_full+\xFF");
  full.session.sockInfo("Socket Closed");
  EXPECT_EQ(full.shell.windowsClosed, 0);
  EXPECT_TRUE(full.session.dispatchBusy()) << "the window's timer must come to close it";
  full.pump();
  EXPECT_EQ(full.shell.boxes, Lines{"Game is full"});
  EXPECT_EQ(full.shell.windowsClosed, 1);

  Window removed;
  removed.login(3, "Cy");
  removed.session.bytesReceived(net::to_players::chat({1, "Ann chats: bye now|clNavy"}) +
                                net::to_players::chat({1, "Ann chats: and out|clNavy"}));
  removed.session.sockInfo("Socket Closed");
  EXPECT_EQ(removed.shell.windowsClosed, 0);
  removed.pump();
  EXPECT_EQ(removed.lastChat(), "Ann chats:  and out");
  EXPECT_EQ(removed.shell.windowsClosed, 1);
  EXPECT_FALSE(removed.session.dispatchBusy());
}

const std::string kSecret = "00112233445566778899aabbccddeeff";

// Ann at a table that gave her seat 2 its secret.
void seatedWithSecret(Window& w) {
  w.login(2, "Ann");
  w.receive({"CMD_rejointoken+2+" + kSecret + "+"});
}

TEST(Reconnect, OnlyADropFromATableThatGaveASecretIsTriedAgain) {
  struct Case {
    const char* what;
    bool secret;                          // the table handed the seat's secret
    std::function<void(Window&)> before;  // what happens before the close
    bool tries;
  };
  const Case cases[] = {
      {"a drop", true, [](Window&) {}, true},
      {"the table said goodbye", true,
       [](Window& w) { w.session.bytesReceived("CMD_goodbye+2+\xFF"); }, false},
      {"the window said goodbye", true, [](Window& w) { w.session.leaveTable(); }, false},
      {"a table that gives no secret", false, [](Window&) {}, false},
  };
  for (const Case& c : cases) {
    Window w;
    if (c.secret)
      seatedWithSecret(w);
    else
      w.login(2, "Ann");
    c.before(w);
    w.session.sockInfo("Socket Closed");
    w.pump();
    EXPECT_EQ(w.session.reconnecting(), c.tries) << c.what;
    EXPECT_EQ(w.shell.windowsClosed, c.tries ? 0 : 1) << c.what;
    EXPECT_EQ(w.shell.reconnectWaits.size(), c.tries ? 1u : 0u) << c.what;
  }
}

TEST(Reconnect, AttemptsBackOffAndStopAfterTheirTimeOrWhenThePlayerGivesUp) {
  using std::chrono::seconds;
  Window w;
  seatedWithSecret(w);
  w.session.input().keyDown();
  w.session.input().edit("half a sentence");
  w.session.sockInfo("Socket Closed");
  w.pump();
  EXPECT_EQ(w.lastChat(), "The connection to the table was lost. Reconnecting...");
  EXPECT_EQ(w.session.board().view().status, "Connection lost.");
  EXPECT_FALSE(w.session.isLoggedIn());
  // Typed while away, kept for when the window is back.
  w.session.sendit();
  EXPECT_EQ(w.session.input().text(), "half a sentence");
  const std::size_t sentBefore = w.shell.sent.size();
  std::vector<std::chrono::milliseconds> waits{w.shell.reconnectWaits.back()};
  while (w.session.reconnecting()) {
    w.now += waits.back();
    w.session.reconnectNow();
    EXPECT_EQ(w.shell.connected.back(), "10.0.0.5");
    EXPECT_EQ(w.shell.reconnectWaits.back(), kReconnectAttemptTime) << "each attempt has its time";
    w.session.connectionFailed(7772, "Connection refused");
    waits.push_back(w.shell.reconnectWaits.back());
  }
  waits.resize(6);
  EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{seconds(1), seconds(2), seconds(4),
                                                           seconds(8), seconds(8), seconds(8)}));
  EXPECT_GE(w.now - std::chrono::steady_clock::time_point{}, kReconnectFor);
  EXPECT_LT(w.now - std::chrono::steady_clock::time_point{}, kReconnectFor + seconds(9));
  EXPECT_EQ(w.lastChat(),
            "The table could not be reached again. Join it from the lobby when it is back.");
  EXPECT_EQ(w.shell.sent.size(), sentBefore) << "nothing is sent while off the table";
  EXPECT_EQ(w.shell.windowsClosed, 0) << "the window stays to be read";

  Window gaveUp;
  seatedWithSecret(gaveUp);
  gaveUp.session.sockInfo("Socket Closed");
  gaveUp.pump();
  gaveUp.session.reconnectNow();
  gaveUp.session.stopReconnecting();
  EXPECT_FALSE(gaveUp.session.reconnecting());
  EXPECT_EQ(gaveUp.shell.connectionsClosed, 1) << "the attempt under way ends";
  gaveUp.session.sockInfo("Socket Closed");
  gaveUp.session.reconnectNow();
  EXPECT_EQ(gaveUp.shell.connected.size(), 2u) << "the first connection and one attempt";
  EXPECT_EQ(gaveUp.shell.windowsClosed, 0);
}

TEST(Dispatch, ATickTakesWhatWaitsWithinItsBudgetAndUnreadableOnesAreDroppedQuietly) {
  Window w;
  w.login(1);
  const std::string burst =
      "CMD_newplayerinfo+3+Bo\xFF"
      "CMD_timeup\xFF\xFF"
      "CMD_nextplayer+x+1+\xFF"
      "CMD_theboard+0+0+1+\xFF"
      "CMD_unknown+1\xFF"
      "CMD_newplayerinfo+4+Cy\xFF";
  w.session.bytesReceived(burst);
  w.session.Timer1Timer();
  EXPECT_EQ(w.session.board().seat(4).name, "Cy") << "a tick within its budget takes them all";
  EXPECT_FALSE(w.session.messagesWaiting());
  // A broken message pops up nothing and changes nothing.
  EXPECT_TRUE(w.shell.boxes.empty());
  EXPECT_EQ(w.session.board().view().turnPlayer, 0);

  // Each message costing 3 ms of a 4 ms budget: a tick takes two, in order.
  FakeShell shell;
  records::TallyTable tally;
  int reads = 0;
  ClientSession timed(shell, tally, 1, [&] {
    return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(3 * reads++);
  });
  timed.processparams({"Ann", "10.0.0.5", "false"});
  timed.bytesReceived("CMD_sendlogininfo+1\xFF" + burst);
  timed.Timer1Timer();
  EXPECT_TRUE(timed.isLoggedIn());
  EXPECT_EQ(timed.board().seat(3).name, "Bo");
  EXPECT_EQ(timed.board().seat(4).name, "<Waiting>");
  int ticks = 1;
  for (; timed.messagesWaiting(); ++ticks) timed.Timer1Timer();
  EXPECT_EQ(timed.board().seat(4).name, "Cy");
  EXPECT_EQ(ticks, 4) << "eight messages, two a tick";
}

TEST(Dispatch, ABurstOfTenThousandIsTakenInOrderAndThePhraseLockKeepsItsTime) {
  Window w;
  w.login(1);
  w.session.b_phrase1Click(1);
  ASSERT_FALSE(w.session.phrases().open());
  std::string burst;
  for (int k = 0; k < 10000; ++k)
    burst += net::to_players::chat({2, "Bo chats: line " + std::to_string(k) + "|clNavy"});
  w.session.bytesReceived(burst);
  w.session.Timer1Timer();
  EXPECT_FALSE(w.session.messagesWaiting()) << "the clock stood still: one tick takes all";
  EXPECT_FALSE(w.session.phrases().open()) << "ten thousand messages are no time at all";
  const auto lines = w.chatTexts();
  ASSERT_GE(lines.size(), 1000u);
  for (std::size_t i = 0; i < 1000; ++i)
    EXPECT_EQ(lines[lines.size() - 1000 + i], "Bo chats:  line " + std::to_string(9000 + i));

  // The lock opens 101 steps of 16 ms after the phrase, whatever the ticks held.
  w.now += std::chrono::milliseconds(1615);
  w.session.Timer1Timer();
  EXPECT_FALSE(w.session.phrases().open());
  w.now += std::chrono::milliseconds(1);
  w.session.Timer1Timer();
  EXPECT_TRUE(w.session.phrases().open());
}

TEST(Dispatch, AServerFarAheadOfTheWindowIsCutOffWithAWord) {
  Window w;
  w.login(1);
  // Far more messages than any game sends between two ticks; none is dropped until the
  // window gives up on the server altogether.
  std::string flood;
  for (int i = 0; i < 100000; ++i) flood += "CMD_timeup+\xFF";
  for (int i = 0; i < 3 && w.shell.connectionsClosed == 0; ++i) w.session.bytesReceived(flood);
  EXPECT_EQ(w.shell.connectionsClosed, 1);
  EXPECT_EQ(w.lastChat(), std::string(kTooMuchFromServer));
  w.session.sockInfo("Socket Closed");
  EXPECT_EQ(w.shell.windowsClosed, 0) << "the window stays to show why";
}

TEST(Roster, ArrivalsDeparturesAndSpectators) {
  Window w;
  w.login(1);
  EXPECT_EQ(w.chatTexts()[1], "You are Connected.");
  w.shell.sounds.clear();
  w.receive({"CMD_newplayerinfo+3+Ann", "CMD_newplayerinfo+2+Bo", "CMD_newplayerinfo+7+Eve"});
  EXPECT_EQ(w.session.board().seat(3).name, "Ann");
  EXPECT_EQ(w.shell.sounds, (Lines{"entered", "entered", "entered"}));
  EXPECT_EQ(w.session.spies(), Lines{"7: Eve"});
  EXPECT_EQ(w.lastChat(), "Eve is spying.");

  w.receive({"CMD_playerdisconnected+2+Bo"});
  EXPECT_EQ(w.lastChat(), "Bo disconnected.");
  EXPECT_EQ(w.session.board().seat(2).name, "Tobo");
  w.receive({"CMD_playerdisconnected+3+Ann"});
  EXPECT_EQ(w.session.board().seat(3).name, "<Waiting>");
  const auto before = w.chatTexts().size();
  w.receive({"CMD_playerdisconnected+8+Eve"});  // not in the spy list: nothing
  EXPECT_EQ(w.chatTexts().size(), before);
  w.receive({"CMD_playerdisconnected+7+Eve"});
  EXPECT_EQ(w.lastChat(), "Eve has left.");
  EXPECT_TRUE(w.session.spies().empty());
}

TEST(Roster, DuringATeamGameTheComputerFollowsArrivalsAndDepartures) {
  Window w;
  w.login(1);
  w.receive({"CMD_newplayerinfo+1+Ann", "CMD_newplayerinfo+3+Cy"});
  w.session.bytesReceived(net::to_players::startgame({"Ann", 300, 60, true, 1}));
  w.session.Timer1Timer();
  const auto seats = [&w] {
    std::vector<std::string> names;
    for (int n = 1; n <= 4; ++n) names.push_back(w.session.board().seat(n).name);
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(seats(), (Names{"Ann", "Tobo", "Cy", "Tobo"})) << "Tobo plays across from Cy";
  w.receive({"CMD_playerdisconnected+3+Cy"});
  EXPECT_EQ(seats(), (Names{"Ann", "Tobo", "<Waiting>", "<Waiting>"}));
  w.receive({"CMD_newplayerinfo+4+Di"});
  EXPECT_EQ(seats(), (Names{"Ann", "Tobo", "Tobo", "Di"})) << "now across from Di";
  w.receive({"CMD_winner+Ann", "CMD_playerdisconnected+4+Di"});
  EXPECT_EQ(seats(), (Names{"Ann", "Tobo", "Tobo", "<Waiting>"}))
      << "after the game nobody takes a seat that is left; the next start sorts them";
}

TEST(Roster, NamesAreCutAndTheSpyListStaysBoundedUnderAFlood) {
  Window w;
  w.login(1);
  const std::string longName(8000, 'e');
  // As fast as the window's inbox takes them.
  for (int k = 0; k < 5000; ++k) {
    w.session.bytesReceived("CMD_newplayerinfo+" + std::to_string(5 + k % 5) + "+" + longName +
                            std::to_string(k) + "\xFF");
    if (k % 100 == 99) w.pump();
  }
  w.pump();
  ASSERT_EQ(w.shell.connectionsClosed, 0);
  EXPECT_EQ(w.session.spies().size(), kMaxSpies);
  for (const auto& spy : w.session.spies())
    EXPECT_EQ(spy.size(), 3 + kMaxNameLength) << spy.substr(0, 3);
  EXPECT_EQ(w.lastChat(), std::string(kMaxNameLength, 'e') + " is spying.");

  // Seats and the version warning take the cut name too; a cut never splits a character.
  std::string wide;
  for (int k = 0; k < 40; ++k) wide += "\xC3\xA9";
  w.receive({"CMD_newplayerinfo+3+" + wide, "CMD_havewrongversion+" + wide});
  std::string cut;
  for (std::size_t k = 0; k < kMaxNameLength; ++k) cut += "\xC3\xA9";
  EXPECT_EQ(w.session.board().seat(3).name, cut);
  EXPECT_EQ(w.lastChat(), cut + " has a different version of the game then you.");
}

TEST(Roster, ASpectatorIsToldItIsSpying) {
  Window w;
  w.login(6, "Bob");
  EXPECT_EQ(w.chatTexts()[1], "You are Connected.");
  EXPECT_EQ(w.lastChat(), "You are spying.");
  EXPECT_EQ(w.session.spies(), Lines{"6: Bob"});
  w.shell.sent.clear();
  w.session.JustWatch1Click();
  w.session.wave12Click(2);
  EXPECT_TRUE(w.shell.sent.empty()) << "spectators can neither watch nor send sounds";
}

TEST(Roster, JustWatchingWaitsForTheServer) {
  Window w;
  w.login(1);
  w.session.JustWatch1Click();
  EXPECT_EQ(w.shell.sent.back(), "CMD_justwatch+1+1");
  EXPECT_FALSE(w.session.justWatchChecked());
  w.receive({"CMD_justwatching+1+1"});
  EXPECT_TRUE(w.session.justWatchChecked());
  EXPECT_TRUE(w.session.board().seat(1).eyes);
  EXPECT_EQ(w.lastChat(), "Ann is just watching");
  w.session.JustWatch1Click();
  EXPECT_EQ(w.shell.sent.back(), "CMD_justwatch+1+2");
  w.receive({"CMD_justwatching+1+2"});
  EXPECT_FALSE(w.session.justWatchChecked());
  EXPECT_EQ(w.lastChat(), "Ann is now playing again");
}

TEST(Roster, OnlyTheHostsSeatMenuActs) {
  Window guest;
  guest.login(2, "Bo");
  const SeatMenu none = guest.session.label_playername1ContextPopup(1);
  EXPECT_FALSE(none.removeFromGame || none.setToJustWatch || none.unsetJustWatch);
  guest.session.RemoveFromGame1Click();
  EXPECT_EQ(guest.shell.sent.size(), 1u) << "only the login went out";

  Window host;
  host.session.processparams({"Ann", "x", "true"});
  host.receive({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann", "CMD_newplayerinfo+3+Cy"});
  EXPECT_FALSE(host.session.label_playername1ContextPopup(4).removeFromGame);  // <Waiting>
  EXPECT_FALSE(host.session.label_playername1ContextPopup(1).removeFromGame);  // its own
  const std::size_t sentBefore = host.shell.sent.size();
  host.session.RemoveFromGame1Click();
  EXPECT_EQ(host.shell.sent.size(), sentBefore) << "the host never removes itself";
  const SeatMenu menu = host.session.label_playername1ContextPopup(3);
  EXPECT_TRUE(menu.removeFromGame && menu.setToJustWatch && menu.unsetJustWatch);
  host.session.RemoveFromGame1Click();
  EXPECT_EQ(host.shell.sent.back(), "CMD_kickhim+1+3+");
  host.session.SettoJustWatch1Click();
  EXPECT_EQ(host.shell.sent.back(), "CMD_justwatch+3+1");
}

TEST(Host, AJoinerHostsWhenTheTableSaysSoAndStopsWhenItPassesOn) {
  Window bo;
  bo.login(2, "Bo");
  bo.receive({"CMD_existingplayers+1+Ann", "CMD_host+1+"});
  EXPECT_FALSE(bo.session.isHost());
  EXPECT_EQ(bo.lastChat(), "Ann is the host.");
  EXPECT_FALSE(bo.session.startGameEnabled());
  EXPECT_FALSE(bo.session.board().view().startShown);

  // Ann leaves: the table hands Bo the role, and his window follows.
  bo.receive({"CMD_playerdisconnected+1+Ann", "CMD_host+2+"});
  EXPECT_EQ(bo.lastChat(), "You are the host now, and you start the games.");
  EXPECT_TRUE(bo.session.isHost());
  EXPECT_TRUE(bo.session.startGameEnabled());
  EXPECT_TRUE(bo.session.spyRemoveEnabled());
  EXPECT_TRUE(bo.session.board().view().startShown);
  bo.receive({"CMD_newplayerinfo+3+Cy"});
  EXPECT_TRUE(bo.session.label_playername1ContextPopup(3).removeFromGame);
  // The host's start tells the table how the computer plays, then starts.
  bo.session.setComputer(ComputerStrength::Expert);
  bo.session.gamestartStart();
  const std::vector<std::string> last(bo.shell.sent.end() - 2, bo.shell.sent.end());
  EXPECT_EQ(last, (Lines{"CMD_computer+2+expert+", "CMD_startgame+Bo+500+60+f+1+"}));

  // The table gives the role to Cy: Bo's window no longer starts games.
  bo.receive({"CMD_host+3+"});
  EXPECT_EQ(bo.lastChat(), "Cy is the host now.");
  EXPECT_FALSE(bo.session.isHost());
  EXPECT_FALSE(bo.session.board().view().startShown);
  EXPECT_FALSE(bo.session.label_playername1ContextPopup(3).removeFromGame);

  // A window that opened its own table hosts whatever it hears, and says nothing of it.
  Window ann;
  ann.session.processparams({"Ann", "x", "true"});
  ann.receive({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann", "CMD_host+1+"});
  EXPECT_TRUE(ann.session.isHost());
  EXPECT_EQ(ann.lastChat(), "You are Connected.");
}

TEST(Order, IgnoringDropsAPlayersLinesActionsAndSoundsInThisWindowOnly) {
  Window w;
  w.login(1, "Ann");
  w.receive({"CMD_newplayerinfo+3+Bob", "CMD_newplayerinfo+6+Eve"});
  const SeatMenu own = w.session.playerMenu(1);
  EXPECT_FALSE(own.ignore) << "nobody ignores themselves";
  EXPECT_FALSE(w.session.playerMenu(4).ignore) << "an empty seat";
  ASSERT_TRUE(w.session.label_playername1ContextPopup(3).ignore);
  const std::size_t sent = w.shell.sent.size();
  w.session.IgnoreClick();
  EXPECT_EQ(w.shell.sent.size(), sent) << "the table and Bob are never told";
  EXPECT_TRUE(w.session.playerMenu(3).ignored);
  EXPECT_EQ(w.lastChat(),
            "You ignore Bob now; nothing Bob writes or sends reaches this window until you "
            "stop.");
  w.session.PlayChatterSounds1Click();
  w.shell.sounds.clear();
  const std::size_t lines = w.chatTexts().size();
  w.receive({"CMD_chat+3+Bob chats: spam|clBlack", "CMD_action+3+Bob waves|clBlack",
             "CMD_playasound+3+wave3+"});
  EXPECT_EQ(w.chatTexts().size(), lines);
  EXPECT_TRUE(w.shell.sounds.empty());
  // Eve, the table and Ann herself still reach the window.
  w.receive({"CMD_chat+6+Eve chats: hi|clBlack", "CMD_chat+0+From the table|clBlue",
             "CMD_chat+1+Ann chats: me|clBlack"});
  EXPECT_EQ(w.chatTexts().size(), lines + 3);
  // By name: Bob coming back in another record is still ignored; undoing it lets him in.
  w.receive({"CMD_playerdisconnected+3+Bob", "CMD_newplayerinfo+7+Bob",
             "CMD_chat+7+Bob chats: again|clBlack"});
  EXPECT_NE(w.lastChat(), "Bob chats:  again");
  w.session.ignore(7);
  EXPECT_EQ(w.lastChat(), "You no longer ignore Bob.");
  w.receive({"CMD_chat+7+Bob chats: back|clBlack"});
  EXPECT_EQ(w.lastChat(), "Bob chats:  back");
}

TEST(Order, TheHostMutesFromItsMenusAndEveryWindowSaysWhatTheTableDid) {
  Window host;
  host.session.processparams({"Ann", "x", "true"});
  host.receive({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann", "CMD_host+1+",
                "CMD_newplayerinfo+2+Bob", "CMD_newplayerinfo+6+Eve"});
  EXPECT_FALSE(host.session.playerMenu(1).mute) << "not itself";
  ASSERT_TRUE(host.session.label_playername1ContextPopup(2).mute);
  host.session.MuteClick(15);
  EXPECT_EQ(host.shell.sent.back(), "CMD_mute+1+2+15+");
  host.session.mute(6, 60);
  EXPECT_EQ(host.shell.sent.back(), "CMD_mute+1+6+60+");
  host.receive({"CMD_muted+2+900+"});
  EXPECT_EQ(host.lastChat(), "Bob is muted for 15 minutes.");
  EXPECT_TRUE(host.session.playerMenu(2).muted);
  host.session.mute(2, 0);
  EXPECT_EQ(host.shell.sent.back(), "CMD_mute+1+2+0+");
  host.receive({"CMD_muted+2+0+"});
  EXPECT_EQ(host.lastChat(), "Bob may chat again.");

  // The muted player's own window says so once, with the time it ends.
  Window bob;
  bob.login(2, "Bob");
  EXPECT_FALSE(bob.session.playerMenu(1).mute) << "only the host mutes";
  bob.session.mute(1, 5);
  EXPECT_EQ(bob.shell.sent.size(), 1u) << "only the login went out";
  bob.receive({"CMD_muted+2+299+"});
  EXPECT_EQ(
      bob.lastChat(),
      "The host has muted you for 5 minutes; until then nothing you write reaches the table.");
}

TEST(Chatter, ASoundPlaysOrIsShownAsALine) {
  Window w;
  w.login(1);
  w.receive({"CMD_newplayerinfo+2+Ann"});
  ASSERT_FALSE(w.session.settings().ChatterSounds) << "off until the settings say otherwise";
  w.receive({"CMD_playasound+2+wave7+"});
  // The blank after the head is the line's own, as every chat line shows it.
  EXPECT_EQ(w.lastChat(), "Ann:  <Chatter Sound> Sneezing");
  w.session.PlayChatterSounds1Click();
  w.session.PlaySounds1Click();  // event sounds off: chatter sounds still play
  w.shell.sounds.clear();
  w.receive({"CMD_playasound+2+WAVE7+", "CMD_playasound+2+wave99+", "CMD_newplayerinfo+3+Cy"});
  EXPECT_EQ(w.shell.sounds, (Lines{"wave7", "alert"})) << "a name that is no sound: the alert";
  w.session.wave12Click(0);  // <Cancel>
  w.session.wave12Click(13);
  EXPECT_EQ(w.shell.sent.back(), "CMD_playasound+1+wave13+");
}

TEST(Settings, ReadAtTheOwnLoginAndWrittenOnlyAfterwards) {
  const zp::testing::TempDir dir;
  const auto file = dir / "qelmlobby.ini";
  zp::testing::Put(file,
                   "[ZanduPelix]\r\nTextsize=12\r\nTextcolor=clnavy\r\nPhrase3=Oops!\r\n"
                   "ChatterSounds=true\r\nLeft=40\r\n");
  Window w;
  w.shell.bounds = {40, 3, 792, 580};  // where the window goes: its minimum width is 792
  w.session.useSettingsFile(SettingsFile(ProfileFile(file)));
  w.session.processparams({"Ann", "x", "false"});
  w.session.PostWordsinChatBox1Click();  // before the login: memory only
  w.session.FormClose({1, 2, 3, 4}, 1920, 1080);
  w.receive({"CMD_sendlogininfo+1", "CMD_newplayerinfo+1+Ann"});
  EXPECT_EQ(w.shell.settingsReads, 1);
  EXPECT_EQ(w.session.chatColour(), clNavy);
  EXPECT_EQ(w.session.chat().styles()[0].size, 12);
  EXPECT_EQ(w.session.phrases().phrase(3), "Oops!");
  EXPECT_TRUE(w.session.settings().ChatterSounds);
  EXPECT_FALSE(w.session.settings().Postwordsinchatbox) << "the stored value wins";

  // Closing where the settings put the window writes nothing; a maximised one is stored
  // 15 smaller.
  const auto written = std::filesystem::last_write_time(file);
  w.session.FormClose({40, 3, 792, 580}, 1920, 1080);
  EXPECT_EQ(std::filesystem::last_write_time(file), written);
  w.session.FormClose({0, 0, 1930, 1090}, 1920, 1080);
  const std::string text = zp::testing::Slurp(file);
  EXPECT_NE(text.find("Width=1915\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Height=1075\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Textcolor=clNavy\r\n"), std::string::npos) << text;
}

TEST(Settings, EveryMenuSwitchIsInTheFileRightAfterItIsSwitched) {
  struct Case {
    const char* key;
    std::function<void(ClientSession&)> switchIt;
    const char* stored;
  };
  const std::vector<Case> cases = {
      {"Playsounds", [](ClientSession& s) { s.PlaySounds1Click(); }, "false"},
      {"ChatterSounds", [](ClientSession& s) { s.PlayChatterSounds1Click(); }, "false"},
      {"Postwordsinchatbox", [](ClientSession& s) { s.PostWordsinChatBox1Click(); }, "true"},
      {"Turnsound", [](ClientSession& s) { s.setTurnSound(board::TurnSound::New); }, "1"},
      {"Tiles", [](ClientSession& s) { s.setTiles("contrast"); }, "contrast"},
      {"Textsize", [](ClientSession& s) { s.textSize(14); }, "14"},
      {"Textcolor", [](ClientSession& s) { s.textColor(clNavy); }, "clNavy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const zp::testing::TempDir dir;
    const ProfileFile file(dir / "qelmlobby.ini");
    zp::testing::Put(file.Path(), "[ZanduPelix]\r\n");
    Window w;
    w.session.useSettingsFile(SettingsFile(file));
    w.login(1);
    ASSERT_EQ(file.ReadString("ZanduPelix", c.key, "<none>"), "<none>");
    c.switchIt(w.session);
    EXPECT_EQ(file.ReadString("ZanduPelix", c.key, "<none>"), c.stored);
  }
}

TEST(GameStart, TheDialogsFieldsStayInRangeAndStartSendsThem) {
  Window w;
  w.login(1);
  w.session.gameStartArrow(ClientSession::StartField::kPlayTo, false);
  for (int i = 0; i < 30; ++i) w.session.gameStartArrow(ClientSession::StartField::kSeconds, true);
  w.session.setTeamGame(true);
  w.session.gamestartStart();
  EXPECT_EQ(w.shell.sent.back(), "CMD_startgame+Ann+450+120+t+1+");
}

}  // namespace
}  // namespace zp::client::testing
