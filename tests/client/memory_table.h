#pragma once

// A whole table in memory: the real TableServer and any number of player windows
// (ClientSessions), joined by an in-memory transport, with time passing only when the
// caller says so. Used by the whole-game test and its benchmark.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "client/session.h"
#include "records/tally_table.h"
#include "server/table_server.h"

namespace zp::client::testing {

// Every word is a word: the game is about the windows, not the dictionary.
class AnyWord : public words::WordChecker {
 public:
  bool checkword(std::string_view) override { return true; }
};

class MemoryTable;

// One player's window: its shell sends to the table, the table's sends come back here.
class MemoryWindow : public ClientShell {
 public:
  MemoryWindow(MemoryTable& table, std::uint64_t seed)
      : table_(table), session(*this, tally, seed) {}

  std::optional<std::string> listen() override { return std::nullopt; }
  void connect(std::string_view) override;
  void openLobbyLink() override {}
  void showLauncher() override {}
  void send(std::string_view bytes) override;
  void closeConnection() override;
  void reconnectIn(std::chrono::milliseconds delay) override { reconnectWaits.push_back(delay); }
  void play(std::string_view sound) override { sounds.emplace_back(sound); }
  void messageBox(std::string_view text) override { boxes.emplace_back(text); }
  void closeWindow() override { closed = true; }
  void showGameStart() override {}
  void settingsRead() override {}
  Bounds windowBounds() const override { return {}; }

  // The board as the window holds it, in the server's codes (27 for an empty cell).
  board::Letters lettersAsServer() const {
    board::Letters out = session.board().model().letters();
    for (int& code : out)
      if (code == 0) code = zp::kEmptyCode;
    return out;
  }
  // Clicks a cell of the board.
  void click(board::Cell c, bool right = false) {
    session.board().paintbox_boardMouseUp(right, 56 * c.a + 28, 56 * c.b + 28);
  }

  int record = 0;
  std::vector<std::chrono::milliseconds> reconnectWaits;
  std::vector<std::string> sounds;
  std::vector<std::string> boxes;
  bool closed = false;
  records::TallyTable tally;

 private:
  MemoryTable& table_;

 public:
  ClientSession session;
};

class MemoryTable : public server::ServerShell {
 public:
  explicit MemoryTable(std::uint64_t seed = 7) : server(*this, words_, candidates_, seed) {}

  // A window started with `params` (its command line); it connects at once.
  MemoryWindow& open(const std::vector<std::string>& params) {
    windows_.push_back(std::make_unique<MemoryWindow>(*this, 100 + windows_.size()));
    MemoryWindow& w = *windows_.back();
    w.session.processparams(params);
    pump();
    return w;
  }

  // Hands every waiting message on until nothing moves: the table's queue, then each
  // window's, one message per tick as the timers would.
  void pump() {
    for (bool moved = true; moved;) {
      moved = false;
      while (server.hasWaitingMessages()) {
        server.socktimerTimer();
        moved = true;
      }
      for (auto& w : windows_) {
        while (w->session.dispatchBusy()) {
          w->session.Timer1Timer();
          moved = true;
        }
      }
    }
  }
  // One second: the table's timers, then every window's turn clock.
  void second() {
    if (running_.count(server::ServerTimer::Timer1)) server.Timer1Timer();
    pump();
    if (running_.count(server::ServerTimer::computertimer)) server.computertimerTimer();
    pump();
    for (auto& w : windows_) w->session.board().Timer2Timer();
  }

  // ServerShell
  void send(int record, std::string_view message) override {
    if (auto it = byRecord_.find(record); it != byRecord_.end())
      it->second->session.bytesReceived(message);
  }
  void close(int record) override { detach(record); }
  void moveConnection(int from, int to) override {
    if (auto it = byRecord_.find(from); it != byRecord_.end()) {
      MemoryWindow* w = it->second;
      byRecord_.erase(it);
      w->record = to;
      byRecord_[to] = w;
    }
  }
  void startTimer(server::ServerTimer timer) override { running_.insert(timer); }
  void stopTimer(server::ServerTimer timer) override { running_.erase(timer); }
  void tellHost(std::string_view) override {}

  void attach(MemoryWindow& w) {
    w.record = server.chooseRecord();
    byRecord_[w.record] = &w;
    server.connectionAccepted(w.record);
  }
  void detach(int record) {
    if (auto it = byRecord_.find(record); it != byRecord_.end()) {
      it->second->session.sockInfo(kSocketClosed);
      byRecord_.erase(it);
    }
  }
  // The connection drops under the window: the table sees it end without a goodbye.
  void drop(MemoryWindow& w) {
    server.connectionClosed(w.record);
    detach(w.record);
    pump();
  }
  bool running(server::ServerTimer timer) const { return running_.count(timer) > 0; }

 private:
  AnyWord words_;
  std::vector<std::string> candidates_;
  std::map<int, MemoryWindow*> byRecord_;
  std::set<server::ServerTimer> running_;
  std::vector<std::unique_ptr<MemoryWindow>> windows_;

 public:
  server::TableServer server;
};

inline void MemoryWindow::connect(std::string_view) {
  table_.attach(*this);
}
inline void MemoryWindow::send(std::string_view bytes) {
  table_.server.bytesReceived(record, bytes);
}
inline void MemoryWindow::closeConnection() {
  table_.server.connectionClosed(record);
  table_.detach(record);
}

}  // namespace zp::client::testing
