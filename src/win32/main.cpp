// Valmeric: collects the listings of a hospital directory site into a CSV file.

#include <windows.h>

#include "win32/com_apartment.h"
#include "win32/instance_mutex.h"
#include "win32/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  // One instance per user logon; a second start shows nothing.
  const auto instance = valmeric::win32::InstanceMutex::Claim(L"Quillmere");
  if (!instance) return 1;
  const valmeric::win32::ComApartment com;  // before the taskbar, which holds a COM object
  valmeric::win32::SystemDialogs dialogs;
  valmeric::win32::SystemTaskbarButton taskbar;
  return valmeric::win32::RunProgram(dialogs, taskbar, show_command);
}
