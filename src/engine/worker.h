#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/cancel_token.h"
#include "common/page_fetcher.h"
#include "engine/csv_writer.h"
#include "engine/duplicate_filter.h"
#include "engine/plan.h"
#include "engine/result_page_reader.h"
#include "engine/run_outcome.h"
#include "engine/run_reports.h"
#include "engine/run_settings.h"
#include "refdb/reference_db.h"

namespace valmeric {

// Everything one run needs, handed to its worker at the start.
struct RunConfig {
  std::string output_path;    // the CSV file, created (or emptied) by the run
  CsvEncoding encoding = CsvEncoding::kCp932;
  std::string scratch_path;   // where each result page is downloaded
  std::string database_path;  // the reference tables and the duplicate table
  Selection selection;
  RunSettings settings;
};

// The worker of one run: opens the CSV file, builds the plan, fetches and
// reads every entry's result page and reports how the run ended. It owns its
// database connection, its file and its plan; it reports to its owner through
// RunReports and never waits for the owner.
class TMyThread final : private ResultPageSink {
 public:
  // Created suspended; Resume starts it.
  TMyThread(RunConfig config, RunReports& reports);
  // Asks the run to stop and waits for its thread.
  ~TMyThread() override;
  TMyThread(const TMyThread&) = delete;
  TMyThread& operator=(const TMyThread&) = delete;

  void Resume();
  // Asks the run to stop: the transfer or wait under way is cut short and no
  // further entry is started.
  void Terminate() { cancel_.Cancel(); }
  // Waits until the thread has ended.
  void WaitFor();

 private:
  // How one plan entry went.
  enum class EntryResult { kRead, kNotFetched, kInterrupted };

  void Execute();
  RunOutcome RunPlan();
  EntryResult ProcessQuery(size_t index);
  // Record lines that reached the file, the header left out.
  int RecordsOnDisk() const;

  // ResultPageSink
  bool CheckHspCode(const std::string& code) override { return filter_->CheckHspCode(code); }
  void WriteRecord(const Record& record) override;
  void ShowPairStatus(int done, int total) override { reports_.PairCounts(done, total, lines_written_); }
  bool CancelRequested() override;

  const RunConfig config_;
  RunReports& reports_;
  CancelToken cancel_;
  PageFetcher fetcher_;
  std::thread thread_;

  // Run state, the worker thread's alone.
  std::optional<ReferenceDb> db_;
  std::optional<DuplicateFilter> filter_;
  Plan plan_;
  CsvFile out_file_;
  RunTally tally_;
  int failed_entries_in_row_ = 0;
  int lines_written_ = 0;   // record lines handed to the file, buffered ones included
  bool cut_short_ = false;  // the page being read was left on a cancel request
};

}  // namespace valmeric
