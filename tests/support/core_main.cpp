// Tests that need Qt's event loop but no window.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The tables tests start answer lobbies on a port of their own, never beside a real game's.
  if (!qEnvironmentVariableIsSet("ZANDUPELIX_DISCOVERY_PORT"))
    qputenv("ZANDUPELIX_DISCOVERY_PORT", "47773");
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
