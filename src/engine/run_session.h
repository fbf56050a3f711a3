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
#include "refdb/run_lock.h"

namespace valmeric {

class TMyThread;

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
  std::filesystem::path database_path;
  RunSettings settings;
};

// The run recorded in a database, as the window and the command line show it.
struct RecordedRun {
  Selection selection;
  std::string output_path;  // absolute
  CsvEncoding encoding = CsvEncoding::kCp932;
  int plan_size = -1;  // -1: stopped before its plan was built
  int entries_done = 0;
  int facilities_written = 0;
  int not_fetched = 0;  // pages that could not be fetched
  int gone = 0;         // pages the site said do not exist
  int beyond_first_page = 0;
  int beyond_pairs = 0;

  // It stopped before the end of its plan: --resume goes on with it.
  bool Resumable() const { return plan_size < 0 || entries_done < plan_size; }
  // It reached the end with entries not fetched or gone: --retry-failed asks
  // for them again.
  bool Retryable() const { return !Resumable() && not_fetched + gone > 0; }
};

// The run recorded in the database, or none. Writes nothing. Throws DbError.
std::optional<RecordedRun> ReadRecordedRun(const std::filesystem::path& database_path);

// "cp932" or "utf-8".
const char* EncodingName(CsvEncoding encoding);

// One run from its start to the end of its worker, the same for the window and
// the command line. Starting prepares in an order that never costs the user
// the old file for nothing: the database is claimed and its duplicate table
// emptied first, and only then is the old output file deleted.
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
  // Asks the worker to stop: whatever it waits for is cut short.
  void Cancel();
  // Waits for the worker's thread to end (after its last report).
  void Wait();

 private:
  std::string output_path_;
  std::optional<RecordedRun> dropped_run_;
  std::optional<RecordedRun> taken_up_;
  std::optional<RunLock> lock_;
  std::optional<ScratchFile> scratch_;  // outlives the worker, which downloads into it
  std::unique_ptr<TMyThread> worker_;
};

// The output path with ".csv" completed, as a run will write it.
std::string CompletedOutputPath(const std::string& chosen);

}  // namespace valmeric
