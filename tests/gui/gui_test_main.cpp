// Runs the GUI tests inside one application object on the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>

#include "app/tsan_defaults.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never the desktop's session bus: the taskbar tests start a bus of their own.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/valmeric-test-bus");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
