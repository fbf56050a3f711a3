#include "win32/taskbar_button.h"

#include <shobjidl.h>

#include "win32/windows_version.h"

namespace valmeric::win32 {

int TaskbarProgressFlag(int state) {
  switch (state) {
    case tbpsNone:
      return TBPF_NOPROGRESS;
    case tbpsIndeterminate:
      return TBPF_INDETERMINATE;
    case tbpsNormal:
      return TBPF_NORMAL;
    case tbpsError:
      return TBPF_ERROR;
    case tbpsPaused:
      return TBPF_PAUSED;
    default:
      return 0;
  }
}

bool TaskbarSupported() {
  return WindowsAtLeast(6, 1);
}

SystemTaskbarButton::~SystemTaskbarButton() {
  if (taskbar_ != nullptr) taskbar_->Release();
}

bool SystemTaskbarButton::InitializeTaskbarAPI() {
  if (taskbar_ != nullptr) return true;
  ITaskbarList3* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar)))) {
    return false;
  }
  if (taskbar->HrInit() != S_OK) {
    taskbar->Release();
    return false;
  }
  taskbar_ = taskbar;
  return true;
}

bool SystemTaskbarButton::SetTaskbarProgressState(HWND window, TTaskBarProgressState state) {
  if (taskbar_ == nullptr) return false;
  return taskbar_->SetProgressState(window, static_cast<TBPFLAG>(TaskbarProgressFlag(state))) ==
         S_OK;
}

bool SystemTaskbarButton::SetTaskbarProgressValue(HWND window, std::uint64_t current,
                                                  std::uint64_t maximum) {
  if (taskbar_ == nullptr) return false;
  return taskbar_->SetProgressValue(window, current, maximum) == S_OK;
}

void SystemTaskbarButton::Flash(HWND window) {
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = window;
  flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
  flash.uCount = 30;
  flash.dwTimeout = 700;
  FlashWindowEx(&flash);
}

}  // namespace valmeric::win32
