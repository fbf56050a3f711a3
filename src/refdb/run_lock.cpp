#include "refdb/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace valmeric {

RunLock::RunLock(const std::string& database_path) {
  const std::string lock_path = database_path + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) fd_ = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    throw std::runtime_error("cannot open the lock file " + lock_path + ": " +
                             std::strerror(errno));
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (error == EWOULDBLOCK) {
      throw RunLockBusy("another run is using the database " + database_path);
    }
    throw std::runtime_error("cannot lock " + lock_path + ": " + std::strerror(error));
  }
}

RunLock::~RunLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace valmeric
