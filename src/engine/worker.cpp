#include "engine/worker.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "common/network/site_address.h"
#include "common/platform/native_file.h"
#include "common/text/sjis_text.h"
#include "engine/next_page_link.h"
#include "messages/detail_text.h"
#include "messages/download_text.h"
#include "refdb/list_page_readers.h"

namespace valmeric {
namespace {

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

// a + b, or the most an int holds where the sum would pass it (b >= 0).
int SaturatedSum(int a, int b) {
  return static_cast<int>(
      std::min<long long>(static_cast<long long>(a) + b, std::numeric_limits<int>::max()));
}

// Why a page that came with status is no result page to read.
std::string NotAResultPageDetail(bool other_encoding, long status) {
  return Detail(other_encoding ? download_text::kOtherEncoding : download_text::kNotAResultPage,
                "HTTP " + std::to_string(status));
}

std::shared_ptr<PageSource> PagesOf(const RunSettings& settings) {
  return settings.pages ? settings.pages : SitePageSource(settings);
}

}  // namespace

TMyThread::TMyThread(RunConfig config, RunReports& reports)
    : config_(std::move(config)), reports_(reports), pages_(PagesOf(config_.settings)) {}

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
  CountRecordsOnDisk();
  outcome.progress = progress_;
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

RunOutcome TMyThread::RunPlan() {
  const std::vector<int> walk = StartWalk();
  const std::optional<CsvMark> cut_short = Walk(walk);
  return EndWalk(cut_short);
}

std::vector<int> TMyThread::StartWalk() {
  const bool retry = IsPass();
  if (config_.recorded) progress_ = config_.recorded->progress;
  OpenOutput();
  db_.emplace(config_.database_path);
  plan_ = config_.plan ? *config_.plan : BuildPlan(db_->db(), config_.selection);
  journal_.emplace(db_->db());
  filter_.emplace(db_->db());
  progress_.plan_size = static_cast<int>(plan_.size());
  progress_.plan_check = PlanCheck(plan_);
  const std::vector<int> walk = EntriesToWalk();
  progress_.entries_total = retry ? static_cast<int>(walk.size()) : progress_.plan_size;
  progress_.entries_done = retry ? 0 : progress_.next_entry;
  reports_.PlanReady(progress_);
  Checkpoint();  // the plan's size and the header
  return walk;
}

void TMyThread::OpenOutput() {
  const std::optional<JournalRun>& recorded = config_.recorded;
  if (recorded && recorded->progress.csv_bytes > 0) {
    // Counted before the file is opened: a file that cannot be opened now
    // still holds what the run wrote.
    records_base_ = recorded->progress.facilities_written;
    records_handed_ = records_base_;
    out_file_.Reopen(config_.output_path, config_.encoding, recorded->progress.csv_bytes,
                     static_cast<std::uint32_t>(recorded->progress.csv_crc.value_or(0)));
    output_opened_ = true;
    return;
  }
  out_file_.Open(config_.output_path, config_.encoding);
  output_opened_ = true;
  records_base_ = -1;  // the header's line
  out_file_.WriteLine(CsvHeaderLine());
  SyncFolderOf(config_.output_path);
}

std::vector<int> TMyThread::EntriesToWalk() {
  std::vector<int> indexes;
  const auto add = [this, &indexes](int index) {
    if (index >= 0 && static_cast<size_t>(index) < plan_.size()) indexes.push_back(index);
  };
  if (config_.mode == RunMode::kRetryFailed) {
    for (int index : RunJournal::NotFetched(db_->db())) add(index);
    return indexes;
  }
  if (config_.mode == RunMode::kMorePages) {
    for (const PairBeyondFirstPage& pair : RunJournal::BeyondFirstPage(db_->db())) {
      if (pair.end == PagesEnd::kFirstPageOnly) add(pair.plan_index);
    }
    return indexes;
  }
  for (size_t i = static_cast<size_t>(progress_.next_entry); i < plan_.size(); ++i)
    indexes.push_back(static_cast<int>(i));
  return indexes;
}

std::optional<TMyThread::CsvMark> TMyThread::Walk(const std::vector<int>& walk) {
  const bool retry = IsPass();
  Savepoint entry(db_->db());
  for (size_t k = 0; k < walk.size() && !cancel_.IsCancelled(); ++k) {
    const int index = walk[k];
    const CsvMark mark = BeginStep(entry);
    const int position = retry ? static_cast<int>(k) + 1 : index + 1;
    EntryReport report = GoesOnWithPair(index) ? PairUnderWay(static_cast<size_t>(index), position)
                                               : ProcessQuery(static_cast<size_t>(index), position);
    if (report.result == EntryResult::kInterrupted) {
      entry.Undo();
      return mark;
    }
    entry.Release();
    out_file_.Flush();
    if (FollowsLaterPages() && report.beyond) {
      if (const std::optional<CsvMark> cut = FollowPages(index, entry, report)) return cut;
    }
    TakeEntry(index, report);
    if (RowStopsTheRun()) {
      end_.failed_in_row_limit = true;
      break;
    }
    CheckpointWhenDue();
  }
  return std::nullopt;
}

TMyThread::CsvMark TMyThread::BeginStep(Savepoint& step) {
  db_->db().Begin();
  step.Set();
  out_file_.Flush();
  return MarkOnDisk();
}

void TMyThread::CheckpointWhenDue() {
  if (std::chrono::steady_clock::now() - last_checkpoint_ >= config_.settings.checkpoint_interval)
    Checkpoint();
}

RunOutcome TMyThread::EndWalk(const std::optional<CsvMark>& cut_short) {
  const bool retry = IsPass();
  end_.cancelled = cancel_.IsCancelled();
  if (retry) RecountLeftToFetch();
  if (!cut_short && !end_.cancelled && !end_.failed_in_row_limit)
    end_.site_down = EveryPageGoneAndSiteDown();
  CountRecordsOnDisk();
  RunOutcome outcome;
  outcome.kind = DecideOutcome(progress_, end_);
  if (outcome.kind == Outcome::kSiteUnreachable || outcome.kind == Outcome::kIncomplete) {
    outcome.detail = last_error_;
    outcome.placeholder_host =
        !config_.settings.pages && AimsAtPlaceholderHost(config_.settings.download.origin);
  }
  if (outcome.kind == Outcome::kSiteUnreachable && !retry) RewindFailedRow();
  if (cut_short) {
    CutBack(*cut_short);
  } else {
    Checkpoint();
  }
  return outcome;
}

void TMyThread::TakeEntry(int index, const EntryReport& report) {
  const bool retry = IsPass();
  ++progress_.entries_done;
  if (report.result == EntryResult::kNotFetched || report.result == EntryResult::kGone) {
    // A retry's counts are what the journal holds at its end.
    if (!retry) ++(report.result == EntryResult::kGone ? progress_.gone : progress_.not_fetched);
    if (row_.entries == 1) row_.first = index;
    // A retried entry stays recorded, with what the site answered this time.
    journal_->AddNotFetched(index, plan_.Entry(static_cast<size_t>(index)), report.status,
                            report.page);
  } else if (retry) {
    journal_->RemoveNotFetched(index);
  }
  // A pair whose pages are followed is recorded as its pages ended: its row
  // of an earlier start (only its first page read) goes.
  if (FollowsLaterPages()) journal_->RemoveBeyondFirstPage(index);
  if (report.result == EntryResult::kUnaskable) ++progress_.pairs_unaskable;
  progress_.entries_skipped = SaturatedSum(progress_.entries_skipped, report.skipped);
  if (report.count_unreadable) ++progress_.counts_unreadable;
  if (report.beyond && report.result == EntryResult::kRead) {
    const PairBeyondFirstPage& beyond = *report.beyond;
    journal_->AddBeyondFirstPage(beyond);
    // A page announces at most INT_MAX and lists none of them less: the sum
    // over a run stops at the most an int holds.
    const int short_by = beyond.announced - beyond.listed;
    if (beyond.end == PagesEnd::kFirstPageOnly) {
      progress_.beyond_first_page = SaturatedSum(progress_.beyond_first_page, short_by);
      ++progress_.beyond_pairs;
    } else {
      progress_.unlisted = SaturatedSum(progress_.unlisted, short_by);
      ++progress_.unlisted_pairs;
      if (beyond.end == PagesEnd::kPageLimit) ++progress_.pairs_capped;
    }
  }
  if (!retry) progress_.next_entry = index + 1;
}

bool TMyThread::RowStopsTheRun() {
  if (row_.entries < config_.settings.max_failed_entries_in_row) return false;
  if (!SiteStillAnswers()) return true;
  // Pages that failed on a site that answers: a city merged away, a
  // sub-category dropped, a connection lost now and then. The run goes on,
  // and a new row starts counting.
  row_ = {};
  return false;
}

bool TMyThread::EveryPageGoneAndSiteDown() {
  const int fetched = progress_.entries_done - progress_.missing();
  if (progress_.gone == 0 || progress_.not_fetched > 0 || fetched > 0) return false;
  return !SiteStillAnswers();
}

bool TMyThread::SiteStillAnswers() {
  const FetchResult fetched = pages_->Fetch(SubCategoryListUrl(), config_.scratch_path, cancel_);
  // A cancel says nothing of the site; the walk stops on it anyway.
  if (fetched.kind == FetchResult::kCancelled) return true;
  if (!fetched.error.empty()) last_error_ = fetched.error;
  cancel_.WaitFor(config_.settings.page_pause);
  if (fetched.kind != FetchResult::kFetched) return false;
  const PageLines page = LoadPage();
  return cancel_.IsCancelled() || !ReadSubCategoryListPage(page).empty();
}

PageLines TMyThread::LoadPage() const {
  return PageLines::Load(config_.scratch_path, [this] { return cancel_.IsCancelled(); });
}

void TMyThread::RewindFailedRow() {
  if (row_.entries <= 0) return;
  progress_.entries_done -= progress_.next_entry - row_.first;
  progress_.not_fetched -= row_.entries - row_.gone;
  progress_.gone -= row_.gone;
  progress_.next_entry = row_.first;
  journal_->RemoveNotFetchedFrom(row_.first);
}

void TMyThread::RecountLeftToFetch() {
  const std::optional<JournalRun> left = RunJournal::Read(db_->db());
  const RunProgress recorded = left ? left->progress : RunProgress{};
  progress_.not_fetched = recorded.not_fetched;
  progress_.gone = recorded.gone;
  progress_.beyond_first_page = recorded.beyond_first_page;
  progress_.beyond_pairs = recorded.beyond_pairs;
  progress_.unlisted = recorded.unlisted;
  progress_.unlisted_pairs = recorded.unlisted_pairs;
  progress_.pairs_capped = recorded.pairs_capped;
}

void TMyThread::CutBack(const CsvMark& mark) {
  out_file_.Sync();
  CommitProgress(mark);
  out_file_.Close();
  if (!TruncateFile(config_.output_path, static_cast<std::uint64_t>(mark.bytes))) {
    throw OutputError(FileDetail(detail::kCannotCutBack, config_.output_path, {}));
  }
  cut_back_ = true;
}

void TMyThread::Checkpoint() {
  out_file_.Sync();
  CommitProgress(MarkOnDisk());
}

void TMyThread::CommitProgress(const CsvMark& mark) {
  progress_.csv_bytes = mark.bytes;
  progress_.csv_crc = mark.crc;
  progress_.facilities_written = mark.records;
  Database& db = db_->db();
  db.Begin();
  journal_->SaveProgress(progress_);
  db.Commit();
  last_checkpoint_ = std::chrono::steady_clock::now();
}

TMyThread::CsvMark TMyThread::MarkOnDisk() {
  CountRecordsOnDisk();
  return {out_file_.bytes_on_disk(), out_file_.crc_on_disk(), progress_.facilities_written};
}

void TMyThread::CountRecordsOnDisk() {
  if (cut_back_) return;  // the file holds what the last commit says
  const int lines = static_cast<int>(out_file_.lines_on_disk());
  progress_.facilities_written = std::max(0, records_base_ + lines);
}

bool TMyThread::CountInRow(const FetchResult& fetched) {
  if (fetched.kind == FetchResult::kFetched) {
    row_ = {0, 0, row_.first};
    return true;
  }
  ++row_.entries;
  if (fetched.kind == FetchResult::kGone) ++row_.gone;
  last_error_ = fetched.error;
  return false;
}

TMyThread::PageRead TMyThread::FetchResultPage(const std::string& url) {
  const std::vector<std::chrono::milliseconds>& delays = config_.settings.retry.delays;
  for (size_t attempt = 0;; ++attempt) {
    PageRead page{pages_->Fetch(url, config_.scratch_path, cancel_), {}};
    if (page.fetched.has_body) page.lines = LoadPage();
    // A page split only in part, because the run was cancelled, is no page.
    if (cancel_.IsCancelled())
      return {{FetchResult::kCancelled, false, page.fetched.status, {}}, {}};
    if (page.fetched.kind != FetchResult::kFetched) return page;
    const PageKind kind = CheckResultPage(page.lines);
    if (kind == PageKind::kResultPage) return page;
    // Another page in place of a result page (a login or "busy" page, an
    // empty body, another encoding) says nothing of the pair: it is a page
    // not fetched, asked again like a server error.
    page.fetched.kind = FetchResult::kFailed;
    page.fetched.has_body = false;
    page.fetched.error =
        NotAResultPageDetail(kind == PageKind::kOtherEncoding, page.fetched.status);
    page.lines = {};
    if (attempt == delays.size()) return page;
    if (!cancel_.WaitFor(delays[attempt])) {
      return {{FetchResult::kCancelled, false, page.fetched.status, {}}, {}};
    }
  }
}

TMyThread::EntryReport TMyThread::ProcessQuery(size_t index, int position) {
  const PlanPair pair = plan_.Pair(index);
  reports_.EntryStarted(position, pair.Place());
  // A pair whose codes are no numbers (a damaged reference table) is never
  // asked for: counted, and told at the end.
  if (!pair.Askable()) {
    EntryReport unaskable;
    unaskable.result = EntryResult::kUnaskable;
    return unaskable;
  }

  const std::string url = ResultPageUrl(pair.area_code, pair.sub_category_code);
  pair_pages_ = {url};
  pair_codes_.clear();
  // Read again from its first page, the pair drops a position recorded for
  // it (one a resume did not take up): its later pages start afresh.
  if (progress_.pair.index == static_cast<int>(index)) progress_.pair = {};
  const PageRead page = FetchResultPage(url);
  // A transfer or a reading still under way is given up: its entry is taken back.
  EntryReport interrupted;
  interrupted.result = EntryResult::kInterrupted;
  if (page.fetched.kind == FetchResult::kCancelled) return interrupted;
  const bool ok = CountInRow(page.fetched);
  PairCounts counts;
  if (!page.lines.empty()) counts = ReadResultPage(page.lines, *this);
  if (counts.cut_short) return interrupted;
  // A page that listed nothing shows its counts; one that never came keeps
  // the entry's place alone.
  if (ok && counts.done == 0) ShowPairStatus(0, counts.total);
  cancel_.WaitFor(config_.settings.page_pause);

  EntryReport report;
  report.status = page.fetched.status;
  report.skipped = counts.skipped;
  report.count_unreadable = counts.count_unreadable;
  if (page.fetched.kind == FetchResult::kGone) {
    report.result = EntryResult::kGone;
  } else if (!ok) {
    report.result = EntryResult::kNotFetched;
  } else if (counts.total > counts.done + counts.skipped) {
    // An entry without a usable code is listed all the same: no later page holds it.
    report.beyond =
        PairBeyondFirstPage{static_cast<int>(index), pair.area_code, pair.sub_category_code,
                            counts.total, counts.done + counts.skipped};
    if (FollowsLaterPages())
      report.next_url = NextPageLinkOfPair(page.lines, url, pair.area_code, pair.sub_category_code);
  }
  return report;
}

bool TMyThread::CheckHspCode(const std::string& code) {
  if (FollowsLaterPages() && pair_codes_.insert(code).second) {
    ++page_new_codes_;
    if (in_later_pages_) journal_->AddPairCode(code);
  }
  return filter_->CheckHspCode(code);
}

void TMyThread::WriteRecord(const Record& record) {
  out_file_.WriteLine(FormatRecordLine(record));
  ++records_handed_;
}

}  // namespace valmeric
