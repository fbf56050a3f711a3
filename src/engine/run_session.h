#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/platform/scratch_file.h"
#include "engine/csv_writer.h"
#include "engine/plan.h"
#include "engine/run_mode.h"
#include "engine/run_reports.h"
#include "engine/run_settings.h"
#include "refdb/reference_db.h"
#include "refdb/run_journal.h"
#include "refdb/run_lock.h"
#include "refdb/run_progress.h"

namespace valmeric {

class TMyThread;
struct RunConfig;

// Why a run could not start. Nothing was changed when one is raised.
enum class StartProblem {
  kDatabaseMissing,   // no database file
  kDatabaseBusy,      // another run holds the database
  kDatabaseUnusable,  // the file cannot be opened or read as our database
  kDatabaseWrite,     // the duplicate table cannot be emptied (read-only, locked, full)
  kOutputInUse,       // the old output file cannot be deleted, or is the database itself
  kNoPlanRows,        // the reference tables hold no city or no sub-category for the selection
  kScratch,           // no scratch file can be made beside the database
  kNothingToResume,   // no unfinished run is recorded
  kNothingToRetry,    // no finished run with entries not fetched is recorded
  kNoMorePages,       // no finished run with pairs whose later pages are unread is recorded
  kOutputChanged,     // the recorded run's CSV is gone, shorter or not the run's any more
  kPlanChanged,       // the reference tables changed since the recorded run started
  kRecordInvalid,     // the recorded values cannot be a run's (edited by hand or another program)
};

class StartRefused : public std::runtime_error {
 public:
  StartRefused(StartProblem problem, const std::string& detail)
      : std::runtime_error(detail), problem_(problem) {}
  StartProblem problem() const { return problem_; }

 private:
  StartProblem problem_;
};

struct RunRequest {
  RunMode mode = RunMode::kNew;
  // A new run's selection, file and encoding; resume and retry take the recorded ones.
  Selection selection;
  std::string output_path;  // as chosen; ".csv" is completed here
  CsvEncoding encoding = CsvEncoding::kCp932;
  // A new run's pages of each pair; resume and retry go on as recorded.
  PageScope pages = PageScope::kFirstPages;
  std::filesystem::path database_path;
  RunSettings settings;
};

// The run recorded in a database, as the window and the command line show it.
struct RecordedRun {
  Selection selection;
  std::string output_path;  // absolute
  CsvEncoding encoding = CsvEncoding::kCp932;
  // As the last checkpoint committed it: next_entry of plan_size (-1: stopped
  // before its plan was built).
  RunProgress progress;
  PageScope pages = PageScope::kFirstPages;
  // The list the run replaced, kept under a dated name, when it was collected
  // with the same ticks and encoding (absolute; empty when none), and the
  // pages that run read.
  std::string previous_path;
  std::optional<PageScope> previous_pages;

  // It stopped before the end of its plan: --resume goes on with it.
  bool Resumable() const {
    return progress.plan_size < 0 || progress.next_entry < progress.plan_size;
  }
  // It reached the end with entries not fetched or gone: --retry-failed asks
  // for them again.
  bool Retryable() const { return !Resumable() && progress.missing() > 0; }
  // It reached the end with pairs whose first page announced more than it
  // listed: --more-pages reads their later pages.
  bool HasMorePages() const { return !Resumable() && progress.beyond_pairs > 0; }
};

// How ReadRecordedRun may open the database.
enum class RecordRead {
  kOnlyRead,    // read-only, writing nothing
  kMayRecover,  // as a run opens it, where a crash left a journal or log to recover
};

// The run recorded in the database, or none. Opens the database read-only
// (OpenToRead) and writes nothing; with kMayRecover, a database that a crash
// left needing a recovery (which a reader cannot make) is opened as a run
// opens it instead. Throws DbError, also for a database that no command opens
// (empty, or with another database's -wal beside it).
std::optional<RecordedRun> ReadRecordedRun(const std::filesystem::path& database_path,
                                           RecordRead how = RecordRead::kOnlyRead);

// One run from its start to the end of its worker, the same for the window and
// the command line. Starting claims the database (its lock, a scratch file
// beside it), then prepares one of four starts: a new run, a resume, a
// retry or the later pages of a finished run. A new run's start never costs
// the user the old file: the duplicate table is emptied and the run recorded
// first, and only then is the old output file moved aside, in its folder, to
// a name with the day it was last modified. Nothing is deleted.
class RunSession final {
 public:
  // Prepares and starts the worker, which reports to reports. Throws
  // StartRefused.
  RunSession(const RunRequest& request, RunReports& reports);
  // Stops the worker (if it still runs) and waits for it.
  ~RunSession();
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // The output file with its extension completed (a resumed run's: as recorded).
  const std::string& output_path() const { return output_path_; }
  // A new run's start dropped this unfinished run that was recorded.
  const std::optional<RecordedRun>& dropped_run() const { return dropped_run_; }
  // A resumed or retried run: the run as recorded when it was taken up.
  const std::optional<RecordedRun>& taken_up() const { return taken_up_; }
  // A new run's start kept the file that was at its output path here (absolute).
  const std::optional<std::string>& kept_previous() const { return kept_previous_; }
  // The run as recorded at its start (its progress as it was then).
  const RecordedRun& run() const { return run_; }
  // Asks the worker to stop: whatever it waits for is cut short.
  void Cancel();
  // Waits for the worker's thread to end (after its last report).
  void Wait();

 private:
  std::string output_path_;
  std::optional<RecordedRun> dropped_run_;
  std::optional<RecordedRun> taken_up_;
  std::optional<std::string> kept_previous_;
  RecordedRun run_;
  std::optional<RunLock> lock_;
  std::optional<ScratchFile> scratch_;  // outlives the worker, which downloads into it
  std::unique_ptr<TMyThread> worker_;

  // The four starts: each checks what it needs, records what it changes and
  // returns its worker's configuration. Each throws StartRefused.
  RunConfig PrepareNewRun(const RunRequest& request, ReferenceDb& db);
  // Empties the duplicate table and records the new run, naming the list it
  // replaces (to be kept as kept) when the two may be compared.
  void RecordNewRun(const RunRequest& request, ReferenceDb& db,
                    const std::optional<std::string>& kept);
  RunConfig PrepareResume(const RunRequest& request, ReferenceDb& db);
  RunConfig PrepareRetry(const RunRequest& request, ReferenceDb& db);
  RunConfig PrepareMorePages(const RunRequest& request, ReferenceDb& db);
  // Resume and retry: the recorded run, checked and ready to be taken up
  // again; refused with nothing unless it fits (can be resumed, or retried).
  RunConfig TakeUpRecordedRun(const RunRequest& request, ReferenceDb& db, StartProblem nothing,
                              bool (RecordedRun::*fits)() const);
  // Takes the database's run lock, opens it into db and makes the run's
  // scratch file beside it.
  void ClaimDatabase(const std::filesystem::path& database, std::optional<ReferenceDb>& db);
};

// The record of a new run of selection into output_path, before its first checkpoint.
JournalRun NewRunRecord(const Selection& selection, const std::string& output_path,
                        CsvEncoding encoding, PageScope pages = PageScope::kFirstPages);

// The output path with ".csv" completed, as a run will write it.
std::string CompletedOutputPath(const std::string& chosen);

}  // namespace valmeric
