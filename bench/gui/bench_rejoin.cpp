// A window's way back after its connection is cut: from the cut to the game shown again,
// with the table reachable at once, over loopback through a proxy that cuts. The counter
// "table_rss_growth_kb" is what the process grew by over the run's drops and rejoins, the
// table holding and giving back the seat each time.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "gui/Tchat.h"
#include "net/catalogue.h"
#include "records/tally_table.h"
#include "rules/constants.h"
#include "server/TServer.h"
#include "tests/support/cutting_proxy.h"
#include "tests/support/loopback_client.h"

namespace {

long residentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

bool waitFor(const std::function<bool()>& done) {
  return zp::testing::waitUntil(done, 10000);
}

void BM_CutToGameShownAgain(benchmark::State& state) {
  QTemporaryDir folder;
  zp::server::TServer::Options options;
  options.dictionaryFile = (folder.path() + "/English").toStdString();
  zp::server::TServer table(options);
  table.listen(0);
  zp::testing::CuttingProxy router(table.port());
  zp::records::TallyTable tally;
  zp::client::Tchat window(tally, 5);
  zp::client::TchatParts parts;
  parts.port = router.port();
  window.setParts(parts);
  window.show();
  window.processparams({"Ann", "127.0.0.1", "false"});
  zp::client::ClientSession& session = window.session();
  if (!waitFor([&] { return session.isHost(); })) state.SkipWithError("no login");
  session.gamestartStart();
  if (!waitFor([&] { return session.board().gameOn(); })) state.SkipWithError("no game");
  // The first rounds settle what any window allocates once.
  const long before = residentKb();
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    router.cut();
    if (!waitFor([&] { return session.reconnecting(); })) state.SkipWithError("not dropped");
    if (!waitFor([&] { return !session.reconnecting() && session.board().gameOn(); }))
      state.SkipWithError("not back");
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
  state.counters["table_rss_growth_kb"] = static_cast<double>(residentKb() - before);
}
BENCHMARK(BM_CutToGameShownAgain)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CutToGameShownAgain)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

// The table alone: a seated player drops (the connection aborted, no goodbye) and comes back
// with its token, over and over, while a second player keeps the table busy. The counter is
// what the process grew by over the run; the first rounds settle what the table allocates once.
void BM_TableHoldsAndGivesTheSeatBack(benchmark::State& state) {
  using zp::testing::LoopbackClient;
  QTemporaryDir folder;
  zp::server::TServer::Options options;
  options.dictionaryFile = (folder.path() + "/English").toStdString();
  zp::server::TServer table(options);
  table.listen(0);
  LoopbackClient ann(table.port());
  ann.waitFor("CMD_sendlogininfo+1");
  ann.write(zp::net::to_server::logininfo({1, std::string(zp::kGameVersion), "Ann"}));
  auto bo = std::make_unique<LoopbackClient>(table.port());
  bo->waitFor("CMD_sendlogininfo+2");
  bo->write(zp::net::to_server::logininfo({2, std::string(zp::kGameVersion), "Bo"}));
  auto tokenOf = [](const LoopbackClient& c) {
    std::string token;
    for (const std::string& m : c.inbox)
      if (m.rfind("CMD_rejointoken+2+", 0) == 0) token = m.substr(18, zp::net::kRejoinTokenChars);
    return token;
  };
  zp::testing::waitUntil([&] { return !tokenOf(*bo).empty(); });
  long before = 0;
  int round = 0;
  for (auto _ : state) {
    if (++round == 5) before = residentKb();
    const std::string token = tokenOf(*bo);
    ann.inbox.clear();
    bo->socket.abort();
    zp::testing::waitUntil([&] { return ann.has("CMD_away+2+90+"); });
    bo = std::make_unique<LoopbackClient>(table.port());
    zp::testing::waitUntil([&] { return !bo->inbox.empty(); });
    const int offered = std::stoi(bo->inbox.front().substr(18));
    bo->write(zp::net::to_server::rejoin({offered, std::string(zp::kGameVersion), token, "Bo"}));
    if (!zp::testing::waitUntil([&] { return ann.has("CMD_away+2+0+") && !tokenOf(*bo).empty(); }))
      state.SkipWithError("not back");
  }
  state.counters["rss_growth_kb"] = static_cast<double>(residentKb() - before);
}
BENCHMARK(BM_TableHoldsAndGivesTheSeatBack)->Iterations(105)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableHoldsAndGivesTheSeatBack)->Iterations(1005)->Unit(benchmark::kMillisecond);

}  // namespace
