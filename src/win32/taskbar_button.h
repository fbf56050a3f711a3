#pragma once

// The program's taskbar button: run progress through the shell's
// ITaskbarList3 (Windows 7 and later) and the flashing at the end of a run.

#include <windows.h>

#include <cstdint>

#include "window_model/taskbar_state.h"

struct ITaskbarList3;

namespace valmeric::win32 {

using window_model::TTaskBarProgressState;

class TaskbarButton {
 public:
  virtual ~TaskbarButton() = default;
  // Takes hold of the taskbar interface once; true while held. A failure is
  // not retried and shows nothing.
  virtual bool InitializeTaskbarAPI() = 0;
  // Each returns false when the interface is not held or the call failed.
  virtual bool SetTaskbarProgressState(HWND window, TTaskBarProgressState state) = 0;
  virtual bool SetTaskbarProgressValue(HWND window, std::uint64_t current,
                                       std::uint64_t maximum) = 0;
  // Flashes the button until the window comes forward (30 times at most).
  virtual void Flash(HWND window) = 0;
};

class SystemTaskbarButton final : public TaskbarButton {
 public:
  SystemTaskbarButton() = default;
  ~SystemTaskbarButton() override;
  SystemTaskbarButton(const SystemTaskbarButton&) = delete;
  SystemTaskbarButton& operator=(const SystemTaskbarButton&) = delete;

  bool InitializeTaskbarAPI() override;
  bool SetTaskbarProgressState(HWND window, TTaskBarProgressState state) override;
  bool SetTaskbarProgressValue(HWND window, std::uint64_t current, std::uint64_t maximum) override;
  void Flash(HWND window) override;

 private:
  ITaskbarList3* taskbar_ = nullptr;
};

// Windows 7 (6.1) or later, as the system reports its version to us.
bool TaskbarSupported();

}  // namespace valmeric::win32
