#pragma once

#include <optional>
#include <string>

#include "engine/plan.h"
#include "messages/user_messages.h"

namespace valmeric {

// What the run controller asks of a window: drawing, dialogs and the desktop.
// Every call comes on the window's thread. Texts are UTF-8; paths are in the
// file system's own spelling.
class RunView {
 public:
  virtual ~RunView() = default;

  virtual Selection TickedSelection() = 0;
  // Ticks exactly the codes of selection (a resumed run's), the all boxes following.
  virtual void RestoreSelection(const Selection& selection) = 0;
  // Shows a message box; returns kIdOk, kIdYes or kIdNo.
  virtual int ShowMessage(const UserMessage& message) = 0;
  // The file chosen in the save dialog, and whether its type was the Excel
  // workbook's rather than the CSV's.
  struct ChosenFile {
    std::string path;
    bool workbook = false;
  };
  // Asks for the file to save to, proposing initial_name; nothing when cancelled.
  virtual std::optional<ChosenFile> AskOutputFile(const std::string& initial_name) = 0;

  // Running: busy cursor, lists and start disabled, cancel enabled, the bar at
  // 0 and visible, the fetching text in the window-text colour, painted at
  // once. Idle: the taskbar cleared, the status text empty, the bar at 0, the
  // lists and start enabled, cancel disabled.
  virtual void ShowRunningLook() = 0;
  virtual void RestoreCursor() = 0;
  virtual void ShowIdleLook() = 0;
  virtual void InitProgress(int maximum) = 0;
  // The bar (and the taskbar button) at position of the maximum.
  virtual void SetProgress(int position) = 0;
  virtual void ShowStatus(const std::string& text) = 0;

  // The sound and the flashing taskbar button of a finished run.
  virtual void AlertRunDone() = 0;
  // Opens the file with the desktop's program for it; false when the desktop
  // has none (or could not start it).
  virtual bool OpenFile(const std::string& path) = 0;
  // Saves the ticks; a failure is dropped.
  virtual void SaveSettings() = 0;
  // Ends the application: cancel disabled, the window gone, the event loop left.
  virtual void Quit() = 0;
};

}  // namespace valmeric
