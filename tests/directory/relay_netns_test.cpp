// A table at home behind a real NAT router, joined through the directory's relay: Linux
// network namespaces built as root. "home" (192.168.77.0/24) reaches the internet only through
// "router", which masquerades and forwards nothing inward; "net" (203.0.113.0/24, a
// documentation range standing for the internet) holds the directory, a table of its own and
// the players from outside. Nothing leaves the namespaces, which the test removes when it ends,
// failed or not.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/net_namespaces.h"

namespace zp::directory {
namespace {

const QString kServer = QStringLiteral(ZANDUPELIX_SERVER);
const QString kDirectory = QStringLiteral(ZANDUPELIX_DIRECTORY);
const QString kPlayer = QStringLiteral(RELAY_PLAYER);

using zp::testing::InNamespace;
using zp::testing::Namespaces;

// The directory's list as one player in `ns` reads it.
QStringList listed(const QString& ns, const QString& directory, const QString& folder) {
  InNamespace list(ns, kPlayer, {"list", directory}, folder);
  QStringList rows;
  while (const auto line = list.line(15000)) {
    if (*line == "end") break;
    rows << *line;
  }
  return rows;
}

TEST(RelayNamespaces, ATableBehindAHomeRouterIsRelayedAndJoinedByCodeAndByTheList) {
  const bool ci = qEnvironmentVariableIsSet("CI");
  const bool canBuild = ::geteuid() == 0 &&
                        !QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty() &&
                        !QStandardPaths::findExecutable(QStringLiteral("nft")).isEmpty();
  if (!canBuild && ci) FAIL() << "CI must run this test as root with iproute2 and nftables";
  if (!canBuild) GTEST_SKIP() << "needs root, iproute2 (ip) and nftables (nft) to build a router";

  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  Namespaces ns(QStringLiteral("zprl"));
  for (const char* name : {"home", "router", "net"}) {
    ns.ip(QStringLiteral("netns add @%1").arg(name));
    ns.ip(QStringLiteral("-n @%1 link set lo up").arg(name));
  }
  ns.ip("-n @router link add inside type veth peer name e0 netns @home");
  ns.ip("-n @router link add outside type veth peer name e0 netns @net");
  ns.ip("-n @router addr add 192.168.77.1/24 dev inside");
  ns.ip("-n @router addr add 203.0.113.1/24 dev outside");
  ns.ip("-n @home addr add 192.168.77.20/24 dev e0");
  ns.ip("-n @net addr add 203.0.113.10/24 dev e0");
  for (const char* name : {"router"}) {
    ns.ip(QStringLiteral("-n @%1 link set inside up").arg(name));
    ns.ip(QStringLiteral("-n @%1 link set outside up").arg(name));
  }
  ns.ip("-n @home link set e0 up");
  ns.ip("-n @net link set e0 up");
  ns.ip("-n @home route add default via 192.168.77.1");
  // The internet knows no route to the home network: only the router's own address.
  ns.run("router", {"sysctl", "-q", "-w", "net.ipv4.ip_forward=1"});
  ns.run("router",
         {"nft",
          "add table ip nat; "
          "add chain ip nat leaving { type nat hook postrouting priority 100; }; "
          "add rule ip nat leaving oifname outside masquerade; "
          "add table ip filter; "
          "add chain ip filter passing { type filter hook forward priority 0; policy drop; }; "
          "add rule ip filter passing ct state established,related accept; "
          "add rule ip filter passing iifname inside accept"});
  ASSERT_TRUE(ns.failures().isEmpty()) << ns.failures().join('\n').toStdString();

  InNamespace directory(ns["net"], kDirectory, {"--port", "0", "--relay-port", "0"}, folder.path());
  const auto ports = directory.until("listening on port (\\d+), relay on port (\\d+)", 20000);
  ASSERT_TRUE(ports) << directory.errors().toStdString();
  const QString dir = "203.0.113.10:" + ports->captured(1);

  // The table at home: refused as direct, relayed, given its code.
  auto home =
      std::make_unique<InNamespace>(ns["home"], kServer,
                                    QStringList{"--port", "0", "--name", "Home table", "--register",
                                                dir, "--tick-ms", "100", "--no-discovery"},
                                    folder.path());
  const auto homePort = home->until("listening on port (\\d+)", 20000);
  ASSERT_TRUE(homePort) << home->errors().toStdString();
  const auto invite = home->until(
      "cannot reach the table on port \\d+ and relays its players; invite code "
      "(\\w\\w\\w-\\w\\w\\w) \\(join with (\\w+)@",
      20000);
  ASSERT_TRUE(invite) << home->seen().toStdString();
  const QString code = invite->captured(2);

  // A table on the internet: listed direct.
  InNamespace far(ns["net"], kServer,
                  {"--port", "0", "--name", "Net table", "--register", dir, "--no-discovery"},
                  folder.path());
  const auto farPort = far.until("listening on port (\\d+)", 20000);
  ASSERT_TRUE(farPort);
  ASSERT_TRUE(far.until("reaches the table on port", 20000)) << far.seen().toStdString();
  const QStringList rows = listed(ns["net"], dir, folder.path());
  EXPECT_TRUE(rows.contains("relayed Home table " + code)) << rows.join('\n').toStdString();
  EXPECT_TRUE(rows.contains("direct Net table 203.0.113.10:" + farPort->captured(1)))
      << rows.join('\n').toStdString();
  // The home table is nowhere listed at the router's address.
  EXPECT_FALSE(rows.join('\n').contains("203.0.113.1:")) << rows.join('\n').toStdString();

  // Ann at home hosts at her own table; Bob on the internet joins by code; both chat and
  // each makes a word, every byte of Bob's through the relay.
  {
    InNamespace ann(ns["home"], kPlayer,
                    {"play", "Ann", "127.0.0.1:" + homePort->captured(1), "Bob", "host"},
                    folder.path());
    ASSERT_TRUE(ann.until("logged in as record 1", 10000)) << ann.seen().toStdString();
    InNamespace bob(ns["net"], kPlayer,
                    {"play", "Bob", code.toLower().insert(3, '-') + "@" + dir, "Ann", "guest"},
                    folder.path());
    EXPECT_EQ(bob.finish(60000), 0) << bob.seen().toStdString() << bob.errors().toStdString();
    EXPECT_EQ(ann.finish(60000), 0) << ann.seen().toStdString();
    EXPECT_TRUE(bob.seen().contains("word ")) << bob.seen().toStdString();
  }
  // Cy joins the home table by its row in the list; Dee the internet table by its row.
  {
    InNamespace cy(ns["net"], kPlayer, {"chat", "Cy", "row:Home table@" + dir}, folder.path());
    EXPECT_EQ(cy.finish(30000), 0) << cy.seen().toStdString();
    EXPECT_TRUE(cy.seen().contains("joining the row relayed " + code)) << cy.seen().toStdString();
    InNamespace dee(ns["net"], kPlayer, {"chat", "Dee", "row:Net table@" + dir}, folder.path());
    EXPECT_EQ(dee.finish(30000), 0) << dee.seen().toStdString();
    EXPECT_TRUE(dee.seen().contains("joining the row direct 203.0.113.10:"))
        << dee.seen().toStdString();
  }

  // The home table stops: gone from the list, its code names nothing.
  home->stop();
  home.reset();
  const QStringList after = listed(ns["net"], dir, folder.path());
  EXPECT_FALSE(after.join('\n').contains("Home table")) << after.join('\n').toStdString();
  EXPECT_TRUE(after.contains("direct Net table 203.0.113.10:" + farPort->captured(1)));
  InNamespace find(ns["net"], kPlayer, {"find", code + "@" + dir}, folder.path());
  const auto answer = find.line(15000);
  EXPECT_EQ(answer.value_or("nothing"), "refused No such table");
  std::cout << "home table relayed with code " << code.toStdString() << "\n";
}

}  // namespace
}  // namespace zp::directory
