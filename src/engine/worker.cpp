#include "engine/worker.h"

#include <vector>

#include "common/site_address.h"
#include "common/sjis_text.h"
#include "common/split_text.h"

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
    outcome.failure = db->IsWriteFailure() ? FailureKind::kDatabaseWrite : FailureKind::kDatabaseRead;
  }
  return outcome;
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
    outcome.detail = "unknown error";
  }
  // Close what can be closed; a failure here comes after the run's first one.
  try {
    out_file_.Close();
  } catch (const OutputError& error) {
    if (outcome.kind != Outcome::kFailed) outcome = DescribeFailure(error);
  }
  filter_.reset();
  db_.reset();
  outcome.facilities_written = RecordsOnDisk();
  outcome.entries_done = tally_.entries_done;
  outcome.entries_total = tally_.entries_total;
  outcome.entries_not_fetched = tally_.entries_not_fetched;
  reports_.Ended(std::move(outcome));
}

RunOutcome TMyThread::RunPlan() {
  out_file_.Open(config_.output_path, config_.encoding);
  out_file_.WriteLine(CsvHeaderLine());
  db_.emplace(config_.database_path);
  plan_ = BuildPlan(db_->db(), config_.selection);
  filter_.emplace(db_->db());
  tally_.entries_total = static_cast<int>(plan_.size());
  reports_.PlanReady(tally_.entries_total);

  for (size_t i = 0; i < plan_.size() && !cancel_.IsCancelled(); ++i) {
    filter_->Commit();
    const EntryResult result = ProcessQuery(i);
    out_file_.Flush();
    if (result == EntryResult::kInterrupted) break;
    ++tally_.entries_done;
    if (result == EntryResult::kNotFetched) ++tally_.entries_not_fetched;
    if (failed_entries_in_row_ >= config_.settings.max_failed_entries_in_row) {
      tally_.failed_in_row_limit = true;
      break;
    }
  }
  filter_->Commit();
  tally_.cancelled = cancel_.IsCancelled();
  tally_.facilities_written = RecordsOnDisk();
  RunOutcome outcome;
  outcome.kind = DecideOutcome(tally_);
  if (outcome.kind == Outcome::kSiteUnreachable || outcome.kind == Outcome::kIncomplete) {
    outcome.detail = fetcher_.last_error();
  }
  return outcome;
}

TMyThread::EntryResult TMyThread::ProcessQuery(size_t index) {
  const std::string entry = plan_.Entry(index);
  reports_.EntryStarted(static_cast<int>(index + 1), entry);
  std::vector<std::string> fields;
  SplitText(entry, ",", fields);
  if (fields.size() != kPlanFields) return EntryResult::kRead;

  const FetchResult fetched = fetcher_.FetchPage(ResultPageUrl(fields[2], fields[3]), config_.scratch_path);
  if (fetched.kind == FetchResult::kCancelled) return EntryResult::kInterrupted;
  failed_entries_in_row_ = fetched.kind == FetchResult::kFetched ? 0 : failed_entries_in_row_ + 1;
  cancel_.WaitFor(config_.settings.page_pause);

  std::vector<std::string> lines;
  if (fetched.has_body) lines = LoadLines(config_.scratch_path);
  cut_short_ = false;
  if (lines.empty()) {
    ShowPairStatus(0, 0);
  } else {
    ReadResultPage(lines, *this);
  }
  if (cut_short_) return EntryResult::kInterrupted;
  return fetched.kind == FetchResult::kFetched ? EntryResult::kRead : EntryResult::kNotFetched;
}

bool TMyThread::CancelRequested() {
  if (!cancel_.IsCancelled()) return false;
  cut_short_ = true;
  return true;
}

void TMyThread::WriteRecord(const Record& record) {
  out_file_.WriteLine(FormatRecordLine(record));
  ++lines_written_;
}

int TMyThread::RecordsOnDisk() const {
  const size_t lines = out_file_.lines_on_disk();
  return lines > 0 ? static_cast<int>(lines - 1) : 0;
}

}  // namespace valmeric
