#pragma once

#include <string>
#include <unordered_set>

#include "refdb/sqlite_db.h"

namespace valmeric {

// Remembers the facility codes met in a run in the duplicate table. A code is
// recorded the first time it is asked about.
class DuplicateFilter final {
 public:
  explicit DuplicateFilter(Database& db);

  // True when code was met before in this run; otherwise records it.
  bool CheckHspCode(const std::string& code);

 private:
  Statement select_;
  Statement insert_;
  // Codes the table refused to store; kept here so they are still recognised.
  std::unordered_set<std::string> unrecorded_;
};

}  // namespace valmeric
