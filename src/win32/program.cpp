#include "win32/program.h"

#include <commctrl.h>

#include <exception>

#include "common/network/site_address.h"
#include "common/platform/app_paths.h"
#include "messages/user_messages.h"
#include "win32/frm_main.h"
#include "win32/wide_text.h"
#include "window_model/error_text.h"
#include "window_model/guarded_call.h"

namespace valmeric::win32 {
namespace {

// Until the loop ends: dialog keys (tab order, accelerators, space) for the
// window, and its idle moment whenever the queue runs empty.
void RunMessageLoop(TFrmMain& form) {
  MSG message{};
  for (;;) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      if (form.hwnd() != nullptr && IsDialogMessageW(form.hwnd(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    form.Idle();
    WaitMessage();
  }
}

}  // namespace

int RunProgram(Dialogs& dialogs, TaskbarButton& taskbar, int show_command,
               const std::function<void(TFrmMain&)>& attach,
               const std::function<void(RunSettings&)>& adjust) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  auto show_error = [&dialogs](const std::string& message) {
    dialogs.Ask(nullptr, Wide(window_model::ErrorDisplayText(message)),
                Wide(msg::kApplicationTitle), MB_OK | MB_ICONSTOP);
  };
  window_model::GuardedCall(
      [&] {
        // VALMERIC_SITE_ORIGIN points the window at another copy of the site (the
        // bundled local one, for a demo); the program takes no arguments.
        RunSettings settings;
        settings.download.origin = SiteOrigin::FromEnvironment();
        if (adjust) adjust(settings);
        TFrmMain FrmMain(dialogs, taskbar, DefaultDatabasePath(), settings);
        if (attach) attach(FrmMain);
        FrmMain.Show(show_command);
        RunMessageLoop(FrmMain);
      },
      show_error);
  return 0;
}

}  // namespace valmeric::win32
