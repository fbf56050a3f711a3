// The main window as the run controller sees it, and the table builders'
// hidden buttons.

#include "win32/frm_main.h"

#include <commctrl.h>
#include <shellapi.h>

#include "win32/wide_text.h"

namespace valmeric::win32 {

Selection TFrmMain::TickedSelection() {
  return model_.TickedSelection();
}

void TFrmMain::RestoreSelection(const Selection& selection) {
  model_.RestoreSelection(selection);
}

int TFrmMain::ShowMessage(const UserMessage& message) {
  return dialogs_.Ask(hwnd_, Wide(message.text), Wide(message.title), message.style);
}

std::optional<RunView::ChosenFile> TFrmMain::AskOutputFile(const std::string& initial_name) {
  const SaveDialogOptions options{Wide(msg::kSaveTitle),
                                  Wide(msg::kSaveFilterName),
                                  Wide(msg::kSaveFilterPattern),
                                  Wide(msg::kWorkbookFilterName),
                                  Wide(msg::kWorkbookFilterPattern),
                                  Wide(initial_name),
                                  save_folder_.Initial().native()};
  const auto chosen = dialogs_.ChooseSaveFile(hwnd_, options);
  if (!chosen) return std::nullopt;
  save_folder_.Chosen(std::filesystem::path(chosen->path));
  return ChosenFile{Utf8(chosen->path), chosen->workbook};
}

void TFrmMain::ShowRunningLook() {
  busy_cursor_ = true;
  SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
  SetControlsEnabled(false);
  SendMessageW(Control(kPrgBar), PBM_SETPOS, 0, 0);
  ShowWindow(Control(kPrgBar), SW_SHOW);
  status_color_ = GetSysColor(COLOR_WINDOWTEXT);
  SetStatusText(Wide(msg::kFetching));
  RedrawWindow(hwnd_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TFrmMain::RestoreCursor() {
  if (!busy_cursor_) return;
  busy_cursor_ = false;
  POINT point{};
  GetCursorPos(&point);
  SetCursorPos(point.x, point.y);  // the window under the cursor sets its own again
}

void TFrmMain::ShowIdleLook() {
  if (TaskbarReady) taskbar_.SetTaskbarProgressState(hwnd_, tbpsNone);
  SetStatusText(L"");
  SendMessageW(Control(kPrgBar), PBM_SETPOS, 0, 0);
  SetControlsEnabled(true);
}

void TFrmMain::InitProgress(int maximum) {
  SendMessageW(Control(kPrgBar), PBM_SETRANGE32, 0, maximum);
  SendMessageW(Control(kPrgBar), PBM_SETPOS, 0, 0);
}

void TFrmMain::SetProgress(int position) {
  HWND bar = Control(kPrgBar);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  if (TaskbarReady) {
    const auto shown = SendMessageW(bar, PBM_GETPOS, 0, 0);
    const auto maximum = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
    taskbar_.SetTaskbarProgressValue(hwnd_, static_cast<std::uint64_t>(shown),
                                     static_cast<std::uint64_t>(maximum));
  }
}

void TFrmMain::ShowStatus(const std::string& text) {
  SetStatusText(Wide(text));
}

void TFrmMain::AlertRunDone() {
  MessageBeep(MB_ICONQUESTION);
  taskbar_.Flash(hwnd_);
}

bool TFrmMain::OpenFile(const std::string& path) {
  // Values up to 32 are errors: no program associated with the file (for
  // instance SE_ERR_NOASSOC), or one that could not be started.
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

void TFrmMain::Quit() {
  EnableWindow(Control(kBtnCancel), FALSE);
  Terminate();
}

void TFrmMain::btnAreaClick() {
  rebuilder_.Start(RebuildTable::kCities);
}

void TFrmMain::btnCtgrClick() {
  rebuilder_.Start(RebuildTable::kSubCategories);
}

}  // namespace valmeric::win32
