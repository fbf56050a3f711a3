#include "refdb_writer.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "refdb/schema.h"

namespace valmeric::refdata {
namespace {

class Connection final {
 public:
  explicit Connection(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw std::runtime_error("cannot create " + path + ": " + message);
    }
  }
  ~Connection() { sqlite3_close(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw std::runtime_error(std::string(sql) + ": " + message);
    }
  }

  sqlite3* get() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

class Statement final {
 public:
  Statement(Connection& connection, const char* sql) : connection_(connection) {
    if (sqlite3_prepare_v2(connection.get(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sql) + ": " + sqlite3_errmsg(connection.get()));
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int value) {
    Check(sqlite3_bind_int(stmt_, index, value));
    return *this;
  }
  Statement& Bind(int index, const std::string& value) {
    Check(sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  void Run() {
    if (sqlite3_step(stmt_) != SQLITE_DONE) {
      throw std::runtime_error(sqlite3_errmsg(connection_.get()));
    }
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(connection_.get()));
  }

  Connection& connection_;
  sqlite3_stmt* stmt_ = nullptr;
};

void Fill(const std::string& path, const std::vector<City>& cities,
          const std::vector<SubCategory>& subcategories) {
  Connection db(path);
  // A plain rollback journal: the file must stand alone, without -wal/-shm
  // companions, wherever it is copied.
  db.Exec("PRAGMA journal_mode=DELETE");
  db.Exec("BEGIN");
  for (const char* create : valmeric::schema::kCreateTables) db.Exec(create);
  Statement city(db, "INSERT INTO T01_City (AreaCode, CityCode, CityName) VALUES (?, ?, ?)");
  for (const City& c : cities) city.Bind(1, c.prefecture).Bind(2, c.code).Bind(3, c.name).Run();
  Statement sub(db,
                "INSERT INTO T02_Category (CtgrCode, SubCtgrCode, SubCtgrName) VALUES (?, ?, ?)");
  for (const SubCategory& s : subcategories) {
    sub.Bind(1, s.category).Bind(2, s.code).Bind(3, s.name).Run();
  }
  db.Exec("COMMIT");
}

}  // namespace

void WriteReferenceDatabase(const std::string& path, const std::vector<City>& cities,
                            const std::vector<SubCategory>& subcategories) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  fs::path temp = target;
  temp += ".new";
  fs::remove(temp);
  try {
    Fill(temp.string(), cities, subcategories);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  fs::remove(target);
  fs::rename(temp, target);
}

}  // namespace valmeric::refdata
