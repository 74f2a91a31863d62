// Widget tests run offscreen unless told otherwise: test discovery runs this binary during
// the build, where there may be no display.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/test_environment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  zp::testing::setTestEnvironment();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
