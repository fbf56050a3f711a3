#include "engine/run_session.h"

#include <sqlite3.h>

#include "common/network/site_lists.h"
#include "common/platform/utf8_path.h"
#include "engine/output_file_name.h"
#include "engine/recorded_run_check.h"
#include "engine/worker.h"
#include "messages/detail_text.h"
#include "refdb/reference_db.h"
#include "refdb/run_journal.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

// The database, its journals and its lock: files a run must never write its CSV over.
bool IsDatabaseFile(const std::string& output_path, const fs::path& database) {
  const fs::path output = PathFromUtf8(output_path);
  std::error_code error;
  const fs::path target = fs::weakly_canonical(output, error);
  if (error) return false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lock"}) {
    fs::path file = database;
    file += suffix;
    if (fs::equivalent(output, file, error) && !error) return true;  // a hard link, too
    const fs::path spelled = fs::weakly_canonical(file, error);
    if (!error && spelled == target) return true;
  }
  return false;
}

// Names what the reference tables lack for the selection, when it leaves the
// plan empty: then the tables need rebuilding, and the site was never asked.
std::string MissingPlanRows(Database& db, const Selection& selection) {
  const ReferenceGaps gaps = FindReferenceGaps(db, selection);
  if (gaps.no_cities) return detail::kNoCityRows;
  if (gaps.no_sub_categories) return detail::kNoSubCategoryRows;
  if (gaps.prefectures_without_cities.size() == selection.prefectures.size()) {
    // "13 東京都、14 神奈川県": each code with its name.
    return Detail(detail::kNoCitiesFor,
                  NamedCodes(gaps.prefectures_without_cities, kPrefectureNamesUtf8, "、"));
  }
  if (gaps.categories_without_sub_categories.size() == selection.categories.size()) {
    return Detail(detail::kNoSubCategoriesFor,
                  NamedCodes(gaps.categories_without_sub_categories, kCategoryNamesUtf8, "、"));
  }
  return {};
}

StartRefused DatabaseRefusal(const DbError& failure) {
  return StartRefused(
      failure.IsWriteFailure() ? StartProblem::kDatabaseWrite : StartProblem::kDatabaseUnusable,
      failure.what());
}

RecordedRun FromJournal(const JournalRun& run) {
  return {{run.categories, run.prefectures},
          run.output_path,
          EncodingNamed(run.encoding).value_or(CsvEncoding::kCp932),
          run.progress,
          run.pages,
          run.previous_path,
          run.previous_pages};
}

// Whether the list at output, which the new run of request replaces, is the
// recorded run's and collected alike, so that the two lists may be compared:
// the same ticks, encoding and file, and the plan walked to its end.
bool SameCollection(const RecordedRun& recorded, const RunRequest& request,
                    const std::string& output) {
  return !recorded.Resumable() && recorded.selection.categories == request.selection.categories &&
         recorded.selection.prefectures == request.selection.prefectures &&
         recorded.encoding == request.encoding && SameExistingFile(recorded.output_path, output);
}

// The free dated name the file at output will be kept under (absolute); none
// when nothing is there. Refused when a file is there and no name is free.
std::optional<std::string> KeptName(const std::string& output) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(PathFromUtf8(output), error))) return std::nullopt;
  const std::optional<std::string> name = FreeDatedName(output);
  if (!name) throw StartRefused(StartProblem::kOutputInUse, output);
  return Utf8FromPath(fs::absolute(PathFromUtf8(*name), error));
}

RecordedIndexes ReadIndexes(Database& db) {
  RecordedIndexes indexes;
  indexes.not_fetched = RunJournal::NotFetched(db);
  for (const PairBeyondFirstPage& pair : RunJournal::BeyondFirstPage(db))
    indexes.beyond_first_page.push_back(pair.plan_index);
  return indexes;
}

