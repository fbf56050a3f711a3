#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "common/platform/cancel_token.h"
#include "engine/csv_writer.h"
#include "engine/duplicate_filter.h"
#include "engine/page_source.h"
#include "engine/plan.h"
#include "engine/result_page_reader.h"
#include "engine/run_mode.h"
#include "engine/run_outcome.h"
#include "engine/run_reports.h"
#include "engine/run_settings.h"
#include "refdb/reference_db.h"
#include "refdb/run_journal.h"

namespace valmeric {

// Everything one run needs, handed to its worker at the start. The run is
// recorded in the database before its worker starts (see RunSession).
struct RunConfig {
  RunMode mode = RunMode::kNew;
  PageScope pages = PageScope::kFirstPages;  // which pages of each pair are read
  std::string output_path;                   // the CSV file, created (or emptied) by a new run
  CsvEncoding encoding = CsvEncoding::kCp932;
  std::string scratch_path;   // where each result page is downloaded
  std::string database_path;  // the reference tables and the duplicate table
  Selection selection;
  RunSettings settings;  // settings.pages: where the pages come from
  // Resume and retry: the run as recorded, and its plan (checked against the
  // recorded one). A new run builds its plan itself.
  std::optional<JournalRun> recorded;
  std::optional<Plan> plan;
};

// The worker of one run: opens the CSV file, builds the plan, fetches and
// reads every entry's result page and reports how the run ended. It owns its
// database connection, its file, its plan and the run's progress; it reports
// to its owner through RunReports and never waits for the owner.
//
// Now and then, and when it stops, it commits a checkpoint: the CSV is made
// durable, then the journal (the progress, entries not fetched) is committed
// in one transaction with the duplicate table. A resumed run cuts the CSV
// back to the committed length and goes on with the next entry, so whatever
// stopped the run, nothing is written twice or lost.
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
  enum class EntryResult { kRead, kNotFetched, kGone, kInterrupted, kUnaskable };
  struct EntryReport {
    EntryResult result = EntryResult::kRead;
    long status = 0;  // the site's last answer for the page, 0 when none came
    int page = 1;     // the pair's page that was not fetched (1: its first)
    // Set when the pages read announced more facilities than they listed.
    std::optional<PairBeyondFirstPage> beyond;
    int skipped = 0;                      // entries without a usable facility code
    bool count_unreadable = false;        // the page's result count did not read as one
    std::optional<std::string> next_url;  // the last page's link to its next one
  };
  // How reading one of a pair's later pages went.
  enum class LaterPage { kRead, kNothingNew, kNotFetched, kInterrupted };
  // A result page asked for: what came, and its lines when there is a page to read.
  struct PageRead {
    FetchResult fetched;
    PageLines lines;
  };
  // Entries that could not be fetched, one after the other.
  struct FailedRow {
    int entries = 0;
    int gone = 0;   // of those, pages the site said do not exist
    int first = 0;  // the plan index of the first of them
  };
  // The CSV where an entry began: an entry cut short is taken back to it.
  struct CsvMark {
    std::int64_t bytes = 0;
    std::uint32_t crc = 0;
    int records = 0;
  };

  void Execute();
  RunOutcome RunPlan();
  // Opens the CSV, the database and the journal, builds the plan and commits
  // the first checkpoint; returns the plan indexes this start walks, in order.
  std::vector<int> StartWalk();
  // Opens the CSV: a new file with its header, or the recorded run's file cut
  // back to its committed length.
  void OpenOutput();
  std::vector<int> EntriesToWalk();
  // Reads the walk's entries until its end, a cancel or a row of failures
  // that stops the run; the mark of an entry cut short, if one was.
  std::optional<CsvMark> Walk(const std::vector<int>& walk);
  // The outcome of a walk that stopped without a local error.
  RunOutcome EndWalk(const std::optional<CsvMark>& cut_short);
  EntryReport ProcessQuery(size_t index, int position);

