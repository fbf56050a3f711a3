#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "common/platform/utf8_path.h"
#include "window_model/replace_file.h"

namespace valmeric::window_model {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path, int error) {
  throw std::runtime_error(what + " " + Utf8FromPath(path) + ": " + std::strerror(error));
}

}  // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view text) {
  // Renaming would replace a file the user has made read-only; honour that.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
    Fail("cannot write", path, errno);
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    Fail("cannot write", path, EISDIR);

  std::filesystem::path temp = path;
  temp += ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("cannot create", temp, errno);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temp.c_str());
      Fail("cannot write", temp, error);
    }
    done += static_cast<size_t>(n);
  }
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  const int closed = ::close(fd) == 0 ? 0 : errno;
  if (synced != 0 || closed != 0) {
    const int error = synced != 0 ? synced : closed;
    ::unlink(temp.c_str());
    Fail("cannot write", temp, error);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail("cannot replace", path, error);
  }
}

}  // namespace valmeric::window_model