// The recorded run, read and checked: refused when none is recorded or its
// values cannot be a run's.
JournalRun CheckedRecord(Database& db, const fs::path& database, StartProblem nothing) {
  std::optional<JournalRun> run;
  RecordedIndexes indexes;
  try {
    run = RunJournal::Read(db);
    if (run) indexes = ReadIndexes(db);
  } catch (const DbError& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  if (!run) throw StartRefused(nothing, Utf8FromPath(database));
  if (const auto problem = RecordProblem(*run, indexes)) {
    throw StartRefused(StartProblem::kRecordInvalid, Utf8FromPath(database) + "\n" + *problem);
  }
  return *run;
}

// The recorded run's plan, built again: refused when the reference tables
// changed since the run began.
Plan RecordedPlan(Database& db, const fs::path& database, const RecordedRun& recorded) {
  Plan plan;
  try {
    plan = BuildPlan(db, recorded.selection);
  } catch (const DbError& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  const RunProgress& progress = recorded.progress;
  if (progress.plan_size >= 0 && (static_cast<int>(plan.size()) != progress.plan_size ||
                                  PlanCheck(plan) != progress.plan_check)) {
    throw StartRefused(StartProblem::kPlanChanged, Utf8FromPath(database));
  }
  return plan;
}

}  // namespace

JournalRun NewRunRecord(const Selection& selection, const std::string& output_path,
                        CsvEncoding encoding, PageScope pages) {
  JournalRun run;
  run.pages = pages;
  run.categories = selection.categories;
  run.prefectures = selection.prefectures;
  std::error_code error;
  run.output_path = Utf8FromPath(fs::absolute(PathFromUtf8(output_path), error));
  run.encoding = EncodingName(encoding);
  return run;
}

namespace {

std::optional<RecordedRun> RecordIn(Database& db) {
  db.SetBusyTimeout(5000);
  const std::optional<JournalRun> run = RunJournal::Read(db);
  if (!run) return std::nullopt;
  return FromJournal(*run);
}

}  // namespace

std::optional<RecordedRun> ReadRecordedRun(const fs::path& database_path, RecordRead how) {
  try {
    return RecordIn(*OpenToRead(Utf8FromPath(database_path)));
  } catch (const DbError& failure) {
    // A journal to roll back, or a log to recover, after a crash: a reader
    // may not write, so only a caller that is about to write goes on.
    if (how != RecordRead::kMayRecover || (failure.code() & 0xFF) != SQLITE_READONLY) throw;
  }
  ReferenceDb db(Utf8FromPath(database_path));
  return RecordIn(db.db());
}

std::string CompletedOutputPath(const std::string& chosen) {
  return WithCsvExtension(chosen);
}

RunSession::RunSession(const RunRequest& request, RunReports& reports) {
  const fs::path& database = request.database_path;
  if (request.mode == RunMode::kNew) {
    output_path_ = CompletedOutputPath(request.output_path);
    if (IsDatabaseFile(output_path_, database))
      throw StartRefused(StartProblem::kOutputInUse, output_path_);
  }
  std::optional<ReferenceDb> db;
  ClaimDatabase(database, db);
  RunConfig config;
  switch (request.mode) {
    case RunMode::kNew:
      config = PrepareNewRun(request, *db);
      break;
    case RunMode::kResume:
      config = PrepareResume(request, *db);
      break;
    case RunMode::kRetryFailed:
      config = PrepareRetry(request, *db);
      break;
    case RunMode::kMorePages:
      config = PrepareMorePages(request, *db);
      break;
  }
  db.reset();
  config.mode = request.mode;
  config.database_path = Utf8FromPath(database);
  config.scratch_path = scratch_->path();
  config.settings = request.settings;
  config.output_path = output_path_;
  worker_ = std::make_unique<TMyThread>(std::move(config), reports);
  worker_->Resume();
}

void RunSession::ClaimDatabase(const fs::path& database, std::optional<ReferenceDb>& db) {
  std::error_code error;
  if (!fs::is_regular_file(database, error)) {
    throw StartRefused(StartProblem::kDatabaseMissing, Utf8FromPath(database));
  }
  try {
    lock_.emplace(Utf8FromPath(database));
  } catch (const RunLockError& failure) {
    if (failure.kind() == RunLockError::Kind::kHeldByAnotherRun) {
      throw StartRefused(StartProblem::kDatabaseBusy, Utf8FromPath(database));
    }
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  try {
    db.emplace(Utf8FromPath(database));
  } catch (const DbError& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  try {
    scratch_.emplace(Utf8FromPath(database.parent_path()));
  } catch (const ScratchFileError& failure) {
    throw StartRefused(StartProblem::kScratch, failure.what());
  }
}

RunConfig RunSession::PrepareNewRun(const RunRequest& request, ReferenceDb& db) {
  RunConfig config;
  try {
    const std::string missing = MissingPlanRows(db.db(), request.selection);
    if (!missing.empty()) throw StartRefused(StartProblem::kNoPlanRows, missing);
    config.plan = BuildPlan(db.db(), request.selection);
  } catch (const DbError& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  // Rows for the ticks that give no pair (codes stored as text, say): the
  // tables are broken, which is no "nothing found" of the site's.
  if (config.plan->empty()) throw StartRefused(StartProblem::kNoPlanRows, detail::kNoPlanPairs);
  // Whatever can refuse the start is asked before anything changes: the
  // unfinished run recorded, and its duplicate table, stay for a resume.
  if (!OutputCanBeReplaced(output_path_))
    throw StartRefused(StartProblem::kOutputInUse, output_path_);
  const std::optional<std::string> kept = KeptName(output_path_);
  RecordNewRun(request, db, kept);
  if (kept && !MoveExistingOutput(output_path_, *kept))
    throw StartRefused(StartProblem::kOutputInUse, output_path_);
  kept_previous_ = kept;
  config.selection = request.selection;
  config.encoding = request.encoding;
  config.pages = request.pages;
  return config;
}

void RunSession::RecordNewRun(const RunRequest& request, ReferenceDb& db,
                              const std::optional<std::string>& kept) {
  JournalRun record =
      NewRunRecord(request.selection, output_path_, request.encoding, request.pages);
  // The duplicate table is emptied and the new run recorded in one
  // transaction, before the old output file is moved aside.
  try {
    db.db().Begin();
    db.ClearSeenCodes();
    RunJournal::EnsureSchema(db.db());
    if (const auto previous = RunJournal::Read(db.db())) {
      const RecordedRun recorded = FromJournal(*previous);
      if (recorded.Resumable() || recorded.Retryable()) dropped_run_ = recorded;
      if (kept && SameCollection(recorded, request, output_path_)) {
        record.previous_path = *kept;
        record.previous_pages = recorded.pages;
      }
    }
    RunJournal::StartNew(db.db(), record);
    db.db().Commit();
  } catch (const DbError& failure) {
    db.db().Rollback();
    throw DatabaseRefusal(failure);
  }
  run_ = FromJournal(record);
}

RunConfig RunSession::PrepareResume(const RunRequest& request, ReferenceDb& db) {
  return TakeUpRecordedRun(request, db, StartProblem::kNothingToResume, &RecordedRun::Resumable);
}

RunConfig RunSession::PrepareRetry(const RunRequest& request, ReferenceDb& db) {
  return TakeUpRecordedRun(request, db, StartProblem::kNothingToRetry, &RecordedRun::Retryable);
}

RunConfig RunSession::PrepareMorePages(const RunRequest& request, ReferenceDb& db) {
  RunConfig config =
      TakeUpRecordedRun(request, db, StartProblem::kNoMorePages, &RecordedRun::HasMorePages);
  // From now on the run reads every page its pairs link, a retry's too.
  try {
    db.db().Begin();
    RunJournal::SetPageScope(db.db(), PageScope::kMorePages);
    db.db().Commit();
  } catch (const DbError& failure) {
    db.db().Rollback();
    throw DatabaseRefusal(failure);
  }
  config.pages = PageScope::kMorePages;
  run_.pages = PageScope::kMorePages;
  return config;
}

RunConfig RunSession::TakeUpRecordedRun(const RunRequest& request, ReferenceDb& db,
                                        StartProblem nothing, bool (RecordedRun::*fits)() const) {
  const fs::path& database = request.database_path;
  const JournalRun run = CheckedRecord(db.db(), database, nothing);
  taken_up_ = FromJournal(run);
  run_ = *taken_up_;
  if (!((*taken_up_).*fits)()) throw StartRefused(nothing, Utf8FromPath(database));
  output_path_ = run.output_path;
  if (IsDatabaseFile(output_path_, database))
    throw StartRefused(StartProblem::kOutputInUse, output_path_);
  if (const auto problem = OutputProblem(run, taken_up_->encoding)) {
    throw StartRefused(StartProblem::kOutputChanged, output_path_ + "\n" + *problem);
  }
  RunConfig config;
  config.plan = RecordedPlan(db.db(), database, *taken_up_);
  // The database must take the run's writes before its file is cut back;
  // a record of the earlier layout gains the columns they fill.
  try {
    db.db().Begin();
    RunJournal::EnsureSchema(db.db());
    RunJournal::Touch(db.db());
    db.db().Commit();
  } catch (const DbError& failure) {
    db.db().Rollback();
    throw DatabaseRefusal(failure);
  }
  config.selection = taken_up_->selection;
  config.encoding = taken_up_->encoding;
  config.pages = taken_up_->pages;
  config.recorded = run;
  return config;
}

RunSession::~RunSession() {
  worker_.reset();
  scratch_.reset();  // after the worker, which downloads into it
}

void RunSession::Cancel() {
  if (worker_) worker_->Terminate();
}

void RunSession::Wait() {
  if (worker_) worker_->WaitFor();
}

}  // namespace valmeric
