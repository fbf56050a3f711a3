#pragma once

#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/run_controller.h"
#include "engine/run_view.h"
#include "window_model/main_window_model.h"
#include "window_model/save_folder.h"
#include "window_model/table_rebuilder.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace valmeric::app {

class Dialogs;
class UiWaker;

// The main window: the two selection lists, the start and cancel buttons, the
// status label and the progress bar. It draws and wires; the run controller
// decides what a press means and how a run ends.
class TFrmMain final : public QWidget, private RunView {
  Q_OBJECT

 public:
  // database_path: the reference database (db/hpt_data.db beside the
  // program); the settings file goes beside it. settings: how runs reach the
  // site (the program's defaults, or a local site for a demo or a test).
  TFrmMain(Dialogs& dialogs, std::filesystem::path database_path, RunSettings settings = {},
           QWidget* parent = nullptr);
  ~TFrmMain() override;

  window_model::SelectionGroup& categories() { return model_.categories(); }
  window_model::SelectionGroup& prefectures() { return model_.prefectures(); }
  int runState() const { return controller_.run_state(); }
  bool taskbarReady() const { return TaskbarReady; }
  bool dbReady() const { return model_.db_ready(); }
  const QString& outputPath() const { return OutputPath; }
  bool hasWorker() const { return controller_.running(); }
  // A table rebuild is under way (the window's events still come through).
  bool rebuilding() const { return rebuilder_.running(); }
  // The end of the application has been asked for (configuration error, or
  // a close during a run).
  bool terminateRequested() const { return terminate_requested_; }
  std::filesystem::path settingsPath() const { return model_.settings_path(); }

  // Handlers, named after the control and event they serve.
  void btnActionClick();
  void btnCancelClick();
  void btnAreaClick();
  void btnCtgrClick();
  void chkCtgrClick(bool checked) { categories().ClickAll(checked); }
  void chkAreaClick(bool checked) { prefectures().ClickAll(checked); }
  void lstCtgrClickCheck(int row, bool ticked) { categories().ItemToggled(row, ticked); }
  void lstAreaClickCheck(int row, bool ticked) { prefectures().ItemToggled(row, ticked); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void FormCreate();
  void CreateControls();
  void BindGroup(window_model::SelectionGroup& group, QCheckBox* all_box, QListWidget* list);
  void BindRebuilder();
  void CheckConfig();
  void Terminate();
  void SetStatusText(const QString& text);
  void SetControlsEnabled(bool idle);
  // Runs a handler; whatever it throws goes to the default error display.
  template <typename Fn>
  void Guarded(Fn&& fn);

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
  window_model::MainWindowModel model_;
  window_model::SaveFolder save_folder_;

  QCheckBox* chkCtgr = nullptr;
  QListWidget* lstCtgr = nullptr;
  QCheckBox* chkArea = nullptr;
  QListWidget* lstArea = nullptr;
  QPushButton* btnAction = nullptr;
  QPushButton* btnCancel = nullptr;
  QProgressBar* prgBar = nullptr;
  QLabel* lblStatus = nullptr;
  QPushButton* btnArea = nullptr;
  QPushButton* btnCtgr = nullptr;

  bool TaskbarReady = false;
  QString OutputPath;
  bool cursor_saved_ = false;
  bool terminate_requested_ = false;

  // Children of the window: gone with it, after the controller and the rebuilder.
  UiWaker* waker_;
  UiWaker* rebuild_waker_;
  RunController controller_;
  window_model::TableRebuilder rebuilder_;
};

}  // namespace valmeric::app
