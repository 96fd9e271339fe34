// Test main for the GUI tests: one QApplication on the offscreen platform for all tests.
#include <gtest/gtest.h>

#include <QApplication>

#include "runtime/ui/window.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  hostrt::DeleteClosedWindows();
  return result;
}
