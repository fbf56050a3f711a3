#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "engine/refresh_report.h"
#include "engine/run_outcome.h"
#include "engine/run_reports.h"
#include "engine/run_session.h"
#include "engine/run_settings.h"
#include "engine/run_view.h"
#include "engine/workbook_export.h"

namespace valmeric {

// The window's side of a run, with no toolkit in it: the start button, the
// cancel button (which also serves the end of the run), the close request,
// and the end of a run shown as a message. The window draws and wires; every
// rule about a run lives here. All calls come on the window's thread.
class RunController final {
 public:
  // RunState: the state of the current run and, after it, its outcome.
  enum State : int {
    kRunStarted = 0,       // at the end: finished, something written
    kRunNothing = 1,       // finished, nothing written
    kRunCancelled = 2,     // the user confirmed cancelling
    kRunIncomplete = 3,    // finished, but some pages could not be fetched
    kCloseConfirmed = 5,   // the user confirmed closing the window
    kClosing = 6,          // the worker was asked to stop; the application ends after it
    kRunFailed = 8,        // a local error stopped the run
    kSiteUnreachable = 9,  // the site could not be reached
  };

  // wake is called on the worker's thread when the run has news; the window
  // then calls Poll on its own thread. It must not block.
  RunController(RunView& view, std::filesystem::path database_path, RunSettings settings,
                std::function<void()> wake);
  // Stops a run still going and waits for its worker.
  ~RunController();
  RunController(const RunController&) = delete;
  RunController& operator=(const RunController&) = delete;

  // After the database check at start-up: when the database records an
  // unfinished run, asks whether to resume it, and on yes resumes it with its
  // ticks restored. On no the record stays until the next start drops it.
  void StartupCheck();
  void ActionClick();
  void CancelClick();
  // The window is asked to close; true when it may.
  bool CloseQuery();
  // Shows the run's news; finishes the run once its worker has ended.
  void Poll();

  int run_state() const { return state_; }
  // A worker exists and has not ended yet.
  bool running() const { return session_ != nullptr; }
  const std::string& output_path() const { return output_path_; }
  const RunOutcome& last_outcome() const { return outcome_; }
  // Where the last new run kept the list it replaced.
  const std::optional<std::string>& kept_previous() const { return kept_previous_; }
  // The change report the last run wrote by itself, if one was due.
  const std::optional<RefreshReport>& refresh_report() const { return report_; }
  // The workbook the last run wrote beside its CSV, when one was asked for.
  const std::optional<RunWorkbook>& workbook() const { return workbook_; }
  const RunSettings& settings() const { return settings_; }

 private:
  // Starts a session for request; shows why not and returns false when refused.
  bool StartRun(const RunRequest& request);
  void WorkerEnded(const RunOutcome& outcome);
  void DropRun();
  void FinishRun(int state);
  void OfferToOpen(const std::string& text);
  // The workbook of the finished run's CSV, when the run is to have one;
  // text with what became of it below.
  std::string WithWorkbook(const std::string& text);
  // A finished run with pages not fetched: offers to fetch just those again;
  // true when that run has started.
  bool OfferRetry();
  // After a run that left pairs' later pages unread: asks whether to read
  // them now into the same file; true when that run started.
  bool OfferMorePages();
  // text, with the run's notes below it (facilities beyond the first result
  // pages, entries skipped, counts unreadable), if any.
  std::string WithNotes(const std::string& text) const;
  // text, with where the replaced list is kept and the change report below it.
  std::string WithRefresh(const std::string& text) const;
  void ShowWithRefresh(UserMessage message);
  // The end question's line: the facilities saved and the file's full path.
  std::string SavedLine() const;
  // What the status line keeps once the window is idle again.
  std::string IdleStatus(int state) const;
  int Ask(const std::string& text, const char* title, unsigned style);

  RunView& view_;
  const std::filesystem::path database_path_;
  const RunSettings settings_;
  const std::function<void()> wake_;

  int state_ = kRunStarted;
  bool running_look_ = false;
  std::string output_path_;
  RunOutcome outcome_;
  // The run as its session recorded it at its start: the list it replaced.
  RecordedRun run_;
  std::optional<std::string> kept_previous_;
  std::optional<RefreshReport> report_;
  bool wants_workbook_ = false;  // the Excel type was chosen, or a resumed run has one
  std::optional<RunWorkbook> workbook_;
  int shown_position_ = 0;
  int shown_later_found_ = 0;
  int written_ = 0;        // facility lines in the file, as last heard of
  int entries_total_ = 0;  // the walk's plan entries, later pages left out
  // The run's reports outlive its session: the worker reports to them until it ends.
  std::unique_ptr<RunReports> reports_;
  std::unique_ptr<RunSession> session_;
};

// RunState for a run that ended by itself with outcome.
int StateForOutcome(const RunOutcome& outcome);

}  // namespace valmeric
