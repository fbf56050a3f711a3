#include "engine/worker.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "common/network/site_address.h"
#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"
#include "common/text/sjis_text.h"
#include "common/text/split_text.h"
#include "engine/run_session.h"
#include "messages/detail_text.h"
#include "refdb/list_page_readers.h"

namespace valmeric {
namespace {

constexpr int kPlanFields = 5;

RunOutcome DescribeFailure(const std::exception& error) {
  RunOutcome outcome;
  outcome.kind = Outcome::kFailed;
  outcome.detail = error.what();
  outcome.failure = FailureKind::kScratch;
  if (dynamic_cast<const OutputError*>(&error)) {
    outcome.failure = FailureKind::kOutput;
  } else if (const auto* db = dynamic_cast<const DbError*>(&error)) {
    outcome.failure =
        db->IsWriteFailure() ? FailureKind::kDatabaseWrite : FailureKind::kDatabaseRead;
  }
  return outcome;
}

// Runs a prepared statement once more.
void Run(Statement& statement) {
  statement.Reset();
  statement.Execute();
  statement.Reset();
}

}  // namespace

TMyThread::TMyThread(RunConfig config, RunReports& reports)
    : config_(std::move(config)),
      reports_(reports),
      fetcher_(config_.settings.download, config_.settings.retry, cancel_) {}

TMyThread::~TMyThread() {
  Terminate();
  WaitFor();
}

void TMyThread::Resume() {
  thread_ = std::thread([this] { Execute(); });
}

void TMyThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TMyThread::Execute() {
  RunOutcome outcome;
  try {
    outcome = RunPlan();
  } catch (const std::exception& error) {
    outcome = DescribeFailure(error);
  } catch (...) {
    outcome.kind = Outcome::kFailed;
    outcome.failure = FailureKind::kScratch;
    outcome.detail = detail::kUnknownError;
  }
  // A run that failed keeps its last checkpoint: what it did since is
  // dropped from the database here and read again when the run is resumed.
  if (db_) db_->db().Rollback();
  // Close what can be closed; a failure here comes after the run's first one.
  try {
    out_file_.Close();
  } catch (const OutputError& error) {
    if (outcome.kind != Outcome::kFailed) outcome = DescribeFailure(error);
  }
  filter_.reset();
  journal_.reset();
  db_.reset();
  if (outcome.kind == Outcome::kFailed) DropRecordOfUnopenedRun(outcome);
  outcome.facilities_written = RecordsOnDisk();
  outcome.entries_done = tally_.entries_done;
  outcome.entries_total = tally_.entries_total;
  if (config_.mode != RunMode::kRetryFailed) {
    outcome.entries_not_fetched = tally_.entries_not_fetched;
    outcome.entries_gone = tally_.entries_gone;
  }
  outcome.beyond_first_page = beyond_first_page_;
  outcome.beyond_pairs = beyond_pairs_;
  reports_.Ended(std::move(outcome));
}

void TMyThread::DropRecordOfUnopenedRun(RunOutcome& outcome) {
  if (config_.mode != RunMode::kNew || output_opened_) return;
  try {
    Database db(config_.database_path);
    if (RunJournal::Read(db)) {
      db.Begin();
      RunJournal::Clear(db);
      db.Commit();
    }
    outcome.recorded = false;
  } catch (const DbError&) {  // the record stays; a resume then meets the same file error
  }
}

void TMyThread::OpenOutput() {
  const std::optional<JournalRun>& recorded = config_.recorded;
  if (recorded && recorded->csv_bytes > 0) {
    // Counted before the file is opened: a file that cannot be opened now
    // still holds what the run wrote.
    records_before_ = recorded->facilities_written;
    lines_written_ = records_before_;
    out_file_.Reopen(config_.output_path, config_.encoding, recorded->csv_bytes,
                     static_cast<std::uint32_t>(recorded->csv_crc.value_or(0)));
    output_opened_ = true;
    return;
  }
  out_file_.Open(config_.output_path, config_.encoding);
  output_opened_ = true;
  out_file_.WriteLine(CsvHeaderLine());
  header_lines_ = 1;
  SyncFolderOf(config_.output_path);
}

std::vector<int> TMyThread::EntriesToWalk() {
  std::vector<int> indexes;
  if (config_.mode == RunMode::kRetryFailed) {
    for (int index : RunJournal::NotFetched(db_->db())) {
      if (index >= 0 && static_cast<size_t>(index) < plan_.size()) indexes.push_back(index);
    }
    return indexes;
  }
  for (size_t i = static_cast<size_t>(next_entry_); i < plan_.size(); ++i)
    indexes.push_back(static_cast<int>(i));
  return indexes;
}

RunOutcome TMyThread::RunPlan() {
  const bool retry = config_.mode == RunMode::kRetryFailed;
  OpenOutput();
  db_.emplace(config_.database_path);
  Database& db = db_->db();
  plan_ = config_.plan ? *config_.plan : BuildPlan(db, config_.selection);
  plan_check_ = PlanCheck(plan_);
  if (config_.mode == RunMode::kNew && !RunJournal::Read(db)) {
    // Started without a session, which records the run before its worker starts.
    JournalRun run;
    run.categories = config_.selection.categories;
    run.prefectures = config_.selection.prefectures;
    run.output_path = Utf8FromPath(std::filesystem::absolute(PathFromUtf8(config_.output_path)));
    run.encoding = EncodingName(config_.encoding);
    db.Begin();
    RunJournal::EnsureSchema(db);
    RunJournal::StartNew(db, run);
    db.Commit();
  }
  journal_.emplace(db);
  filter_.emplace(db);
  if (config_.recorded) {
    next_entry_ = config_.recorded->entries_done;
    if (!retry) {
      tally_.entries_not_fetched = config_.recorded->not_fetched;
      tally_.entries_gone = config_.recorded->gone;
    }
    beyond_first_page_ = config_.recorded->beyond_first_page;
    beyond_pairs_ = config_.recorded->beyond_pairs;
  }
  const std::vector<int> walk = EntriesToWalk();
  tally_.entries_total = static_cast<int>(retry ? walk.size() : plan_.size());
  tally_.entries_done = retry ? 0 : next_entry_;
  reports_.PlanReady(tally_.entries_total, tally_.entries_done);
  Checkpoint();  // the plan's size and the header

  Statement savepoint = db.Prepare("SAVEPOINT entry");
  Statement release = db.Prepare("RELEASE entry");
  Statement undo = db.Prepare("ROLLBACK TO entry");
  // Where the entry being read started, to take back an entry cut short.
  std::int64_t entry_bytes = out_file_.bytes_on_disk();
  std::uint32_t entry_crc = out_file_.crc_on_disk();
  int entry_records = RecordsOnDisk();
  bool interrupted = false;
  for (size_t k = 0; k < walk.size() && !cancel_.IsCancelled(); ++k) {
    const int index = walk[k];
    db.Begin();
    Run(savepoint);
    out_file_.Flush();
    entry_bytes = out_file_.bytes_on_disk();
    entry_crc = out_file_.crc_on_disk();
    entry_records = RecordsOnDisk();
    const EntryReport report =
        ProcessQuery(static_cast<size_t>(index), retry ? static_cast<int>(k) + 1 : index + 1);
    if (report.result == EntryResult::kInterrupted) {
      Run(undo);
      Run(release);
      interrupted = true;
      break;
    }
    Run(release);
    out_file_.Flush();
    TakeEntry(index, report);
    if (RowStopsTheRun()) {
      tally_.failed_in_row_limit = true;
      break;
    }
    if (std::chrono::steady_clock::now() - last_checkpoint_ >=
        config_.settings.checkpoint_interval) {
      Checkpoint();
    }
  }
  tally_.cancelled = cancel_.IsCancelled();
  tally_.facilities_written = interrupted ? entry_records : RecordsOnDisk();
  if (!interrupted && !tally_.cancelled && !tally_.failed_in_row_limit)
    tally_.site_down = EveryPageGoneAndSiteDown();
  RunOutcome outcome;
  outcome.kind = DecideOutcome(tally_);
  if (outcome.kind == Outcome::kSiteUnreachable || outcome.kind == Outcome::kIncomplete) {
    outcome.detail = fetcher_.last_error();
  }
  if (outcome.kind == Outcome::kSiteUnreachable && !retry) RewindFailedRow();
  if (interrupted) {
    // The entry cut short is taken back: the file ends where it began.
    out_file_.Sync();
    CommitProgress(entry_bytes, entry_crc, entry_records);
    out_file_.Close();
    if (!TruncateFile(config_.output_path, static_cast<std::uint64_t>(entry_bytes))) {
      throw OutputError(FileDetail(detail::kCannotCutBack, config_.output_path, {}));
    }
    truncated_records_ = entry_records;
  } else {
    Checkpoint();
  }
  if (retry) {
    // What is left to fetch again: the entries that failed once more, and
    // any the walk did not reach.
    const std::optional<JournalRun> left = RunJournal::Read(db);
    outcome.entries_not_fetched = left ? left->not_fetched : 0;
    outcome.entries_gone = left ? left->gone : 0;
  }
  return outcome;
}

void TMyThread::TakeEntry(int index, const EntryReport& report) {
  const bool retry = config_.mode == RunMode::kRetryFailed;
  ++tally_.entries_done;
  if (report.result == EntryResult::kNotFetched || report.result == EntryResult::kGone) {
    ++(report.result == EntryResult::kGone ? tally_.entries_gone : tally_.entries_not_fetched);
    if (failed_entries_in_row_ == 1) failed_row_start_ = index;
    // A retried entry stays recorded, with what the site answered this time.
    journal_->AddNotFetched(index, plan_.Entry(static_cast<size_t>(index)), report.status);
  } else if (retry) {
    journal_->RemoveNotFetched(index);
  }
  if (report.beyond) {
    journal_->AddBeyondFirstPage(*report.beyond);
    beyond_first_page_ += report.beyond->announced - report.beyond->listed;
    ++beyond_pairs_;
  }
  if (!retry) next_entry_ = index + 1;
}

bool TMyThread::RowStopsTheRun() {
  if (failed_entries_in_row_ < config_.settings.max_failed_entries_in_row) return false;
  if (gone_entries_in_row_ < failed_entries_in_row_ || !SiteStillAnswers()) return true;
  // Pages that do not exist, on a site that answers: a city merged away or
  // a sub-category dropped. The run goes on, and a new row starts counting.
  failed_entries_in_row_ = 0;
  gone_entries_in_row_ = 0;
  return false;
}

bool TMyThread::EveryPageGoneAndSiteDown() {
  const int fetched = tally_.entries_done - tally_.entries_not_fetched - tally_.entries_gone;
  if (tally_.entries_gone == 0 || tally_.entries_not_fetched > 0 || fetched > 0) return false;
  return !SiteStillAnswers();
}

bool TMyThread::SiteStillAnswers() {
  const FetchResult fetched = fetcher_.FetchPage(SubCategoryListUrl(), config_.scratch_path);
  // A cancel says nothing of the site; the walk stops on it anyway.
  if (fetched.kind == FetchResult::kCancelled) return true;
  cancel_.WaitFor(config_.settings.page_pause);
  if (fetched.kind != FetchResult::kFetched) return false;
  return !ReadSubCategoryListPage(LoadLines(config_.scratch_path)).empty();
}

void TMyThread::RewindFailedRow() {
  if (failed_entries_in_row_ <= 0) return;
  tally_.entries_done -= next_entry_ - failed_row_start_;
  tally_.entries_not_fetched -= failed_entries_in_row_ - gone_entries_in_row_;
  tally_.entries_gone -= gone_entries_in_row_;
  next_entry_ = failed_row_start_;
  journal_->RemoveNotFetchedFrom(next_entry_);
}

void TMyThread::Checkpoint() {
  out_file_.Sync();
  CommitProgress(out_file_.bytes_on_disk(), out_file_.crc_on_disk(), RecordsOnDisk());
}

void TMyThread::CommitProgress(std::int64_t csv_bytes, std::uint32_t csv_crc, int records) {
  Database& db = db_->db();
  JournalProgress progress;
  progress.plan_size = static_cast<int>(plan_.size());
  progress.plan_check = plan_check_;
  progress.entries_done =
      config_.mode == RunMode::kRetryFailed ? config_.recorded->entries_done : next_entry_;
  progress.csv_bytes = csv_bytes;
  progress.csv_crc = csv_crc;
  progress.facilities_written = records;
  db.Begin();
  journal_->SaveProgress(progress);
  db.Commit();
  last_checkpoint_ = std::chrono::steady_clock::now();
}

TMyThread::EntryReport TMyThread::ProcessQuery(size_t index, int position) {
  const std::string entry = plan_.Entry(index);
  reports_.EntryStarted(position, entry);
  std::vector<std::string> fields;
  SplitText(entry, ",", fields);
  if (fields.size() != kPlanFields) return {};

  const FetchResult fetched =
      fetcher_.FetchPage(ResultPageUrl(fields[2], fields[3]), config_.scratch_path);
  // Only a transfer still under way is given up: its entry is taken back.
  if (fetched.kind == FetchResult::kCancelled) return {EntryResult::kInterrupted, 0, std::nullopt};
  const bool ok = fetched.kind == FetchResult::kFetched;
  if (ok) {
    failed_entries_in_row_ = 0;
    gone_entries_in_row_ = 0;
  } else {
    ++failed_entries_in_row_;
    if (fetched.kind == FetchResult::kGone) ++gone_entries_in_row_;
  }
  cancel_.WaitFor(config_.settings.page_pause);

  std::vector<std::string> lines;
  if (fetched.has_body) lines = LoadLines(config_.scratch_path);
  PairCounts counts;
  if (lines.empty()) {
    ShowPairStatus(0, 0);
  } else {
    counts = ReadResultPage(lines, *this);
  }
  EntryReport report;
  report.status = fetched.status;
  if (fetched.kind == FetchResult::kGone) {
    report.result = EntryResult::kGone;
  } else if (!ok) {
    report.result = EntryResult::kNotFetched;
  } else if (counts.total > counts.done) {
    report.beyond = PairBeyondFirstPage{static_cast<int>(index), fields[2], fields[3], counts.total,
                                        counts.done};
  }
  return report;
}

void TMyThread::WriteRecord(const Record& record) {
  out_file_.WriteLine(FormatRecordLine(record));
  ++lines_written_;
}

int TMyThread::RecordsOnDisk() const {
  if (truncated_records_ >= 0) return truncated_records_;
  const int lines = static_cast<int>(out_file_.lines_on_disk());
  return records_before_ + std::max(0, lines - header_lines_);
}

}  // namespace valmeric
