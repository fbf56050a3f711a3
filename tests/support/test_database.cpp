#include "support/test_database.h"

#include <sqlite3.h>

#include <stdexcept>

#include "refdb/schema.h"
#include "support/temp_dir.h"

namespace valmeric::test {
namespace {

struct Connection {
  sqlite3* db = nullptr;
  explicit Connection(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path);
  }
  ~Connection() { sqlite3_close(db); }
  void Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error(sql + ": " + text);
    }
  }
};

}  // namespace

void CreateTestDatabase(const std::string& path, const std::vector<CityRow>& cities,
                        const std::vector<SubCategoryRow>& sub_categories) {
  Connection c(path);
  for (const char* create : schema::kCreateTables) c.Exec(create);
  for (const CityRow& row : cities) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(c.db, "INSERT INTO T01_City VALUES (?, ?, ?)", -1, &stmt, nullptr);
    sqlite3_bind_int(stmt, 1, row.prefecture);
    sqlite3_bind_int(stmt, 2, row.city);
    sqlite3_bind_text(stmt, 3, row.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
  }
  for (const SubCategoryRow& row : sub_categories) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        c.db, "INSERT INTO T02_Category (CtgrCode, SubCtgrCode, SubCtgrName) VALUES (?, ?, ?)", -1,
        &stmt, nullptr);
    sqlite3_bind_int(stmt, 1, row.category);
    sqlite3_bind_int64(stmt, 2, row.code);
    sqlite3_bind_text(stmt, 3, row.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
  }
}

void ExecuteOn(const std::string& path, const std::string& sql) {
  Connection(path).Exec(sql);
}

void LeaveInWal(const std::string& path, const std::string& sql) {
  Connection c(path);
  c.Exec("PRAGMA journal_mode=WAL");
  sqlite3_db_config(c.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  c.Exec(sql);
}

std::string AnotherDatabasesWal(const std::string& path) {
  CreateTestDatabase(path, {{47, 201, "那覇市"}, {47, 205, "宜野湾市"}}, {{9, 910, "一般歯科"}});
  LeaveInWal(path,
             "DELETE FROM T01_City; INSERT INTO T01_City VALUES (47, 211, '沖縄市'); "
             "CREATE TABLE Notes (Text TEXT); INSERT INTO Notes VALUES (hex(randomblob(3000)))");
  return ReadFile(path + "-wal");
}

std::vector<std::string> QueryColumn(const std::string& path, const std::string& sql) {
  Connection c(path);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(c.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error("cannot prepare " + sql);
  }
  std::vector<std::string> rows;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    rows.emplace_back(text ? text : "");
  }
  sqlite3_finalize(stmt);
  return rows;
}

}  // namespace valmeric::test
