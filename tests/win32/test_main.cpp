// valmeric.exe with its test seams: the boxes and the save dialog answered
// and the window driven from a script, the taskbar calls recorded (see
// test_driver.h). Built for the tests only; never installed.

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "recording_taskbar.h"
#include "scripted_dialogs.h"
#include "test_driver.h"
#include "test_log.h"
#include "win32/com_apartment.h"
#include "win32/frm_main.h"
#include "win32/instance_mutex.h"
#include "win32/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  using namespace valmeric::win32;
  const auto instance = InstanceMutex::Claim(L"Quillmere");
  if (!instance) return 1;
  const ComApartment com;
  test::TestLog log;
  test::ScriptedDialogs dialogs(log);
  test::RecordingTaskbar taskbar(log);
  std::unique_ptr<test::TestDriver> driver;
  const int code = RunProgram(
      dialogs, taskbar, show_command,
      [&](TFrmMain& form) { driver = std::make_unique<test::TestDriver>(form, dialogs, log); },
      [](valmeric::RunSettings& settings) {
        // VALMERIC_TEST_PAUSE_MS: a shorter pause after each page, for the
        // cases that need a whole run but not the site's pace.
        if (const wchar_t* pause = _wgetenv(L"VALMERIC_TEST_PAUSE_MS"))
          settings.page_pause = std::chrono::milliseconds(_wtoi(pause));
      });
  log.Line({"exit", std::to_string(code)});
  return code;
}
