// Widget tests run offscreen unless told otherwise: test discovery runs this binary during
// the build, where there may be no display.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The tables tests start answer lobbies on a port of their own, never beside a real game's.
  if (!qEnvironmentVariableIsSet("ZANDUPELIX_DISCOVERY_PORT"))
    qputenv("ZANDUPELIX_DISCOVERY_PORT", "47773");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
