#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/csv_writer.h"
#include "engine/plan.h"
#include "engine/run_reports.h"
#include "engine/run_settings.h"
#include "common/scratch_file.h"
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
  Selection selection;
  std::string output_path;  // as chosen; ".csv" is completed here
  CsvEncoding encoding = CsvEncoding::kCp932;
  std::filesystem::path database_path;
  RunSettings settings;
};

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

  // The output file with its extension completed.
  const std::string& output_path() const { return output_path_; }
  // Asks the worker to stop: whatever it waits for is cut short.
  void Cancel();
  // Waits for the worker's thread to end (after its last report).
  void Wait();

 private:
  std::string output_path_;
  std::optional<RunLock> lock_;
  std::optional<ScratchFile> scratch_;  // outlives the worker, which downloads into it
  std::unique_ptr<TMyThread> worker_;
};

// The output path with ".csv" completed, as a run will write it.
std::string CompletedOutputPath(const std::string& chosen);

}  // namespace valmeric
