#include "refdb/reference_db.h"

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "common/platform/utf8_path.h"
#include "refdb/database_file.h"
#include "refdb/statements.h"

namespace valmeric {
namespace {

const std::string& CheckedFile(const std::string& path) {
  CheckDatabaseFile(path);
  return path;
}

}  // namespace

ReferenceDb::ReferenceDb(const std::string& path) : db_(CheckedFile(path)) {
  BeginWriteAheadLog();
  db_.SetBusyTimeout(5000);
  // Reading the schema proves that the file is a database with our tables.
  db_.Execute("SELECT Hsp_code FROM T00_Data LIMIT 0");
  db_.Execute("SELECT AreaCode, CityCode, CityName FROM T01_City LIMIT 0");
  db_.Execute("SELECT ID, CtgrCode, SubCtgrCode, SubCtgrName FROM T02_Category LIMIT 0");
  try {
    db_.Execute(sql::kSeenCodeIndex);
  } catch (const DbError& error) {
    if (!error.IsWriteFailure()) throw;
  }
}

void ReferenceDb::BeginWriteAheadLog() {
  // Write-ahead logging, with the log synced at every commit: a run commits
  // once per checkpoint (its facilities' inserts wait in the open
  // transaction), and a checkpoint must be on the disk once committed, or a
  // power cut takes the record back to the run's start while the CSV it
  // names was synced; a new run's record is so on the disk before the old
  // CSV goes. The stretch of logging starts from a rollback journal (a -wal
  // left by the last one is copied in) with an application id of its own,
  // so that every page 1 in the -wal names the file (database_file.h). A
  // read-only file, or one another connection holds, keeps its mode and id;
  // the statements that need to write report that. Nobody is waited for here.
  db_.SetBusyTimeout(0);
  try {
    db_.Execute("PRAGMA journal_mode=DELETE");
    if (!InWalMode(db_.path())) {
      std::random_device random;
      const auto id = 1 + static_cast<std::int64_t>(random() % 0x7FFFFFFF);
      db_.Execute("PRAGMA application_id = " + std::to_string(id));
    }
    db_.Execute("PRAGMA journal_mode=WAL");
    db_.Execute("PRAGMA synchronous=FULL");
  } catch (const DbError& error) {
    if (!error.IsWriteFailure()) throw;
  }
}

ReferenceDb::~ReferenceDb() {
  // Back to a rollback journal: the log is copied into the file and removed.
  // A connection still open elsewhere keeps the file in write-ahead-log mode
  // with its -wal, which is then rightly its own; nobody is waited for.
  db_.SetBusyTimeout(0);
  try {
    db_.Execute("PRAGMA journal_mode=DELETE");
  } catch (const DbError&) {
  }
}

void ReferenceDb::ClearSeenCodes() {
  db_.Execute(sql::kClearSeenCodes);
}

std::unique_ptr<Database> OpenToRead(const std::string& path) {
  CheckDatabaseFile(path);
  const std::string wal = path + "-wal";
  // Nothing to read from a -wal: the file alone is the database. Opened
  // plainly, a database in write-ahead-log mode would need a -wal and -shm
  // made beside it, which read-only media refuse.
  std::error_code error;
  const bool file_alone = !WalHoldsCommit(wal) &&
                          (std::filesystem::exists(PathFromUtf8(wal), error) || InWalMode(path));
  return std::make_unique<Database>(path, file_alone ? DbAccess::kImmutable : DbAccess::kReadOnly);
}

}  // namespace valmeric
