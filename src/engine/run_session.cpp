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
#include "refdb/statements.h"

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
  // "13 東京都、14 神奈川県": each code with its name.
  const auto list = [](const char* sentence, const std::vector<int>& codes, const auto& names) {
    std::string named;
    for (int code : codes) {
      if (!named.empty()) named += "、";
      named += std::to_string(code);
      if (code >= 1 && code <= static_cast<int>(names.size())) {
        named += " " + std::string(names[static_cast<size_t>(code) - 1]);
      }
    }
    return Detail(sentence, named);
  };
  if (gaps.no_cities) return detail::kNoCityRows;
  if (gaps.no_sub_categories) return detail::kNoSubCategoryRows;
  if (gaps.prefectures_without_cities.size() == selection.prefectures.size()) {
    return list(detail::kNoCitiesFor, gaps.prefectures_without_cities, kPrefectureNamesUtf8);
  }
  if (gaps.categories_without_sub_categories.size() == selection.categories.size()) {
    return list(detail::kNoSubCategoriesFor, gaps.categories_without_sub_categories,
                kCategoryNamesUtf8);
  }
  return {};
}

StartRefused DatabaseRefusal(const DbError& failure) {
  return StartRefused(
      failure.IsWriteFailure() ? StartProblem::kDatabaseWrite : StartProblem::kDatabaseUnusable,
      failure.what());
}

CsvEncoding ParseEncodingName(const std::string& name) {
  return name == EncodingName(CsvEncoding::kUtf8) ? CsvEncoding::kUtf8 : CsvEncoding::kCp932;
}

RecordedRun FromJournal(const JournalRun& run) {
  RecordedRun recorded;
  recorded.selection = {run.categories, run.prefectures};
  recorded.output_path = run.output_path;
  recorded.encoding = ParseEncodingName(run.encoding);
  recorded.plan_size = run.plan_size;
  recorded.entries_done = run.entries_done;
  recorded.facilities_written = run.facilities_written;
  recorded.not_fetched = run.not_fetched;
  recorded.gone = run.gone;
  recorded.beyond_first_page = run.beyond_first_page;
  recorded.beyond_pairs = run.beyond_pairs;
  return recorded;
}

RecordedIndexes ReadIndexes(Database& db) {
  RecordedIndexes indexes;
  indexes.not_fetched = RunJournal::NotFetched(db);
  for (const PairBeyondFirstPage& pair : RunJournal::BeyondFirstPage(db))
    indexes.beyond_first_page.push_back(pair.plan_index);
  return indexes;
}

}  // namespace

const char* EncodingName(CsvEncoding encoding) {
  return encoding == CsvEncoding::kUtf8 ? "utf-8" : "cp932";
}

std::optional<RecordedRun> ReadRecordedRun(const fs::path& database_path) {
  std::error_code error;
  if (!fs::is_regular_file(database_path, error)) {
    throw DbError(SQLITE_CANTOPEN, Detail(detail::kDatabaseNotFound, Utf8FromPath(database_path)));
  }
  Database db(Utf8FromPath(database_path));
  db.SetBusyTimeout(5000);
  const std::optional<JournalRun> run = RunJournal::Read(db);
  if (!run) return std::nullopt;
  return FromJournal(*run);
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
  std::optional<ReferenceDb> db;
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

  RunConfig config;
  config.mode = request.mode;
  config.database_path = Utf8FromPath(database);
  config.scratch_path = scratch_->path();
  config.settings = request.settings;
  if (request.mode == RunMode::kNew) {
    try {
      const std::string missing = MissingPlanRows(db->db(), request.selection);
      if (!missing.empty()) throw StartRefused(StartProblem::kNoPlanRows, missing);
    } catch (const DbError& failure) {
      throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
    }
    // The duplicate table is emptied and the new run recorded in one
    // transaction, before the old output file goes.
    JournalRun fresh;
    fresh.categories = request.selection.categories;
    fresh.prefectures = request.selection.prefectures;
    fresh.output_path = Utf8FromPath(fs::absolute(PathFromUtf8(output_path_), error));
    fresh.encoding = EncodingName(request.encoding);
    try {
      db->db().Begin();
      db->ClearSeenCodes();
      RunJournal::EnsureSchema(db->db());
      if (const auto previous = RunJournal::Read(db->db())) {
        const RecordedRun recorded = FromJournal(*previous);
        if (recorded.Resumable() || recorded.Retryable()) dropped_run_ = recorded;
      }
      RunJournal::StartNew(db->db(), fresh);
      db->db().Commit();
    } catch (const DbError& failure) {
      db->db().Rollback();
      throw DatabaseRefusal(failure);
    }
    if (!DeleteExistingOutput(output_path_))
      throw StartRefused(StartProblem::kOutputInUse, output_path_);
    config.selection = request.selection;
    config.encoding = request.encoding;
  } else {
    std::optional<JournalRun> run;
    RecordedIndexes indexes;
    try {
      run = RunJournal::Read(db->db());
      if (run) indexes = ReadIndexes(db->db());
    } catch (const DbError& failure) {
      throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
    }
    const bool resume = request.mode == RunMode::kResume;
    const StartProblem nothing =
        resume ? StartProblem::kNothingToResume : StartProblem::kNothingToRetry;
    if (!run) throw StartRefused(nothing, Utf8FromPath(database));
    if (const auto problem = RecordProblem(*run, indexes)) {
      throw StartRefused(StartProblem::kRecordInvalid, Utf8FromPath(database) + "\n" + *problem);
    }
    taken_up_ = FromJournal(*run);
    if (!(resume ? taken_up_->Resumable() : taken_up_->Retryable())) {
      throw StartRefused(nothing, Utf8FromPath(database));
    }
    output_path_ = run->output_path;
    if (IsDatabaseFile(output_path_, database))
      throw StartRefused(StartProblem::kOutputInUse, output_path_);
    if (const auto problem = OutputProblem(*run, taken_up_->encoding)) {
      throw StartRefused(StartProblem::kOutputChanged, output_path_ + "\n" + *problem);
    }
    try {
      config.plan = BuildPlan(db->db(), taken_up_->selection);
    } catch (const DbError& failure) {
      throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
    }
    const bool plan_known = run->plan_size >= 0;
    if (plan_known && (static_cast<int>(config.plan->size()) != run->plan_size ||
                       PlanCheck(*config.plan) != run->plan_check)) {
      throw StartRefused(StartProblem::kPlanChanged, Utf8FromPath(database));
    }
    // The database must take the run's writes before its file is cut back;
    // a record of the earlier layout gains the columns they fill.
    try {
      db->db().Begin();
      RunJournal::EnsureSchema(db->db());
      db->db().Execute(sql::kTouchRun);
      db->db().Commit();
    } catch (const DbError& failure) {
      db->db().Rollback();
      throw DatabaseRefusal(failure);
    }
    config.selection = taken_up_->selection;
    config.encoding = taken_up_->encoding;
    config.recorded = *run;
  }
  db.reset();

  config.output_path = output_path_;
  worker_ = std::make_unique<TMyThread>(std::move(config), reports);
  worker_->Resume();
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
