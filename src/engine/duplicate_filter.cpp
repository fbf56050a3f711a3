#include "engine/duplicate_filter.h"

#include "refdb/statements.h"

namespace valmeric {

DuplicateFilter::DuplicateFilter(Database& db)
    : db_(db),
      select_(db.Prepare(sql::kSelectSeenCode)),
      insert_(db.Prepare(sql::kInsertSeenCode)) {}

DuplicateFilter::~DuplicateFilter() {
  try {
    Commit();
  } catch (const DbError&) {  // the codes were scratch data of a run that is over
  }
}

bool DuplicateFilter::CheckHspCode(const std::string& code) {
  if (unrecorded_.count(code) != 0) return true;
  select_.Reset();
  select_.BindText(1, code);
  const bool seen = select_.Step();
  select_.Reset();
  if (seen) return true;
  try {
    db_.Begin();
    insert_.BindText(1, code).Run();
  } catch (const DbError&) {
    // The facility is still new and gets its line; remembering the code here
    // keeps a later listing of it from being written twice.
    unrecorded_.insert(code);
  }
  return false;
}

}  // namespace valmeric
