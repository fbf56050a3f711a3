#include "win32/taskbar_button.h"

#include <shobjidl.h>

#include "win32/windows_version.h"

namespace valmeric::win32 {

using window_model::TaskbarProgressFlag;

// The window model's table holds the shell's own values.
static_assert(TaskbarProgressFlag(window_model::tbpsNone) == TBPF_NOPROGRESS);
static_assert(TaskbarProgressFlag(window_model::tbpsIndeterminate) == TBPF_INDETERMINATE);
static_assert(TaskbarProgressFlag(window_model::tbpsNormal) == TBPF_NORMAL);
static_assert(TaskbarProgressFlag(window_model::tbpsError) == TBPF_ERROR);
static_assert(TaskbarProgressFlag(window_model::tbpsPaused) == TBPF_PAUSED);

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
