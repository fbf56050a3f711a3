#include "refdb/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace valmeric {

std::string RunLock::LockPathFor(const std::string& database_path) {
  std::error_code error;
  std::filesystem::path real = std::filesystem::weakly_canonical(database_path, error);
  if (error) real = std::filesystem::absolute(database_path, error).lexically_normal();
  return real.string() + ".lock";
}

RunLock::RunLock(const std::string& database_path) {
  const std::string lock_path = LockPathFor(database_path);
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) fd_ = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    throw RunLockError(RunLockError::Kind::kCannotLock,
                       "cannot open the lock file " + lock_path + ": " + std::strerror(errno));
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (error == EWOULDBLOCK) {
      throw RunLockError(RunLockError::Kind::kHeldByAnotherRun,
                         "another run is using the database " + database_path);
    }
    throw RunLockError(RunLockError::Kind::kCannotLock,
                       "cannot lock " + lock_path + ": " + std::strerror(error));
  }
}

RunLock::~RunLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace valmeric
