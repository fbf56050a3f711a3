#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/network/page_fetcher.h"
#include "common/platform/cancel_token.h"
#include "engine/csv_writer.h"
#include "engine/duplicate_filter.h"
#include "engine/plan.h"
#include "engine/result_page_reader.h"
#include "engine/run_mode.h"
#include "engine/run_outcome.h"
#include "engine/run_reports.h"
#include "engine/run_settings.h"
#include "refdb/reference_db.h"
#include "refdb/run_journal.h"

namespace valmeric {

// Everything one run needs, handed to its worker at the start.
struct RunConfig {
  RunMode mode = RunMode::kNew;
  std::string output_path;  // the CSV file, created (or emptied) by a new run
  CsvEncoding encoding = CsvEncoding::kCp932;
  std::string scratch_path;   // where each result page is downloaded
  std::string database_path;  // the reference tables and the duplicate table
  Selection selection;
  RunSettings settings;
  // Resume and retry: the run as recorded, and its plan (checked against the
  // recorded one). A new run builds its plan itself and has no record yet.
  std::optional<JournalRun> recorded;
  std::optional<Plan> plan;
};

// The worker of one run: opens the CSV file, builds the plan, fetches and
// reads every entry's result page and reports how the run ended. It owns its
// database connection, its file and its plan; it reports to its owner through
// RunReports and never waits for the owner.
//
// Now and then, and when it stops, it commits a checkpoint: the CSV is made
// durable, then the journal (entries done, the CSV's length, entries not
// fetched) is committed in one transaction with the duplicate table. A
// resumed run cuts the CSV back to the committed length and goes on with the
// next entry, so whatever stopped the run, nothing is written twice or lost.
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
  enum class EntryResult { kRead, kNotFetched, kGone, kInterrupted };
  struct EntryReport {
    EntryResult result = EntryResult::kRead;
    long status = 0;  // the site's last answer for the page, 0 when none came
    // Set when the page announced more facilities than it listed.
    std::optional<PairBeyondFirstPage> beyond;
  };

  void Execute();
  RunOutcome RunPlan();
  // Opens the CSV: a new file with its header, or the recorded run's file cut
  // back to its committed length.
  void OpenOutput();
  // The plan indexes this start walks, in order.
  std::vector<int> EntriesToWalk();
  EntryReport ProcessQuery(size_t index, int position);
  // Takes what one entry left into the tally and the (uncommitted) journal.
  void TakeEntry(int index, const EntryReport& report);
  // After a row of failures: true while the site still answers as a site,
  // which its sub-category list page shows. A row of pages that do not
  // exist then says nothing against the site.
  bool SiteStillAnswers();
  // Whether a row of failures ends the run as a site that cannot be reached.
  bool RowStopsTheRun();
  // A run none of whose pages exist: true when the site itself is gone too.
  bool EveryPageGoneAndSiteDown();
  // A new run whose file was never opened leaves no record to go on with.
  void DropRecordOfUnopenedRun(RunOutcome& outcome);
  // A run the site stopped goes on, when resumed, with the entries that failed in a row at its end.
  void RewindFailedRow();
  // Makes the CSV durable, then commits the journal with the duplicate table.
  void Checkpoint();
  // Commits the journal with the duplicate table, the CSV taken as csv_bytes
  // long with that CRC-32.
  void CommitProgress(std::int64_t csv_bytes, std::uint32_t csv_crc, int records);
  // Record lines in the file, the header left out (an earlier start's included).
  int RecordsOnDisk() const;

  // ResultPageSink
  bool CheckHspCode(const std::string& code) override { return filter_->CheckHspCode(code); }
  void WriteRecord(const Record& record) override;
  void ShowPairStatus(int done, int total) override {
    reports_.PairCounts(done, total, lines_written_);
  }
  // A page that has arrived is read to its end, whatever the user asks
  // meanwhile: reading takes a moment, and the entry then stays whole.
  bool CancelRequested() override { return false; }

  const RunConfig config_;
  RunReports& reports_;
  CancelToken cancel_;
  PageFetcher fetcher_;
  std::thread thread_;

  // Run state, the worker thread's alone.
  std::optional<ReferenceDb> db_;
  std::optional<RunJournal> journal_;
  std::optional<DuplicateFilter> filter_;
  Plan plan_;
  CsvFile out_file_;
  RunTally tally_;
  int failed_entries_in_row_ = 0;
  int gone_entries_in_row_ = 0;  // of those, pages the site said do not exist
  bool output_opened_ = false;   // this start opened (or created) the CSV file
  int lines_written_ = 0;        // record lines handed to the file, buffered ones included
  int records_before_ = 0;       // record lines an earlier start left in the file
  int header_lines_ = 0;         // 1 when this start wrote the header
  int next_entry_ = 0;           // the plan entry a resume would start with
  int beyond_first_page_ = 0;
  int beyond_pairs_ = 0;
  std::int64_t plan_check_ = 0;
  int failed_row_start_ = 0;    // the first of the entries that failed in a row
  int truncated_records_ = -1;  // the records left after an entry cut short was taken back
  std::chrono::steady_clock::time_point last_checkpoint_;
};

}  // namespace valmeric
