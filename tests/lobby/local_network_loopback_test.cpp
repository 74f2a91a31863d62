// Tables on this computer answer the lobby's question to the local network: headless hosts
// as programs, the lobby's finder in this process, over the loopback network alone (the
// question never leaves this computer).
#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUdpSocket>

#include "lobby/table_watch.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_program.h"

namespace zp::lobby {
namespace {

using zp::testing::RunningProgram;
using zp::testing::waitUntil;

const QString kServer = QStringLiteral(ZANDUPELIX_SERVER);

quint16 freeUdpPort() {
  QUdpSocket probe;
  if (!probe.bind(QHostAddress::LocalHost, 0)) return 0;
  return probe.localPort();
}

const TableRow* rowOn(const TableWatch& watch, quint16 port) {
  for (const TableRow& row : watch.finder().rows())
    if (row.where.port == port) return &row;
  return nullptr;
}

TEST(LocalNetworkLoopback, EveryTableOnThisComputerAnswersOnTheSharedPort) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const quint16 networkPort = freeUdpPort();
  ASSERT_NE(networkPort, 0);
  auto onPort = [networkPort](QProcess& process) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZANDUPELIX_DISCOVERY_PORT", QString::number(networkPort));
    process.setProcessEnvironment(env);
  };
  RunningProgram one(kServer, {"--name", "One"}, dir.path(), onPort);
  RunningProgram two(kServer, {"--name", "Two"}, dir.path(), onPort);
  RunningProgram hidden(kServer, {"--name", "Hidden", "--no-discovery"}, dir.path(), onPort);
  ASSERT_NE(one.port, 0);
  ASSERT_NE(two.port, 0);
  ASSERT_NE(hidden.port, 0);

  TableWatch watch;
  QString problem;
  QObject::connect(&watch, &TableWatch::networkProblem,
                   [&](const QString& text) { problem = text; });
  watch.askLocalNetwork(networkPort, NetworkAsk::Reach::kThisComputer);
  watch.start();
  ASSERT_TRUE(waitUntil([&] { return rowOn(watch, one.port) && rowOn(watch, two.port); }))
      << problem.toStdString();
  for (const auto& [port, name] : {std::pair{one.port, "One"}, std::pair{two.port, "Two"}}) {
    const TableRow* row = rowOn(watch, port);
    EXPECT_EQ(row->where.host, "127.0.0.1");
    EXPECT_EQ(row->sources, unsigned{kOnThisNetwork});
    EXPECT_EQ(row->state, TableState::kKnown);
    EXPECT_EQ(row->info->name, name);
  }
  // The hidden table heard the same question and kept quiet.
  EXPECT_EQ(rowOn(watch, hidden.port), nullptr);
  EXPECT_EQ(watch.finder().rows().size(), 2u);
  EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
}

}  // namespace
}  // namespace zp::lobby
