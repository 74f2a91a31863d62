#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "client/session.h"
#include "records/tally_table.h"

namespace zp::client::testing {

// Everything the session asked of its window, kept for the test to look at.
class FakeShell : public ClientShell {
 public:
  std::optional<std::string> listen() override {
    ++listens;
    return listenError;
  }
  void connect(std::string_view address) override { connected.emplace_back(address); }
  void openLobbyLink() override { ++lobbyLinks; }
  void showLauncher() override { ++launchers; }
  void send(std::string_view bytes) override {
    std::string text(bytes);
    while (!text.empty() && text.back() == '\xFF') text.pop_back();
    sent.push_back(text);
  }
  void closeConnection() override { ++connectionsClosed; }
  void reconnectIn(std::chrono::milliseconds delay) override { reconnectWaits.push_back(delay); }
  void play(std::string_view sound) override { sounds.emplace_back(sound); }
  void messageBox(std::string_view text) override { boxes.emplace_back(text); }
  void closeWindow() override { ++windowsClosed; }
  void showGameStart() override { ++gameStarts; }
  void settingsRead() override { ++settingsReads; }
  Bounds windowBounds() const override { return bounds; }

  std::optional<std::string> listenError;
  int listens = 0;
  std::vector<std::string> connected;
  int lobbyLinks = 0;
  int launchers = 0;
  std::vector<std::string> sent;  // without terminators
  int connectionsClosed = 0;
  std::vector<std::chrono::milliseconds> reconnectWaits;
  std::vector<std::string> sounds;
  std::vector<std::string> boxes;
  int windowsClosed = 0;
  int gameStarts = 0;
  int settingsReads = 0;
  Bounds bounds;
};

// A session with its fake window: messages from the server go in whole and are handled.
struct Window {
  // The session's clock stands still unless a test or a tick of pump() moves it.
  explicit Window(std::uint64_t seed = 1) : session(shell, tally, seed, [this] { return now; }) {}

  // Delivers messages (terminators added) and dispatches all of them.
  void receive(std::initializer_list<std::string_view> messages) {
    for (std::string_view m : messages) session.bytesReceived(std::string(m) + '\xFF');
    pump();
  }
  // Ticks as the window's timer does, 16 ms apart, until nothing is left to do.
  void pump() {
    while (session.dispatchBusy()) {
      session.Timer1Timer();
      now += std::chrono::milliseconds(16);
    }
  }
  // Logged in as `n` with the name `name` (and so connected).
  void login(int n, const std::string& name = "Ann") {
    session.processparams({name, "10.0.0.5", "false"});
    receive({"CMD_sendlogininfo+" + std::to_string(n)});
    receive({"CMD_newplayerinfo+" + std::to_string(n) + "+" + name});
  }
  std::vector<std::string> chatTexts() const {
    std::vector<std::string> out;
    for (const auto& p : session.chat().paragraphs()) {
      std::string line;
      for (const auto& run : p.runs) line += run.text;
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out.push_back(line);
    }
    return out;
  }
  std::string lastChat() const {
    const auto lines = chatTexts();
    return lines.empty() ? std::string() : lines.back();
  }

  std::chrono::steady_clock::time_point now{};
  FakeShell shell;
  records::TallyTable tally;
  ClientSession session;
};

}  // namespace zp::client::testing
