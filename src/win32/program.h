#pragma once

#include <functional>

#include "engine/run_settings.h"
#include "win32/dialogs.h"
#include "win32/taskbar_button.h"

namespace valmeric::win32 {

class TFrmMain;

// The program once it holds the single-instance claim and COM: the common
// controls, the main window and its message loop. An error that escapes is
// shown by the default error display. Returns the exit code, 0.
// attach, if given, is handed the window before it is shown; adjust, if
// given, the run settings before the window takes them.
int RunProgram(Dialogs& dialogs, TaskbarButton& taskbar, int show_command,
               const std::function<void(TFrmMain&)>& attach = {},
               const std::function<void(RunSettings&)>& adjust = {});

}  // namespace valmeric::win32
