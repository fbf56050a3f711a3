#include "engine/run_session.h"

#include "engine/output_file_name.h"
#include "engine/worker.h"
#include "refdb/reference_db.h"

namespace valmeric {
namespace {

namespace fs = std::filesystem;

// The database, its journals and its lock: files a run must never write its CSV over.
bool IsDatabaseFile(const fs::path& output, const fs::path& database) {
  std::error_code error;
  const fs::path target = fs::weakly_canonical(output, error);
  if (error) return false;
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lock"}) {
    const fs::path file = database.string() + suffix;
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
  const auto list = [](const char* what, const std::vector<int>& codes) {
    std::string text = what;
    for (int code : codes) text += " " + std::to_string(code);
    return text;
  };
  if (gaps.no_cities) return "T01_City: no rows";
  if (gaps.no_sub_categories) return "T02_Category: no rows";
  if (gaps.prefectures_without_cities.size() == selection.prefectures.size()) {
    return list("T01_City: no cities for prefecture", gaps.prefectures_without_cities);
  }
  if (gaps.categories_without_sub_categories.size() == selection.categories.size()) {
    return list("T02_Category: no sub-categories for category", gaps.categories_without_sub_categories);
  }
  return {};
}

void PrepareDatabase(const fs::path& database, const Selection& selection) {
  std::optional<ReferenceDb> db;
  try {
    db.emplace(database.string());
  } catch (const DbError& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  try {
    const std::string missing = MissingPlanRows(db->db(), selection);
    if (!missing.empty()) throw StartRefused(StartProblem::kNoPlanRows, missing);
  } catch (const DbError& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  try {
    db->ClearSeenCodes();
  } catch (const DbError& failure) {
    throw StartRefused(
        failure.IsWriteFailure() ? StartProblem::kDatabaseWrite : StartProblem::kDatabaseUnusable,
        failure.what());
  }
}

}  // namespace

std::string CompletedOutputPath(const std::string& chosen) { return WithCsvExtension(chosen); }

RunSession::RunSession(const RunRequest& request, RunReports& reports)
    : output_path_(CompletedOutputPath(request.output_path)) {
  if (IsDatabaseFile(output_path_, request.database_path)) {
    throw StartRefused(StartProblem::kOutputInUse, output_path_);
  }
  std::error_code error;
  if (!fs::is_regular_file(request.database_path, error)) {
    throw StartRefused(StartProblem::kDatabaseMissing, request.database_path.string());
  }
  try {
    lock_.emplace(request.database_path.string());
  } catch (const RunLockError& failure) {
    if (failure.kind() == RunLockError::Kind::kHeldByAnotherRun) {
      throw StartRefused(StartProblem::kDatabaseBusy, request.database_path.string());
    }
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  PrepareDatabase(request.database_path, request.selection);
  try {
    scratch_.emplace(request.database_path.parent_path().string());
  } catch (const ScratchFileError& failure) {
    throw StartRefused(StartProblem::kScratch, failure.what());
  }
  if (!DeleteExistingOutput(output_path_)) throw StartRefused(StartProblem::kOutputInUse, output_path_);

  RunConfig config;
  config.output_path = output_path_;
  config.encoding = request.encoding;
  config.scratch_path = scratch_->path();
  config.database_path = request.database_path.string();
  config.selection = request.selection;
  config.settings = request.settings;
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
