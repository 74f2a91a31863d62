// A whole short game against the real zandupelix-server program, with two scripted players
// that find their words on the board the server sends.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <array>
#include <memory>

#include "net/catalogue.h"
#include "net/dispatch.h"
#include "net/fields.h"
#include "tests/support/loopback_client.h"
#include "words/tdictn.h"

namespace zp::server::testing {
namespace {

using zp::testing::LoopbackClient;
using zp::testing::waitUntil;

using Grid = std::array<std::array<char, 7>, 7>;  // [a][b], lower-case letters

// Depth-first search for `word` through touching tiles, each tile once.
bool trace(const Grid& grid, const std::string& word, std::size_t at, int a, int b,
           std::vector<net::Cell>& path) {
  if (a < 0 || a > 6 || b < 0 || b > 6 || grid[a][b] != word[at]) return false;
  for (const auto& c : path)
    if (c.a == a && c.b == b) return false;
  path.push_back({a, b});
  if (at + 1 == word.size()) return true;
  for (int da = -1; da <= 1; ++da)
    for (int db = -1; db <= 1; ++db)
      if ((da || db) && trace(grid, word, at + 1, a + da, b + db, path)) return true;
  path.pop_back();
  return false;
}

// A player who plays the longest candidate word it can find, or shuffles.
class ScriptedPlayer : public LoopbackClient {
 public:
  ScriptedPlayer(quint16 port, std::string name) : LoopbackClient(port), name_(std::move(name)) {}

  // Handles what arrived since the last call.
  void play() {
    for (; handled_ < inbox.size(); ++handled_) {
      const std::string message = inbox[handled_];
      const net::SplitMessage split = net::splitMessage(message);
      net::FieldReader f(split.args);
      if (split.command == net::cmd::sendlogininfo) {
        me = *f.nextInt(1, 9);
        write(net::to_server::logininfo({me, std::string(zp::kGameVersion), name_}));
      } else if (split.command == net::cmd::theboard) {
        while (auto a = f.nextInt(0, 6)) {
          const int b = *f.nextInt(0, 6);
          grid[*a][b] = static_cast<char>('a' + *f.nextInt(1, 26) - 1);
        }
      } else if (split.command == net::cmd::nextplayer) {
        const int seat = *f.nextInt(1, 4);
        turns.push_back(seat);
        if (seat == me) takeTurn();
      } else if (split.command == net::cmd::madeword) {
        const int n = *f.nextInt(1, 4);
        f.next();
        const int points = *f.nextInt(0, 1 << 30);
        const int total = *f.nextInt(0, 1 << 30);
        sums[n] += points;
        EXPECT_EQ(total, sums[n]);
      } else if (split.command == net::cmd::selectletter) {
        ++relayedPicks;
      } else if (split.command == net::cmd::winner) {
        winner = std::string(*f.next());
      }
    }
  }

  int me = 0;
  Grid grid{};
  std::vector<int> turns;
  int sums[5] = {};
  int relayedPicks = 0;
  std::string winner;

 private:
  void takeTurn() {
    std::vector<net::Cell> best;
    for (const std::string& word : words::carriedCandidateWords()) {
      if (word.size() < 3 || word.size() <= best.size()) continue;
      for (int a = 0; a < 7; ++a) {
        for (int b = 0; b < 7; ++b) {
          std::vector<net::Cell> path;
          if (trace(grid, word, 0, a, b, path) && path.size() > best.size()) best = path;
        }
      }
    }
    if (best.empty()) {
      write(net::to_server::shuffle({me}));
      return;
    }
    for (std::size_t i = 0; i < best.size(); ++i)
      write(net::to_server::selectletter({me, static_cast<int>(i) + 1, best[i].a, best[i].b}));
    write(net::to_server::playerdone({me, best}));
  }

  std::string name_;
  std::size_t handled_ = 0;
};

TEST(ServerProgram, TwoScriptedPlayersPlayAWholeGameToAWinner) {
  QTemporaryDir dir;
  QProcess server;
  server.setWorkingDirectory(dir.path());
  server.start(ZANDUPELIX_SERVER, {"--port", "0", "--tick-ms", "10"});
  ASSERT_TRUE(server.waitForReadyRead(10000));
  const auto match = QRegularExpression("port (\\d+)").match(server.readLine());
  ASSERT_TRUE(match.hasMatch());
  const auto port = static_cast<quint16>(match.captured(1).toUInt());

  ScriptedPlayer ann(port, "Ann");
  ASSERT_TRUE(waitUntil([&] {
    ann.play();
    return ann.me == 1;
  }));
  ScriptedPlayer bo(port, "Bo");
  ASSERT_TRUE(waitUntil([&] {
    bo.play();
    ann.play();
    return ann.has("CMD_newplayerinfo+2+Bo");
  }));

  ann.write(net::to_server::startgame({"Ann", 150, 30, false, 5}));
  const bool ended = waitUntil(
      [&] {
        ann.play();
        bo.play();
        return !ann.winner.empty() && !bo.winner.empty();
      },
      60000);
  ASSERT_TRUE(ended) << "turns so far: " << ann.turns.size();
  EXPECT_EQ(ann.winner, bo.winner);
  EXPECT_TRUE(ann.winner == "Ann" || ann.winner == "Bo");
  const int winnerSeat = ann.winner == "Ann" ? 1 : 2;
  EXPECT_GE(ann.sums[winnerSeat], 150);
  EXPECT_GT(ann.sums[winnerSeat], ann.sums[3 - winnerSeat]);
  EXPECT_EQ(ann.turns, bo.turns);
  for (std::size_t i = 0; i < ann.turns.size(); ++i) EXPECT_EQ(ann.turns[i], i % 2 == 0 ? 1 : 2);
  EXPECT_EQ(ann.turns.back(), 2) << "a game ends with a full round";
  EXPECT_GT(ann.relayedPicks, 0);
  EXPECT_GT(bo.relayedPicks, 0);

  server.terminate();
  ASSERT_TRUE(server.waitForFinished(10000));
  EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.exitCode(), 0);
  EXPECT_FALSE(QFile::exists(dir.filePath("English"))) << "the word file is deleted at exit";
}

}  // namespace
}  // namespace zp::server::testing
