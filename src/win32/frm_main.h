#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "engine/run_controller.h"
#include "engine/run_view.h"
#include "win32/check_list.h"
#include "win32/dialogs.h"
#include "win32/taskbar_button.h"
#include "win32/vista_alt_fix.h"
#include "window_model/layout.h"
#include "window_model/main_window_model.h"
#include "window_model/save_folder.h"
#include "window_model/table_rebuilder.h"

namespace valmeric::win32 {

using namespace window_model;  // the control identifiers and the layout

inline constexpr UINT WM_CHECKCONFIG = WM_USER + kCheckConfigOffset;
// Posted by a run's worker: the run has news for Poll.
inline constexpr UINT WM_RUNNEWS = WM_APP + 1;
// Posted by a table rebuild's thread: the rebuild has news for Poll.
inline constexpr UINT WM_REBUILDNEWS = WM_APP + 2;

// The main window: the two selection lists, the start and cancel buttons, the
// status label and the progress bar. It draws and wires; the run controller
// decides what a press means and how a run ends.
class TFrmMain final : private RunView {
 public:
  // database_path: db\hpt_data.db beside the program; the settings file goes
  // beside it. Creates the window, hidden.
  TFrmMain(Dialogs& dialogs, TaskbarButton& taskbar, std::filesystem::path database_path,
           RunSettings settings = {});
  ~TFrmMain() override;
  TFrmMain(const TFrmMain&) = delete;
  TFrmMain& operator=(const TFrmMain&) = delete;

  HWND hwnd() const { return hwnd_; }
  void Show(int show_command);
  // The idle moment of the message loop.
  void Idle() { alt_fix_.ApplicationEventsIdle(); }

  // For tests and the tools that drive the window.
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  CheckList& List(int id) { return id == kLstCtgr ? *lstCtgr_ : *lstArea_; }
  SelectionGroup& categories() { return model_.categories(); }
  SelectionGroup& prefectures() { return model_.prefectures(); }
  const RunController& controller() const { return controller_; }
  bool taskbarReady() const { return TaskbarReady; }
  bool configChecked() const { return config_checked_; }
  // A table rebuild is under way (the window's messages still come through).
  bool rebuilding() const { return rebuilder_.running(); }
  TVistaAltFix& altFix() { return alt_fix_; }
  std::filesystem::path settingsPath() const { return model_.settings_path(); }

  // The default error display: message with a full stop where it lacks a
  // closing mark, titled with the application title, OK and the stop icon.
  void ShowDefaultError(const std::string& message);

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  bool HandleCommand(int id, int code);
  template <typename Fn>
  void Guarded(Fn&& fn);

  void FormCreate();
  void CreateControls();
  void ApplyLayout(UINT dpi);
  void BindGroup(SelectionGroup& group, int all_box, CheckList& list);
  void BindRebuilder();
  void CheckConfig();
  void Terminate();
  void SetStatusText(const std::wstring& text);
  void SetControlsEnabled(bool idle);
  void btnAreaClick();
  void btnCtgrClick();

  // RunView
  Selection TickedSelection() override;
  void RestoreSelection(const Selection& selection) override;
  int ShowMessage(const UserMessage& message) override;
  std::optional<ChosenFile> AskOutputFile(const std::string& initial_name) override;
  void ShowRunningLook() override;
  void RestoreCursor() override;
  void ShowIdleLook() override;
  void InitProgress(int maximum) override;
  void SetProgress(int position) override;
  void ShowStatus(const std::string& text) override;
  void AlertRunDone() override;
  bool OpenFile(const std::string& path) override;
  void SaveSettings() override;
  void Quit() override;

  Dialogs& dialogs_;
  TaskbarButton& taskbar_;
  MainWindowModel model_;
  window_model::SaveFolder save_folder_;
  TVistaAltFix alt_fix_;

  HWND hwnd_ = nullptr;
  std::unique_ptr<CheckList> lstCtgr_;
  std::unique_ptr<CheckList> lstArea_;
  HFONT window_font_ = nullptr;
  HFONT list_font_ = nullptr;
  UINT dpi_ = 96;
  std::wstring status_text_;
  COLORREF status_color_;

  bool TaskbarReady = false;
  bool busy_cursor_ = false;
  bool config_checked_ = false;
  // Where a run's worker and a table rebuild post their news; read on their threads.
  std::atomic<HWND> news_window_{nullptr};

  RunController controller_;
  TableRebuilder rebuilder_;
};

}  // namespace valmeric::win32