  // The pairs' later pages (worker_later_pages.cpp).
  bool FollowsLaterPages() const { return config_.pages != PageScope::kFirstPages; }
  // A pass over recorded entries (a retry, or the later pages of a finished
  // run) rather than a walk of the plan.
  bool IsPass() const {
    return config_.mode == RunMode::kRetryFailed || config_.mode == RunMode::kMorePages;
  }
  // The pair a resume finds under way: what its pages read so far left.
  bool GoesOnWithPair(int index) const;
  EntryReport PairUnderWay(size_t index, int position);
  // Reads the pair's later pages as their links lead, one step each, until
  // the pair ends; report, the first page's, becomes the pair's. The mark of
  // a page cut short, if one was.
  std::optional<CsvMark> FollowPages(int index, Savepoint& step, EntryReport& report);
  // Whether the pair's pages end before its next page, and why.
  std::optional<PagesEnd> PagesEndBefore(const EntryReport& report) const;
  LaterPage ReadLaterPage(int index, EntryReport& report);
  // The pair's first page led on: what it held goes into the journal.
  void BeginLaterPages(int index, const EntryReport& report);
  // Takes a pair's end into its report: counted, and recorded when its
  // pages listed less than announced.
  void EndPairPages(EntryReport& report, PagesEnd end);
  // Fetches a result page; a page that arrives but is no result page is
  // asked again after the retry delays, then counts as not fetched.
  PageRead FetchResultPage(const std::string& url);
  // The page in the scratch file, split into lines until the run is cancelled.
  PageLines LoadPage() const;
  // Counts a fetch in the row of failures; true when the page arrived.
  bool CountInRow(const FetchResult& fetched);
  // Takes what one entry left into the progress and the (uncommitted) journal.
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
  // A retry's counts of entries left to fetch, as the journal now holds them.
  void RecountLeftToFetch();
  // Takes the entry cut short back: the file ends where it began.
  void CutBack(const CsvMark& mark);
  // Makes the CSV durable, then commits the journal with the duplicate table.
  void Checkpoint();
  // Opens a step (an entry, or a later page of one) inside its savepoint; the
  // CSV's mark where it begins.
  CsvMark BeginStep(Savepoint& step);
  // Commits a checkpoint when the last one is checkpoint_interval old.
  void CheckpointWhenDue();
  // Commits the progress with the duplicate table, the CSV taken as mark says.
  void CommitProgress(const CsvMark& mark);
  CsvMark MarkOnDisk();
  // Record lines in the file, the header left out (an earlier start's included).
  void CountRecordsOnDisk();

  // ResultPageSink
  bool CheckHspCode(const std::string& code) override;
  void WriteRecord(const Record& record) override;
  void ShowPairStatus(int done, int total) override {
    reports_.PairCounts(done, total, records_handed_);
  }
  // A cancel is heard while a page is read too: the entry is then taken
  // back, as one whose transfer was cut short.
  bool CancelRequested() override { return cancel_.IsCancelled(); }

  const RunConfig config_;
  RunReports& reports_;
  CancelToken cancel_;
  const std::shared_ptr<PageSource> pages_;
  std::thread thread_;

  // Run state, the worker thread's alone.
  std::optional<ReferenceDb> db_;
  std::optional<RunJournal> journal_;
  std::optional<DuplicateFilter> filter_;
  Plan plan_;
  CsvFile out_file_;
  RunProgress progress_;
  WalkEnd end_;
  FailedRow row_;
  std::string last_error_;      // why the last page that could not be fetched failed
  bool output_opened_ = false;  // this start opened (or created) the CSV file
  bool cut_back_ = false;       // an entry cut short was taken back from the file
  int records_base_ = 0;        // records on disk = records_base_ + lines on disk
  int records_handed_ = 0;      // record lines handed to the file, buffered ones included
  std::chrono::steady_clock::time_point last_checkpoint_;
  // The pair being read, when later pages are followed: the addresses of
  // its pages read and the codes they listed, and the codes new to it on
  // the page being read.
  std::unordered_set<std::string> pair_pages_;
  std::unordered_set<std::string> pair_codes_;
  int page_new_codes_ = 0;
  bool in_later_pages_ = false;  // codes go into the journal as they come
};

}  // namespace valmeric
