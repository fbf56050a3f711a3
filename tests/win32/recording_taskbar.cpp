#include "recording_taskbar.h"

#include <string>

namespace valmeric::win32::test {

bool RecordingTaskbar::InitializeTaskbarAPI() {
  log_.Line({"taskbar-init", system_.InitializeTaskbarAPI() ? "system" : "record-only"});
  return true;
}

bool RecordingTaskbar::SetTaskbarProgressState(HWND window, TTaskBarProgressState state) {
  log_.Line({"taskbar-state", std::to_string(window_model::TaskbarProgressFlag(state))});
  system_.SetTaskbarProgressState(window, state);
  return true;
}

bool RecordingTaskbar::SetTaskbarProgressValue(HWND window, std::uint64_t current,
                                               std::uint64_t maximum) {
  log_.Line({"taskbar-value", std::to_string(current), std::to_string(maximum)});
  system_.SetTaskbarProgressValue(window, current, maximum);
  return true;
}

void RecordingTaskbar::Flash(HWND window) {
  log_.Line({"flash"});
  system_.Flash(window);
}

}  // namespace valmeric::win32::test
