#pragma once

#include <string>

#include "refdb/sqlite_db.h"

namespace valmeric {

// The program's database file: the duplicate table of the current run and the
// two reference tables. Opening never creates the file.
class ReferenceDb final {
 public:
  // Throws DbError when the file is missing or is not a usable database; an
  // empty file is refused with SQLITE_NOTADB and left as it is.
  explicit ReferenceDb(const std::string& path);

  Database& db() { return db_; }
  // Empties the duplicate table before a run.
  void ClearSeenCodes();

 private:
  Database db_;
};

}  // namespace valmeric
