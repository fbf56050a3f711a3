#include "refdb/run_lock.h"

#include "messages/detail_text.h"

namespace valmeric {

std::string RunLock::LockPathFor(const std::string& database_path) {
  return RealPath(database_path) + ".lock";
}

RunLock::RunLock(const std::string& database_path) {
  const std::string lock_path = LockPathFor(database_path);
  if (!file_.Open(lock_path, NativeFile::Mode::kLockFile)) {
    throw RunLockError(RunLockError::Kind::kCannotLock,
                       FileDetail(detail::kCannotOpenLock, lock_path, file_.error()));
  }
  switch (file_.TryLock()) {
    case NativeFile::LockResult::kLocked:
      return;
    case NativeFile::LockResult::kHeldElsewhere:
      throw RunLockError(RunLockError::Kind::kHeldByAnotherRun,
                         Detail(detail::kDatabaseInUse, database_path));
    case NativeFile::LockResult::kFailed:
      break;
  }
  throw RunLockError(RunLockError::Kind::kCannotLock,
                     FileDetail(detail::kCannotLock, lock_path, file_.error()));
}

}  // namespace valmeric
