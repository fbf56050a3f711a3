#pragma once

// The program's database file as it stands on disk, looked at before SQLite
// opens it. SQLite reads any -wal file it finds beside a database, whatever
// database wrote it, and the last connection to close copies its pages into
// the file: a -wal of another database makes the file that database's, or
// breaks it ("Rowid 203 out of order"). So the program keeps its own -wal
// recognisable (ReferenceDb): the file is left in rollback-journal mode
// whenever the program closes it, and each stretch of write-ahead logging
// begins with a fresh application id in the file's header, which every image
// of page 1 in its -wal carries.

#include <string>

namespace valmeric {

// Throws DbError when path is not a regular file (SQLITE_CANTOPEN), is empty
// (SQLITE_NOTADB: SQLite would take it for an empty database and write into
// it), or has a -wal beside it that holds committed changes and is not its
// own (SQLITE_NOTADB): the file is in rollback-journal mode; or it is in
// write-ahead-log mode but the -wal holds a page 1 of another application
// id, or of id 0, or the database reads unsound through it (SQLite's quick
// check). Nothing is written; the -wal is left as it is.
void CheckDatabaseFile(const std::string& path);

// What a look at the file finds, before anything opens it as a database.
enum class DatabaseFileState {
  kPresent,       // a file that begins as SQLite's do
  kMissing,       // nothing under the name
  kUnreadable,    // a file the program may not read
  kNotADatabase,  // a folder, or a file of something else
};
DatabaseFileState LookAtDatabaseFile(const std::string& path);

// True when the WAL file at wal_path holds at least one committed
// transaction that SQLite would read: a valid header, and frames whose salts
// and running checksums hold up to a commit frame.
bool WalHoldsCommit(const std::string& wal_path);

// True when the database file's header says it is in write-ahead-log mode.
bool InWalMode(const std::string& path);

}  // namespace valmeric
