#pragma once

#include <memory>
#include <string>

#include "refdb/sqlite_db.h"

namespace valmeric {

// The program's database file: the duplicate table of the current run and the
// two reference tables. Opening never creates the file. While open it runs in
// write-ahead-log mode; closed, it is left in rollback-journal mode, standing
// alone without a -wal (see database_file.h).
class ReferenceDb final {
 public:
  // Throws DbError when the file is missing or is not a usable database; an
  // empty file, or one with another database's -wal beside it, is refused
  // with SQLITE_NOTADB and left as it is (CheckDatabaseFile).
  explicit ReferenceDb(const std::string& path);
  ~ReferenceDb();
  ReferenceDb(const ReferenceDb&) = delete;
  ReferenceDb& operator=(const ReferenceDb&) = delete;

  Database& db() { return db_; }
  // Empties the duplicate table before a run.
  void ClearSeenCodes();

 private:
  void BeginWriteAheadLog();

  Database db_;
};

// Opens the program's database to read it and nothing more, after the checks
// ReferenceDb makes: read-only, never copying its -wal into it, and, when the
// -wal holds no change, without making a -wal or -shm beside it, so that a
// database on read-only media is read too. Throws DbError.
std::unique_ptr<Database> OpenToRead(const std::string& path);

}  // namespace valmeric
