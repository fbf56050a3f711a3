#pragma once

#include <deque>
#include <optional>
#include <string>

#include "test_log.h"
#include "win32/dialogs.h"

namespace valmeric::win32::test {

// Answers the window's boxes and save dialog from queues the test script
// fills, and logs everything shown. A question nobody prepared an answer for
// is logged as unexpected and answered No; an unexpected save dialog is
// cancelled.
class ScriptedDialogs final : public Dialogs {
 public:
  explicit ScriptedDialogs(TestLog& log) : log_(log) {}

  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // The next question is the system's own box, for the user (or a script's
  // dismiss-box) to answer: a screenshot shows it as it is.
  void QueueSystemBox() { answers_.push_back(kSystemBox); }
  // Nothing: the dialog is cancelled.
  void QueueFile(std::optional<SaveChoice> choice) { files_.push_back(std::move(choice)); }

  int Ask(HWND owner, const std::wstring& text, const std::wstring& title, unsigned style) override;
  std::optional<SaveChoice> ChooseSaveFile(HWND owner, const SaveDialogOptions& options) override;

 private:
  static constexpr int kSystemBox = -1;
  TestLog& log_;
  std::deque<int> answers_;
  std::deque<std::optional<SaveChoice>> files_;
};

}  // namespace valmeric::win32::test
