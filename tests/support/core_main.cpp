// Tests that need Qt's event loop but no window.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/support/test_environment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  zp::testing::setTestEnvironment();
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
