// Test main for the import library's window and data tests: one QApplication on the offscreen
// platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include "runtime/ui/window.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  hostrt::DeleteClosedWindows();
  return result;
}
