#pragma once

#include "test_log.h"
#include "win32/taskbar_button.h"

namespace valmeric::win32::test {

// Logs every taskbar call the window makes and passes it on to the system's
// taskbar list. Where the system offers none (Wine may not), the record
// stands in for it, so that the calls can still be checked.
class RecordingTaskbar final : public TaskbarButton {
 public:
  explicit RecordingTaskbar(TestLog& log) : log_(log) {}

  bool InitializeTaskbarAPI() override;
  bool SetTaskbarProgressState(HWND window, TTaskBarProgressState state) override;
  bool SetTaskbarProgressValue(HWND window, std::uint64_t current, std::uint64_t maximum) override;
  void Flash(HWND window) override;

 private:
  TestLog& log_;
  SystemTaskbarButton system_;
};

}  // namespace valmeric::win32::test
