#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"

namespace valmeric {
namespace {

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

NativeFile::~NativeFile() {
  Close();
}

void NativeFile::SetError() {
  error_ = std::strerror(errno);
}

bool NativeFile::Open(const std::string& path, Mode mode) {
  Close();
  created_ = false;
  int fd = -1;
  switch (mode) {
    case Mode::kWriteCreate:
      // Made exclusively first, so that the caller knows whether the file is its own.
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      created_ = fd >= 0;
      if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
      // Gone in between, or a dangling link: made now, but not known to be ours.
      if (fd < 0 && errno == ENOENT)
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      break;
    case Mode::kWriteExisting:
      fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
      break;
    case Mode::kLockFile:
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      break;
    case Mode::kProbe:
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      break;
  }
  if (fd < 0) {
    SetError();
    return false;
  }
  handle_ = fd;
  return true;
}

bool NativeFile::is_open() const {
  return handle_ >= 0;
}

NativeFile::LockResult NativeFile::TryLock() {
  if (::flock(Fd(handle_), LOCK_EX | LOCK_NB) == 0) return LockResult::kLocked;
  SetError();
  return errno == EWOULDBLOCK ? LockResult::kHeldElsewhere : LockResult::kFailed;
}

bool NativeFile::IsRegularFile() const {
  struct stat info {};
  return ::fstat(Fd(handle_), &info) == 0 && S_ISREG(info.st_mode);
}

long long NativeFile::WriteSome(const char* data, size_t size) {
  for (;;) {
    const ssize_t n = ::write(Fd(handle_), data, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    SetError();
    return -1;
  }
}

bool NativeFile::Truncate(std::uint64_t length) {
  const auto at = static_cast<off_t>(length);
  if (::ftruncate(Fd(handle_), at) == 0 && ::lseek(Fd(handle_), at, SEEK_SET) == at) return true;
  SetError();
  return false;
}

std::optional<std::uint64_t> NativeFile::Size() const {
  struct stat info {};
  if (::fstat(Fd(handle_), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool NativeFile::SyncData() {
  if (::fdatasync(Fd(handle_)) == 0) return true;
  SetError();
  return false;
}

bool NativeFile::Close() {
  if (handle_ < 0) return true;
  const int fd = Fd(handle_);
  handle_ = -1;
  if (::close(fd) == 0) return true;
  SetError();
  return false;
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::string StdioErrorText() {
  return std::strerror(errno);
}

CreateResult CreateNewFile(const std::string& path, FileIdentity& identity, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = std::strerror(errno);
    return errno == EEXIST ? CreateResult::kNameTaken : CreateResult::kFailed;
  }
  struct stat info {};
  ::fstat(fd, &info);
  ::close(fd);
  identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return CreateResult::kCreated;
}

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool FileCanBeRemoved(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool TruncateFile(const std::string& path, std::uint64_t length) {
  return ::truncate(path.c_str(), static_cast<off_t>(length)) == 0;
}

std::string RealPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path given = PathFromUtf8(path);
  std::filesystem::path real = std::filesystem::weakly_canonical(given, error);
  if (error) real = std::filesystem::absolute(given, error).lexically_normal();
  return Utf8FromPath(real);
}

void SyncFolderOf(const std::string& path) {
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::absolute(PathFromUtf8(path), error).parent_path();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // a folder that cannot be synced costs durability only on a power cut
  ::close(fd);
}

namespace {

RenameResult RenameFailure() {
  return errno == EEXIST ? RenameResult::kNameTaken : RenameResult::kFailed;
}

// Where the file system knows no exclusive rename: a new link that fails on
// a taken name, and the old name dropped after it.
RenameResult RenameByLink(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return RenameFailure();
    // No links either (FAT): the name is checked, then taken.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) return RenameResult::kNameTaken;
    return ::rename(from.c_str(), to.c_str()) == 0 ? RenameResult::kRenamed : RenameResult::kFailed;
  }
  if (::unlink(from.c_str()) == 0) return RenameResult::kRenamed;
  ::unlink(to.c_str());  // the file keeps its old name alone
  return RenameResult::kFailed;
}

}  // namespace

RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    SyncFolderOf(to);
    return RenameResult::kRenamed;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return RenameFailure();
  const RenameResult result = RenameByLink(from, to);
  if (result == RenameResult::kRenamed) SyncFolderOf(to);
  return result;
}

std::string PathForNarrowApi(const std::string& path) {
  return path;
}

std::optional<LocalTime> ModifiedLocalTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 && ::lstat(path.c_str(), &info) != 0) return std::nullopt;
  std::tm local{};
  if (::localtime_r(&info.st_mtime, &local) == nullptr) return std::nullopt;
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min};
}

}  // namespace valmeric
