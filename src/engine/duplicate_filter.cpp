#include "engine/duplicate_filter.h"

#include "refdb/statements.h"

namespace valmeric {

DuplicateFilter::DuplicateFilter(Database& db)
    : select_(db.Prepare(sql::kSelectSeenCode)), insert_(db.Prepare(sql::kInsertSeenCode)) {}

bool DuplicateFilter::CheckHspCode(const std::string& code) {
  if (unrecorded_.count(code) != 0) return true;
  select_.Reset();
  select_.BindText(1, code);
  const bool seen = select_.Step();
  select_.Reset();
  if (seen) return true;
  try {
    insert_.Reset();
    insert_.BindText(1, code);
    insert_.Execute();
  } catch (const DbError&) {
    // The facility is still new and gets its line; remembering the code here
    // keeps a later listing of it from being written twice.
    unrecorded_.insert(code);
  }
  insert_.Reset();
  return false;
}

}  // namespace valmeric
