#pragma once

#include <stdexcept>
#include <string>

namespace valmeric {

// Another run holds the database.
class RunLockBusy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An exclusive claim on a database for the length of a run, so that two runs
// never share the duplicate table or the scratch file. Held as an advisory
// lock on a file beside the database; the system drops it when the process
// ends, however it ends.
class RunLock final {
 public:
  // Claims the lock without waiting. Throws RunLockBusy when another run
  // holds it, std::runtime_error when the lock file cannot be opened.
  explicit RunLock(const std::string& database_path);
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace valmeric
