#include "refdb/reference_db.h"

#include <sqlite3.h>

#include <filesystem>

#include "common/platform/utf8_path.h"
#include "messages/detail_text.h"
#include "refdb/statements.h"

namespace valmeric {
namespace {

const std::string& ExistingFile(const std::string& path) {
  const std::filesystem::path file = PathFromUtf8(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw DbError(SQLITE_CANTOPEN, Detail(detail::kDatabaseNotFound, path));
  }
  // SQLite would take an empty file for an empty database and write into it;
  // the program's file always holds its tables.
  if (std::filesystem::file_size(file, error) == 0 && !error) {
    throw DbError(SQLITE_NOTADB, Detail(detail::kDatabaseEmpty, path));
  }
  return path;
}

}  // namespace

ReferenceDb::ReferenceDb(const std::string& path) : db_(ExistingFile(path)) {
  db_.SetBusyTimeout(5000);
  // Write-ahead logging, with the log synced at every commit: a run commits
  // once per checkpoint (its facilities' inserts wait in the open
  // transaction), and a checkpoint must be on the disk once committed, or a
  // power cut takes the record back to the run's start while the CSV it
  // names was synced. A read-only file or folder keeps its journal mode; the
  // statements that need to write report that.
  try {
    db_.Execute("PRAGMA journal_mode=WAL");
    db_.Execute("PRAGMA synchronous=FULL");
  } catch (const DbError& error) {
    if (!error.IsWriteFailure()) throw;
  }
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

void ReferenceDb::ClearSeenCodes() {
  db_.Execute(sql::kClearSeenCodes);
}

}  // namespace valmeric
