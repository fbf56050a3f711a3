#include "window_model/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace valmeric::window_model {

std::filesystem::path SingleInstance::LockFilePath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  if (runtime != nullptr && runtime[0] == '/' && std::filesystem::is_directory(runtime, error)) {
    return std::filesystem::path(runtime) / (name + ".lock");
  }
  return std::filesystem::temp_directory_path(error) /
         (name + "-" + std::to_string(::getuid()) + ".lock");
}

std::unique_ptr<SingleInstance> SingleInstance::Claim(const std::filesystem::path& path) {
  // No symbolic links: in a shared folder such as /tmp another user could
  // point ours at a file of theirs.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid() ||
      ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SingleInstance>(new SingleInstance(fd));
}

SingleInstance::~SingleInstance() {
  ::close(fd_);
}

std::unique_ptr<SingleInstance> ClaimSingleInstance(const std::string& name) {
  return SingleInstance::Claim(SingleInstance::LockFilePath(name));
}

}  // namespace valmeric::window_model
