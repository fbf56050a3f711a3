#include "engine/output_file_name.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>

namespace valmeric {

std::string WithCsvExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (has_extension && strcasecmp(path.c_str() + dot, ".csv") == 0) return path;
  return path + ".csv";
}

bool OutputHeldByAnotherRun(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // drops the probe's own lock
  return held;
}

bool DeleteExistingOutput(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const auto status = fs::symlink_status(path, error);
  if (error || !fs::exists(status)) return true;
  if (fs::is_directory(status)) return false;
  if (fs::is_regular_file(status) && OutputHeldByAnotherRun(path)) return false;
  return fs::remove(path, error) && !error;
}

}  // namespace valmeric
