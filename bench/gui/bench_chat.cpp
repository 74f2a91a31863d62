// The chat view with a full history: a plain line, a line whose player changed colour (which
// recolours that player's earlier lines) and a line of 1,630 smileys, the most one message
// holds. And a window's catch-up after a burst of small chat lines: the session's dispatch
// ticks as the window runs them, with the chat view drawing every line.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QThread>

#include <chrono>
#include <optional>

#include "client/session.h"
#include "gui/chat_view.h"
#include "records/tally_table.h"

namespace {

using namespace zp::client;

void fill(ChatModel& chat) {
  for (int i = 0; i < 2000; ++i)
    chat.chatrecieved(1 + i % 4, "Ann chats: a line of chat with a few words " + std::to_string(i),
                      "clNavy");
}

void BM_ChatLineSameColour(benchmark::State& state) {
  ChatModel chat;
  ChatView view(chat);
  fill(chat);
  for (auto _ : state) chat.chatrecieved(1, "Ann chats: one more line", "clNavy");
}
BENCHMARK(BM_ChatLineSameColour)->Unit(benchmark::kMicrosecond);

// One second of a player who changes colour on every line, one line per dispatch tick
// (16 ms), with the window's event loop running between lines. The CPU time per iteration
// is the share of a core that player costs the window.
void BM_ChatColourChangingPlayerOneSecond(benchmark::State& state) {
  ChatModel chat;
  ChatView view(chat);
  fill(chat);
  bool red = false;
  for (auto _ : state) {
    for (int tick = 0; tick < 62; ++tick) {
      red = !red;
      chat.chatrecieved(1, "Ann chats: one more line", red ? "clRed" : "clNavy");
      QCoreApplication::processEvents();
      QThread::msleep(16);
      QCoreApplication::processEvents();
    }
  }
}
BENCHMARK(BM_ChatColourChangingPlayerOneSecond)->Unit(benchmark::kMillisecond)->Iterations(3);

// One message of a player who fills it with smileys, as a window receives it, drawn and
// painted in a window of the game's size.
void BM_ChatLineOfSmileys(benchmark::State& state) {
  ChatModel chat;
  ChatView view(chat);
  view.resize(560, 300);
  view.show();
  std::string line = "Ann chats: ";
  for (int k = 0; k < state.range(0); ++k) line += ":)#10";
  for (auto _ : state) {
    chat.chatrecieved(1, line, "clNavy");
    view.viewport()->repaint();
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_ChatLineOfSmileys)->Arg(100)->Arg(400)->Arg(1630)->Unit(benchmark::kMillisecond);

class QuietShell : public ClientShell {
 public:
  std::optional<std::string> listen() override { return std::nullopt; }
  void connect(std::string_view) override {}
  void openLobbyLink() override {}
  void showLauncher() override {}
  void send(std::string_view) override {}
  void closeConnection() override {}
  void reconnectIn(std::chrono::milliseconds) override {}
  void play(std::string_view) override {}
  void messageBox(std::string_view) override {}
  void closeWindow() override {}
  void showGameStart() override {}
  void settingsRead() override {}
  Bounds windowBounds() const override { return {}; }
};

// From a burst of `range(0)` chat lines arriving at once to the window's having shown the
// last one: ticks of the dispatch, each followed by the event loop (drawing, input), the next
// one at once while messages wait, as the window's timer runs them. The counter "ticks" says
// how many ticks it took.
void BM_CatchUpAfterBurst(benchmark::State& state) {
  QuietShell shell;
  zp::records::TallyTable tally;
  std::string burst;
  for (int k = 0; k < state.range(0); ++k)
    burst +=
        zp::net::to_players::chat({2, "Bo chats: line number " + std::to_string(k) + "|clNavy"});
  double ticks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClientSession session(shell, tally, 1);
    std::optional<ChatView> view;
    if (state.range(1) != 0) {
      view.emplace(session.chat());
      view->resize(560, 300);
      view->show();
    }
    session.processparams({"Ann", "10.0.0.5", "false"});
    session.bytesReceived("CMD_sendlogininfo+1\xFF");
    session.Timer1Timer();
    QCoreApplication::processEvents();
    state.ResumeTiming();
    session.bytesReceived(burst);
    while (session.messagesWaiting()) {
      session.Timer1Timer();
      QCoreApplication::processEvents();
      ++ticks;
    }
    if (view) view->viewport()->repaint();
  }
  state.counters["ticks"] = benchmark::Counter(ticks, benchmark::Counter::kAvgIterations);
}
// The second argument 0 leaves the view out: the session and the chat's model alone.
BENCHMARK(BM_CatchUpAfterBurst)
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
