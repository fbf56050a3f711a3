#include "refdb/sqlite_db.h"

#include <sqlite3.h>

#include <filesystem>
#include <string_view>
#include <utility>

#include "common/platform/utf8_path.h"
#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"
#include "messages/detail_text.h"
#include "refdb/statements.h"

namespace valmeric {
namespace {

bool KeptInUri(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-._~/:").find(c) != std::string_view::npos;
}

// "file:///abs/path?immutable=1": SQLite takes the immutable flag from a URI
// only. Every other byte of the path is written as %XX.
std::string ImmutableUri(const std::string& path) {
  std::error_code error;
  const std::u8string spelled =
      std::filesystem::absolute(PathFromUtf8(path), error).generic_u8string();
  std::string uri = "file://";
  if (spelled.empty() || spelled.front() != u8'/') uri += '/';  // "/C:/..." on Windows
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char8_t unit : spelled) {
    const auto c = static_cast<char>(unit);
    if (KeptInUri(c)) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[(unit >> 4) & 0xF];
      uri += kHex[unit & 0xF];
    }
  }
  return uri + "?immutable=1";
}

// The statement's SQL, when there is one, follows SQLite's own words.
[[noreturn]] void Throw(sqlite3* db, int code, std::string_view sql = {}) {
  std::string technical = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  if (!sql.empty()) technical.append(": ").append(sql);
  throw DbError(code, Detail(detail::kDatabaseStatement, technical));
}

}  // namespace

bool DbError::IsWriteFailure() const {
  switch (code_ & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
      return true;
    default:
      return false;
  }
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) Throw(db, rc, sql);
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::BindText(int index, std::string_view sjis) {
  const std::string utf8 = SjisToUtf8(sjis);
  const int rc =
      sqlite3_bind_text(stmt_, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) Throw(db_, rc);
  return *this;
}

Statement& Statement::BindInt(int index, std::int64_t value) {
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) Throw(db_, rc);
  return *this;
}

Statement& Statement::BindDecimal(int index, std::string_view digits) {
  if (!IsPlainDecimal(digits)) {
    throw DbError(SQLITE_MISMATCH, Detail(detail::kNotANumber, "\"" + SjisToUtf8(digits) + "\""));
  }
  return BindInt(index, std::stoll(std::string(digits)));
}

Statement& Statement::BindBlob(int index, std::string_view bytes) {
  const int rc = sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                                   SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) Throw(db_, rc);
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Throw(db_, rc, sqlite3_sql(stmt_));
}

void Statement::Execute() {
  while (Step()) {
  }
}

std::string Statement::ColumnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (!text) return {};
  return Utf8ToSjis(
      std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))));
}

std::int64_t Statement::ColumnInt(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

bool Statement::ColumnIsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string Statement::ColumnBlob(int column) const {
  const void* bytes = sqlite3_column_blob(stmt_, column);
  if (!bytes) return {};
  return std::string(static_cast<const char*>(bytes),
                     static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

void Statement::Run() {
  try {
    Execute();
  } catch (...) {
    Reset();
    throw;
  }
  Reset();
}

Database::Database(const std::string& path, DbAccess access) : path_(path) {
  int flags = SQLITE_OPEN_FULLMUTEX |
              (access == DbAccess::kReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
  std::string name = path;
  if (access == DbAccess::kImmutable) {
    name = ImmutableUri(path);
    flags |= SQLITE_OPEN_URI;
  }
  const int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message =
        FileDetail(detail::kDatabaseOpen, path, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError(rc, message);
  }
  sqlite3_extended_result_codes(db_, 1);
  if (access != DbAccess::kReadWrite)
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

Database::~Database() {
  sqlite3_close(db_);
}

Statement Database::Prepare(std::string_view sql) {
  return Statement(db_, sql);
}

void Database::Execute(std::string_view sql) {
  Prepare(sql).Execute();
}

void Database::SetBusyTimeout(int ms) {
  sqlite3_busy_timeout(db_, ms);
}

bool Database::InTransaction() const {
  return sqlite3_get_autocommit(db_) == 0;
}

void Database::Begin() {
  if (!InTransaction()) Execute("BEGIN");
}

void Database::Commit() {
  if (!InTransaction()) return;
  try {
    Execute("COMMIT");
  } catch (const DbError&) {
    Rollback();
    throw;
  }
}

void Database::Rollback() noexcept {
  if (InTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

Savepoint::Savepoint(Database& db)
    : set_(db.Prepare(sql::kSetSavepoint)),
      release_(db.Prepare(sql::kReleaseSavepoint)),
      undo_(db.Prepare(sql::kUndoToSavepoint)) {}

void Savepoint::Set() {
  set_.Run();
}

void Savepoint::Release() {
  release_.Run();
}

void Savepoint::Undo() {
  undo_.Run();
  release_.Run();
}

}  // namespace valmeric
