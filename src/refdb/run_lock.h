#pragma once

#include <stdexcept>
#include <string>

#include "common/platform/native_file.h"

namespace valmeric {

// The run lock could not be taken.
class RunLockError : public std::runtime_error {
 public:
  enum class Kind {
    kHeldByAnotherRun,  // another run, in this process or another, holds the database
    kCannotLock,        // the lock file cannot be opened or locked
  };
  RunLockError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// An exclusive claim on a database for the length of a run, so that two runs
// never share the duplicate table or the scratch file. Held as an advisory
// lock on a file beside the database, named after the database's real path
// (links, "." and ".." resolved, and letter case where the system ignores
// it), so every spelling of one
// database meets the same lock. The system drops it when the process ends,
// however it ends.
//
// The database file itself is not locked: closing any descriptor of that file
// would drop the POSIX locks SQLite holds on it in this process.
class RunLock final {
 public:
  // Claims the lock without waiting. Throws RunLockError.
  explicit RunLock(const std::string& database_path);
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // The lock file of a database: its real path followed by ".lock".
  static std::string LockPathFor(const std::string& database_path);

 private:
  NativeFile file_;
};

}  // namespace valmeric
