#pragma once

// A thin RAII layer over the SQLite C API. Text crosses it as Shift_JIS and is
// stored as UTF-8.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace valmeric {

class DbError : public std::runtime_error {
 public:
  DbError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }
  // The file or disk refused a write (read-only, full, I/O error, locked).
  bool IsWriteFailure() const;

 private:
  int code_;
};

class Statement final {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1. Text is Shift_JIS.
  Statement& BindText(int index, std::string_view sjis);
  Statement& BindInt(int index, std::int64_t value);
  // Binds a code cut from a page as an integer; throws DbError unless it is a
  // plain decimal number.
  Statement& BindDecimal(int index, std::string_view digits);
  // Bytes stored as they are (a file path in the file system's own spelling).
  Statement& BindBlob(int index, std::string_view bytes);

  // Advances to the next row; false at the end. Throws DbError on failure.
  bool Step();
  // Runs a statement that returns no rows.
  void Execute();
  // Columns count from 0. Text comes back as Shift_JIS.
  std::string ColumnText(int column) const;
  std::int64_t ColumnInt(int column) const;
  bool ColumnIsNull(int column) const;
  // The column's bytes as stored, with no conversion.
  std::string ColumnBlob(int column) const;
  // Makes the statement ready to run again, with its bindings cleared.
  void Reset();
  // Runs a statement that returns no rows with the values bound to it, then
  // makes it ready to be bound and run again, also when running it failed.
  void Run();

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// How a connection may use the file it opens. None creates the file.
enum class DbAccess {
  kReadWrite,
  // Reads, through the -wal beside the file when there is one; never writes
  // the file, nor copies the -wal into it when the connection closes.
  kReadOnly,
  // Reads the file alone, taking no lock and making no -wal or -shm: for a
  // file that holds all there is (its -wal, if any, holds no change).
  kImmutable,
};

class Database final {
 public:
  explicit Database(const std::string& path, DbAccess access = DbAccess::kReadWrite);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  Statement Prepare(std::string_view sql);
  void Execute(std::string_view sql);
  // Waits up to ms for a lock held by another connection.
  void SetBusyTimeout(int ms);

  // Transactions shared by several writers on one connection: Begin opens one
  // unless one is open already; Commit ends the open one, if any, and rolls it
  // back when the commit fails (then throws); Rollback drops it.
  void Begin();
  void Commit();
  void Rollback() noexcept;
  bool InTransaction() const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

// A savepoint inside the open transaction, set again for each piece of work
// that may have to be taken back whole (a plan entry cut short).
class Savepoint final {
 public:
  explicit Savepoint(Database& db);
  void Set();
  // Keeps what was done since Set.
  void Release();
  // Takes back what was done since Set.
  void Undo();

 private:
  Statement set_;
  Statement release_;
  Statement undo_;
};

}  // namespace valmeric
