#pragma once

#include <QWidget>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/selection_group.h"
#include "app/ui_call_gate.h"
#include "common/page_fetcher.h"
#include "common/site_address.h"
#include "engine/worker.h"
#include "refdb/reference_db.h"
#include "refdb/run_lock.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace valmeric::desktop {
class TVistaAltFix;
}

namespace valmeric::app {

class Dialogs;

// How runs reach the site. The program always uses the defaults; tests point
// the window at a server of their own and shorten the waits.
struct RunTuning {
  SiteOrigin origin;
  std::string ca_file;
  RetryPolicy retry;
  std::chrono::milliseconds page_pause{500};
  int max_failed_entries_in_row = 3;
};

// The main window: the two selection lists, the start and cancel buttons, the
// status label and the progress bar. It owns the database connection, starts
// each run's worker and shows the run's outcome.
class TFrmMain final : public QWidget {
  Q_OBJECT

 public:
  // RunState values beyond the run's own outcome.
  enum : int {
    kRunStarted = 0,     // at the end: finished, something written
    kRunNothing = 1,     // finished, nothing written
    kRunCancelled = 2,
    kCloseConfirmed = 5,
    kClosing = 6,
    kRunFailed = 8,
    kSiteUnreachable = 9,
  };

  // database_path: the reference database (db/hpt_data.db beside the
  // program); the settings file and the run's scratch files go beside it.
  TFrmMain(Dialogs& dialogs, std::filesystem::path database_path, QWidget* parent = nullptr);
  ~TFrmMain() override;

  void setRunTuning(RunTuning tuning) { tuning_ = std::move(tuning); }

  SelectionGroup& categories() { return categories_; }
  SelectionGroup& prefectures() { return prefectures_; }
  int runState() const { return RunState; }
  bool taskbarReady() const { return TaskbarReady; }
  bool dbReady() const { return DbReady; }
  const QString& outputPath() const { return OutputPath; }
  bool hasWorker() const { return Worker != nullptr; }
  // The end of the application has been asked for (configuration error, or
  // a close during a run).
  bool terminateRequested() const { return terminate_requested_; }
  // Scratch file of the run the window holds; empty when it holds none.
  std::string currentScratchPath() const;
  std::filesystem::path settingsPath() const;
  // Runs whose worker has not made its last call yet, runs let go of included.
  int runsStillCalling() const;

  // Handlers, named after the control and event they serve.
  void btnActionClick();
  void btnCancelClick();
  void btnAreaClick();
  void btnCtgrClick();
  void chkCtgrClick(bool checked) { categories_.ClickAll(checked); }
  void chkAreaClick(bool checked) { prefectures_.ClickAll(checked); }
  void lstCtgrClickCheck(int row, bool ticked) { categories_.ItemToggled(row, ticked); }
  void lstAreaClickCheck(int row, bool ticked) { prefectures_.ItemToggled(row, ticked); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  class RunBridge;

  void FormCreate();
  void CreateControls();
  void BindGroup(SelectionGroup& group, QCheckBox* all_box, QListWidget* list);
  void CheckConfig();
  void LoadSettings();
  void SaveSettingsQuietly();
  void FinishRun(int state);
  void Terminate();
  bool Running() const;
  int ResultCode() const;
  void SetStatusText(const QString& text);
  void SetRunningLook(bool running);
  Database& Db();
  void ForgetWorker();
  void ReapEndedRuns();
  void ReleaseRunLockWhenIdle();
  // Runs a handler; whatever it throws goes to the default error display.
  template <typename Fn>
  void Guarded(Fn&& fn);

  // Called by the run's worker inside synchronized calls.
  void InitProgress(int maximum);
  void StepProgress();

  Dialogs& dialogs_;
  const std::filesystem::path database_path_;
  RunTuning tuning_;
  SelectionGroup categories_;
  SelectionGroup prefectures_;
  UiCallGate gate_;

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
  desktop::TVistaAltFix* altFix_ = nullptr;

  // Where window and worker meet.
  std::shared_ptr<TMyThread> Worker;
  bool TaskbarReady = false;
  QString OutputPath;
  bool DbReady = false;
  int RunState = 0;
  bool cursor_saved_ = false;
  bool terminate_requested_ = false;

  std::optional<ReferenceDb> db_;
  std::optional<RunLock> run_lock_;
  // Every run whose worker may still call in, the one held last included.
  std::vector<std::unique_ptr<RunBridge>> runs_;
  RunBridge* current_ = nullptr;
};

}  // namespace valmeric::app
