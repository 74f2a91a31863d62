// The chat view with a full history: a plain line, and a line whose player changed colour,
// which recolours that player's earlier lines.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QThread>

#include "gui/chat_view.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
