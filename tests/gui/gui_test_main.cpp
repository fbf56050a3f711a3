// Runs the GUI tests inside one application object on the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTranslator>

#include "app/toolkit_translation.h"
#include "app/tsan_defaults.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never the desktop's session bus: the taskbar tests start a bus of their own.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/valmeric-test-bus");
  QApplication app(argc, argv);
  // The toolkit's texts in Japanese, as the program has them.
  QTranslator toolkit_texts;
  valmeric::app::InstallToolkitTranslation(app, toolkit_texts);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
