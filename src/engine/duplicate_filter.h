#pragma once

#include <string>
#include <unordered_set>

#include "refdb/sqlite_db.h"

namespace valmeric {

// Remembers the facility codes met in a run in the duplicate table. A code is
// recorded the first time it is asked about. New codes are written in the
// connection's open transaction (one is begun when none is), until Commit, so
// a facility costs no commit of its own and the codes can be committed
// together with other writes of the same connection.
class DuplicateFilter final {
 public:
  explicit DuplicateFilter(Database& db);
  // Commits what is pending; a failure here is dropped.
  ~DuplicateFilter();
  DuplicateFilter(const DuplicateFilter&) = delete;
  DuplicateFilter& operator=(const DuplicateFilter&) = delete;

  // True when code was met before in this run; otherwise records it.
  bool CheckHspCode(const std::string& code);
  // Commits the codes recorded since the last commit. Throws DbError.
  void Commit() { db_.Commit(); }

 private:
  Database& db_;
  Statement select_;
  Statement insert_;
  // Codes the table refused to store; kept here so they are still recognised.
  std::unordered_set<std::string> unrecorded_;
};

}  // namespace valmeric
