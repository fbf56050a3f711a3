#pragma once

// Drives the real window from a script, one command a line, from a timer on
// the window's own thread. A command that waits for a condition holds the
// script until the condition is met; the others act at once, through the
// same messages a user's input would send:
//
//   answer yes|no|system   the next question's answer, or the system's own box
//                          for it (those at the head of the script are queued
//                          before the window is shown)
//   wait-box               a system box is up over the window
//   dismiss-box yes|no     the system box is answered as its button would
//   save PATH | save-cancel  the next save dialog's outcome
//   wait-config            the configuration check has run
//   click NAME             a button or check box is clicked (BM_CLICK)
//   press NAME             the button's click posted to the window, handled by
//                          the message loop (a hidden button's, too)
//   wait-rebuilding | wait-rebuilt   a table builder is running / has ended
//   wait-text NAME TEXT    the control's text begins with TEXT
//   tick NAME ROW          a mouse click on the check box of a list row
//   space NAME ROW         the row is made current and the space key pressed
//   alt LETTER             the accelerator Alt+LETTER
//   tab                    the Tab key, from the control that has the focus
//   focus NAME             the control takes the focus
//   uistate                the system's UI-state change (as after Alt)
//   wait-running | wait-idle   a run has started / has ended and the window is idle
//   wait-file PATH         until a file exists (to let a script take a screenshot)
//   dump                   logs the window's state
//   close                  the window's close button
//
// NAME is a control's name: chkCtgr, lstCtgr, chkArea, lstArea, btnAction,
// btnCancel, prgBar, lblStatus, btnArea, btnCtgr.

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "scripted_dialogs.h"
#include "test_log.h"

namespace valmeric::win32 {
class TFrmMain;
}

namespace valmeric::win32::test {

class TestDriver final {
 public:
  // Reads the script named by the environment variable VALMERIC_TEST_SCRIPT.
  TestDriver(TFrmMain& form, ScriptedDialogs& dialogs, TestLog& log);
  ~TestDriver();
  TestDriver(const TestDriver&) = delete;
  TestDriver& operator=(const TestDriver&) = delete;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  void Step();
  // Runs one command; false while it waits.
  bool Run(const std::vector<std::string>& words);
  void Dump();
  HWND Named(const std::string& name) const;
  std::string NameOf(HWND control) const;

  TFrmMain& form_;
  ScriptedDialogs& dialogs_;
  TestLog& log_;
  std::vector<std::vector<std::string>> script_;
  size_t next_ = 0;
  bool ready_logged_ = false;
  UINT_PTR timer_ = 0;
  bool busy_ = false;
};

}  // namespace valmeric::win32::test
