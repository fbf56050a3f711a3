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
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lock"}) {
    const fs::path file = database.string() + suffix;
    if (fs::equivalent(output, file, error) && !error) return true;
    if (fs::weakly_canonical(file, error) == target) return true;
  }
  return false;
}

void EmptyDuplicateTable(const fs::path& database) {
  std::error_code error;
  if (!fs::is_regular_file(database, error)) {
    throw StartRefused(StartProblem::kDatabaseMissing, database.string());
  }
  std::optional<ReferenceDb> db;
  try {
    db.emplace(database.string());
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
  } catch (const RunLockBusy&) {
    throw StartRefused(StartProblem::kDatabaseBusy, request.database_path.string());
  } catch (const std::exception& failure) {
    throw StartRefused(StartProblem::kDatabaseUnusable, failure.what());
  }
  EmptyDuplicateTable(request.database_path);
  if (!DeleteExistingOutput(output_path_)) throw StartRefused(StartProblem::kOutputInUse, output_path_);

  RunConfig config;
  config.output_path = output_path_;
  config.encoding = request.encoding;
  config.scratch_path = (request.database_path.parent_path() / "tmp.dat").string();
  config.database_path = request.database_path.string();
  config.selection = request.selection;
  config.settings = request.settings;
  worker_ = std::make_unique<TMyThread>(std::move(config), reports);
  worker_->Resume();
}

RunSession::~RunSession() { worker_.reset(); }

void RunSession::Cancel() {
  if (worker_) worker_->Terminate();
}

void RunSession::Wait() {
  if (worker_) worker_->WaitFor();
}

}  // namespace valmeric
