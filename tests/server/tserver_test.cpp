// TServer over real loopback TCP, on a free port.
#include "server/TServer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "net/catalogue.h"
#include "tests/support/loopback_client.h"

namespace zp::server::testing {
namespace {

using zp::testing::LoopbackClient;
using zp::testing::waitUntil;

class Loopback : public ::testing::Test {
 protected:
  Loopback() { serve(kRelayTickMs); }
  // A new table in place of the one running.
  void serve(int relayTickMs) {
    server.reset();
    TServer::Options options;
    options.dictionaryFile = (dir.path() + "/English").toStdString();
    options.seed = 7;
    options.relayTickMs = relayTickMs;
    server = std::make_unique<TServer>(options);
    EXPECT_TRUE(server->listen(0));
  }
  std::unique_ptr<LoopbackClient> client() {
    return std::make_unique<LoopbackClient>(server->port());
  }
  // A player who has logged in as record n; the table relays nothing before that.
  std::unique_ptr<LoopbackClient> player(int n, const std::string& name) {
    auto p = client();
    EXPECT_TRUE(p->waitFor("CMD_sendlogininfo+" + std::to_string(n)));
    p->write(net::to_server::logininfo({n, "1.0.15", name}));
    EXPECT_TRUE(p->waitFor("CMD_newplayerinfo+" + std::to_string(n) + "+" + name));
    return p;
  }
  QTemporaryDir dir;
  std::unique_ptr<TServer> server;
};

TEST_F(Loopback, TenSocketsTheTenthIsToldTheTableIsFullAndClosed) {
  std::vector<std::unique_ptr<LoopbackClient>> players;
  for (int n = 1; n <= 9; ++n) {
    players.push_back(client());
    ASSERT_TRUE(players.back()->waitFor("CMD_sendlogininfo+" + std::to_string(n)));
    players.back()->write(net::to_server::logininfo({n, "1.0.15", "P"}));
  }
  auto tenth = client();
  ASSERT_TRUE(tenth->waitFor("CMD_full+"));
  // Held for a question about the table only for the few seconds of the wait.
  EXPECT_TRUE(waitUntil([&] { return tenth->closed; }, (kGreetingTicks + 3) * 1000));
  for (const auto& p : players) EXPECT_FALSE(p->closed);
  // The nine are still served.
  players[8]->write(net::to_server::chat({9, "still here"}));
  EXPECT_TRUE(players[0]->waitFor("CMD_chat+9+P chats: still here"));
}

// As a lobby asks: the question goes out with the connection, before the table's greeting.
TEST_F(Loopback, ATableAsksWhatItHoldsIsAnsweredAndClosed) {
  auto ann = client();
  ASSERT_TRUE(ann->waitFor("CMD_sendlogininfo+1"));
  ann->write(net::to_server::logininfo({1, "1.0.15", "Ann"}));
  ASSERT_TRUE(ann->waitFor("CMD_newplayerinfo+1+Ann"));
  auto lobby = client();
  ASSERT_TRUE(lobby->socket.waitForConnected(5000));
  lobby->write(net::to_server::tableinfo());
  EXPECT_TRUE(lobby->waitFor("CMD_tableinfo+Ann+1.0.15+waiting+0+0+0+Ann++++classic+"));
  EXPECT_TRUE(waitUntil([&] { return lobby->closed; }));
  EXPECT_EQ(lobby->inbox.front(), "CMD_sendlogininfo+2");
  EXPECT_EQ(server->table().tableInfo().seats[1], "") << "the asker never took the seat";
  auto bo = client();
  EXPECT_TRUE(bo->waitFor("CMD_sendlogininfo+2"));
  EXPECT_FALSE(ann->has("CMD_playerdisconnected+2+"));
}

TEST_F(Loopback, AMessageSplitAcrossTwoWritesStillArrives) {
  auto ann = client();
  ASSERT_TRUE(ann->waitFor("CMD_sendlogininfo+1"));
  const std::string login = net::to_server::logininfo({1, "1.0.15", "Ann"});
  ann->write(login.substr(0, 9));
  waitUntil([] { return false; }, 50);
  ann->write(login.substr(9));
  EXPECT_TRUE(ann->waitFor("CMD_newplayerinfo+1+Ann"));
}

TEST_F(Loopback, TwoMessagesInOneWriteArriveAsTwo) {
  auto ann = player(1, "Ann");
  ann->write(net::to_server::chat({1, "one"}) + net::to_server::chat({1, "two+three"}));
  EXPECT_TRUE(ann->waitFor("CMD_chat+1+Ann chats: two+three"));
  EXPECT_TRUE(ann->has("CMD_chat+1+Ann chats: one"));
}

TEST_F(Loopback, AKickedPlayerIsClosedAndTheOthersAreTold) {
  auto ann = player(1, "Ann");
  auto bo = player(2, "Bo");
  ASSERT_TRUE(ann->waitFor("CMD_newplayerinfo+2+Bo"));
  ann->write(net::to_server::kickhim({1, 2}));
  EXPECT_TRUE(waitUntil([&] { return bo->closed; }));
  EXPECT_TRUE(ann->waitFor("CMD_playerdisconnected+2+Bo"));
  // The freed record goes to the next comer.
  auto cy = client();
  EXPECT_TRUE(cy->waitFor("CMD_sendlogininfo+2"));
}

TEST_F(Loopback, AFloodingPeerDoesNotStopTheOthers) {
  auto ann = player(1, "Ann");
  auto flooder = client();
  ASSERT_TRUE(flooder->waitFor("CMD_sendlogininfo+2"));
  const std::string garbage(1 << 20, 'g');
  std::string spam;
  for (int i = 0; i < 20000; ++i) spam += net::to_server::chat({2, "spam"});
  for (int i = 0; i < 4; ++i) flooder->write(garbage);
  flooder->write(spam);
  ann->write(net::to_server::chat({1, "still here"}));
  EXPECT_TRUE(ann->waitFor("CMD_chat+1+Ann chats: still here", 10000));
  EXPECT_LE(server->table().pendingBytes(2), net::kMaxMessageBytes);
  EXPECT_LE(server->table().waitingMessages(2), 32u);
}

TEST_F(Loopback, ChatBeyondTheAllowanceIsCutAndFlowsAgainAfterAQuietMoment) {
  auto ann = client();
  ASSERT_TRUE(ann->waitFor("CMD_sendlogininfo+1"));
  ann->write(net::to_server::logininfo({1, "1.0.15", "Ann"}));
  std::string burst;
  for (int i = 0; i < 3 * kRelayBurst; ++i) burst += net::to_server::chat({1, "x"});
  ann->write(burst);
  ASSERT_TRUE(ann->waitFor("CMD_chat+0+" + std::string(kTooFast)));
  const auto relayed = [&] {
    return std::count(ann->inbox.begin(), ann->inbox.end(), "CMD_chat+1+Ann chats: x");
  };
  EXPECT_LT(relayed(), 3 * kRelayBurst);
  // The table's own clock gives the allowance back.
  waitUntil([] { return false; }, 2 * 1000);
  ann->write(net::to_server::chat({1, "again"}));
  EXPECT_TRUE(ann->waitFor("CMD_chat+1+Ann chats: again"));
}

TEST_F(Loopback, APeerThatStopsReadingIsLetGo) {
  // Ann may talk as fast as the table reads, so the sleeper's buffers fill within the time.
  serve(/*relayTickMs=*/1);
  auto ann = client();
  auto sleeper = std::make_unique<LoopbackClient>(server->port(), /*readBuffer=*/1024);
  ASSERT_TRUE(
      waitUntil([&] { return sleeper->socket.state() == QAbstractSocket::ConnectedState; }));
  ASSERT_TRUE(ann->waitFor("CMD_sendlogininfo+1"));
  ann->write(net::to_server::logininfo({1, "1.0.15", "Ann"}));
  sleeper->write(net::to_server::logininfo({2, "1.0.15", "Sleeper"}));
  ASSERT_TRUE(ann->waitFor("CMD_newplayerinfo+2+Sleeper"));
  const std::string line = net::to_server::chat({1, std::string(7000, 'z')});
  // Ann keeps talking; everything goes to the sleeper too, who never reads. Its network may
  // only be stalled: the seat is held as for any dropped connection.
  const bool letGo = waitUntil(
      [&] {
        if (ann->has("CMD_away+2+90+")) return true;
        if (server->table().waitingMessages(1) < 8) ann->write(line);
        return false;
      },
      60000);
  EXPECT_TRUE(letGo);
  EXPECT_FALSE(server->table().player(2).connected);
  EXPECT_TRUE(server->table().held(2));
}

TEST_F(Loopback, ADroppedPlayerComesBackToTheSeatOverANewConnection) {
  auto ann = player(1, "Ann");
  auto bo = player(2, "Bo");
  auto tokenIn = [](const LoopbackClient& c, const std::string& prefix) {
    for (const auto& m : c.inbox)
      if (m.rfind(prefix, 0) == 0) return m.substr(prefix.size(), net::kRejoinTokenChars);
    return std::string();
  };
  ASSERT_TRUE(waitUntil([&] { return !tokenIn(*bo, "CMD_rejointoken+2+").empty(); }));
  const std::string token = tokenIn(*bo, "CMD_rejointoken+2+");
  bo->socket.abort();
  ASSERT_TRUE(ann->waitFor("CMD_away+2+90+"));
  auto again = client();
  ASSERT_TRUE(again->waitFor("CMD_sendlogininfo+3"));
  again->write(net::to_server::rejoin({3, "1.0.15", token, "Bo"}));
  EXPECT_TRUE(ann->waitFor("CMD_chat+0+Bo is back."));
  EXPECT_TRUE(waitUntil([&] { return !tokenIn(*again, "CMD_rejointoken+2+").empty(); }));
  // The new connection speaks for seat 2 now, and its end is seat 2's.
  again->write(net::to_server::chat({2, "hi"}));
  EXPECT_TRUE(ann->waitFor("CMD_chat+2+Bo chats: hi"));
  again->socket.abort();
  EXPECT_TRUE(waitUntil(
      [&] { return std::count(ann->inbox.begin(), ann->inbox.end(), "CMD_away+2+90+") == 2; }));
  EXPECT_TRUE(server->table().held(2));
  EXPECT_FALSE(server->table().player(3).connected);
}

}  // namespace
}  // namespace zp::server::testing
