// Loaded with LD_PRELOAD into valmeric-cli: logs every operation on a few
// named files of one folder (the database, its journals, the CSV) with the
// bytes written, in the order the operations happened, so that the crash test
// can build the disk images a power cut could leave.
//
//   VALMERIC_IO_LOG    the log to write (io_log_format.h)
//   VALMERIC_IO_DIR    the folder, an absolute path without a trailing "/"
//   VALMERIC_IO_FILES  the files' names in it, separated by "/"
//
// Without these the calls pass through untouched. A call on a watched file
// that the log could not replay (stdio, a shared writable mapping, a rename
// onto a watched name, or by rename() and renameat(), which a run never makes)
// is logged as unfollowed, and the test refuses the log. A watched file moved
// aside by renameat2 loses its name as by unlink, and is logged so.

#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

#include "io_log_format.h"

using valmeric::crash::IoEntry;
using valmeric::crash::IoKind;
using valmeric::crash::kFolder;
using valmeric::crash::kMaxWatchedFiles;

extern "C" {
int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dirfd, const char* path, int flags);
int __openat64_2(int dirfd, const char* path, int flags);
}

namespace {

constexpr int kNone = -2;
constexpr int kMaxFd = 65536;

struct Watch {
  bool on = false;
  int log = -1;
  char dir[PATH_MAX] = {};
  size_t dir_length = 0;
  char names[kMaxWatchedFiles][NAME_MAX + 1] = {};
  int count = 0;
};

Watch watch;
// What each descriptor stands for: 0 nothing watched, 1 the folder, 2 + n file n.
signed char fd_file[kMaxFd];
pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
#define REAL(name) static const auto real = Next<decltype(&::name)>(#name)

ssize_t WriteAll(int fd, const void* data, size_t size) {
  REAL(write);
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = real(fd, bytes + done, size - done);
    if (n <= 0) return -1;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

__attribute__((constructor)) void Start() {
  const char* log = getenv("VALMERIC_IO_LOG");
  const char* dir = getenv("VALMERIC_IO_DIR");
  const char* files = getenv("VALMERIC_IO_FILES");
  if (!log || !dir || !files || strlen(dir) >= sizeof watch.dir) return;
  REAL(open);
  watch.log = real(log, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (watch.log < 0) return;
  strcpy(watch.dir, dir);
  watch.dir_length = strlen(dir);
  for (const char* name = files; *name && watch.count < kMaxWatchedFiles;) {
    const char* end = strchrnul(name, '/');
    const size_t length = static_cast<size_t>(end - name);
    if (length > 0 && length <= NAME_MAX) memcpy(watch.names[watch.count++], name, length);
    name = *end ? end + 1 : end;
  }
  watch.on = true;
}

// kNone, kFolder or the watched file's number.
int FileOf(int dirfd, const char* path) {
  if (!watch.on || !path) return kNone;
  char full[PATH_MAX];
  if (path[0] == '/') {
    if (strlen(path) >= sizeof full) return kNone;
    strcpy(full, path);
  } else if (dirfd == AT_FDCWD) {
    if (!getcwd(full, sizeof full) || strlen(full) + strlen(path) + 2 > sizeof full) return kNone;
    strcat(full, "/");
    strcat(full, path);
  } else {
    return kNone;
  }
  size_t length = strlen(full);
  while (length > 1 && full[length - 1] == '/') full[--length] = '\0';
  if (strncmp(full, watch.dir, watch.dir_length) != 0) return kNone;
  const char* rest = full + watch.dir_length;
  if (*rest == '\0') return kFolder;
  if (*rest != '/') return kNone;
  for (int i = 0; i < watch.count; ++i) {
    if (strcmp(rest + 1, watch.names[i]) == 0) return i;
  }
  return kNone;
}

int FileOfFd(int fd) {
  if (!watch.on || fd < 0 || fd >= kMaxFd || fd_file[fd] == 0) return kNone;
  return fd_file[fd] == 1 ? kFolder : fd_file[fd] - 2;
}

void Remember(int fd, int file) {
  if (fd >= 0 && fd < kMaxFd)
    fd_file[fd] = static_cast<signed char>(file == kFolder ? 1 : file + 2);
}

// Called with the mutex held.
void Log(IoKind kind, int file, std::int64_t offset = 0, std::int64_t length = 0,
         const void* data = nullptr) {
  const IoEntry entry{kind, file, offset, length};
  WriteAll(watch.log, &entry, sizeof entry);
  if (data && length > 0) WriteAll(watch.log, data, static_cast<size_t>(length));
}

class Locked {
 public:
  Locked() { pthread_mutex_lock(&mutex); }
  ~Locked() { pthread_mutex_unlock(&mutex); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

template <typename Open>
int Opened(int dirfd, const char* path, int flags, Open open) {
  const int file = FileOf(dirfd, path);
  if (file == kNone) return open();
  Locked locked;
  const bool existed = access(path, F_OK) == 0;
  const int fd = open();
  if (fd < 0) return fd;
  Remember(fd, file);
  if (file == kFolder) return fd;
  if (!existed && (flags & O_CREAT)) Log(IoKind::kCreate, file);
  if (existed && (flags & O_TRUNC)) Log(IoKind::kTruncate, file, 0);
  return fd;
}

mode_t ModeOf(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

template <typename Call>
int Synced(int fd, Call call) {
  const int file = FileOfFd(fd);
  if (file == kNone) return call();
  Locked locked;
  const int result = call();
  if (result == 0) Log(file == kFolder ? IoKind::kFolderSync : IoKind::kSync, file);
  return result;
}

// A write at offset, logged when it wrote something.
template <typename Call>
ssize_t PositionedWrite(int fd, std::int64_t offset, const void* data, Call call) {
  const int file = FileOfFd(fd);
  if (file < 0) return call();
  Locked locked;
  const ssize_t n = call();
  if (n > 0) Log(IoKind::kWrite, file, offset, n, data);
  return n;
}

template <typename Call>
int Truncated(int file, off_t length, Call call) {
  if (file < 0) return call();
  Locked locked;
  const int result = call();
  if (result == 0) Log(IoKind::kTruncate, file, length);
  return result;
}

template <typename Call>
int Unlinked(int file, Call call) {
  if (file < 0) return call();
  Locked locked;
  const int result = call();
  if (result != 0) return result;
  Log(IoKind::kUnlink, file);
  // Writes through a descriptor still open go to a file without a name.
  for (int fd = 0; fd < kMaxFd; ++fd) {
    if (FileOfFd(fd) == file) fd_file[fd] = 0;
  }
  return result;
}

void Unfollowed(int file, int what) {
  if (file < 0) return;
  Locked locked;
  Log(IoKind::kUnfollowed, file, what);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  REAL(open);
  return Opened(AT_FDCWD, path, flags, [&] { return real(path, flags, mode); });
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  REAL(open64);
  return Opened(AT_FDCWD, path, flags, [&] { return real(path, flags, mode); });
}

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  REAL(openat);
  return Opened(dirfd, path, flags, [&] { return real(dirfd, path, flags, mode); });
}

int openat64(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  REAL(openat64);
  return Opened(dirfd, path, flags, [&] { return real(dirfd, path, flags, mode); });
}

int __open_2(const char* path, int flags) {
  REAL(__open_2);
  return Opened(AT_FDCWD, path, flags, [&] { return real(path, flags); });
}

int __open64_2(const char* path, int flags) {
  REAL(__open64_2);
  return Opened(AT_FDCWD, path, flags, [&] { return real(path, flags); });
}

int __openat_2(int dirfd, const char* path, int flags) {
  REAL(__openat_2);
  return Opened(dirfd, path, flags, [&] { return real(dirfd, path, flags); });
}

int __openat64_2(int dirfd, const char* path, int flags) {
  REAL(__openat64_2);
  return Opened(dirfd, path, flags, [&] { return real(dirfd, path, flags); });
}

int creat(const char* path, mode_t mode) {
  REAL(creat);
  return Opened(AT_FDCWD, path, O_CREAT | O_TRUNC, [&] { return real(path, mode); });
}

int creat64(const char* path, mode_t mode) {
  REAL(creat64);
  return Opened(AT_FDCWD, path, O_CREAT | O_TRUNC, [&] { return real(path, mode); });
}

FILE* fopen(const char* path, const char* mode) {
  REAL(fopen);
  if (strpbrk(mode, "wa+")) Unfollowed(FileOf(AT_FDCWD, path), 1);
  return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  REAL(fopen64);
  if (strpbrk(mode, "wa+")) Unfollowed(FileOf(AT_FDCWD, path), 1);
  return real(path, mode);
}

int close(int fd) {
  REAL(close);
  if (FileOfFd(fd) == kNone) return real(fd);
  Locked locked;
  fd_file[fd] = 0;
  return real(fd);
}

ssize_t write(int fd, const void* data, size_t size) {
  REAL(write);
  const int file = FileOfFd(fd);
  if (file < 0) return real(fd, data, size);
  Locked locked;
  const ssize_t n = real(fd, data, size);
  // Measured after the write: right for O_APPEND too.
  if (n > 0) Log(IoKind::kWrite, file, lseek(fd, 0, SEEK_CUR) - n, n, data);
  return n;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  REAL(pwrite);
  return PositionedWrite(fd, offset, data, [&] { return real(fd, data, size, offset); });
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
  REAL(pwrite64);
  return PositionedWrite(fd, offset, data, [&] { return real(fd, data, size, offset); });
}

int ftruncate(int fd, off_t length) {
  REAL(ftruncate);
  return Truncated(FileOfFd(fd), length, [&] { return real(fd, length); });
}

int ftruncate64(int fd, off64_t length) {
  REAL(ftruncate64);
  return Truncated(FileOfFd(fd), length, [&] { return real(fd, length); });
}

int truncate(const char* path, off_t length) {
  REAL(truncate);
  return Truncated(FileOf(AT_FDCWD, path), length, [&] { return real(path, length); });
}

int truncate64(const char* path, off64_t length) {
  REAL(truncate64);
  return Truncated(FileOf(AT_FDCWD, path), length, [&] { return real(path, length); });
}

int fsync(int fd) {
  REAL(fsync);
  return Synced(fd, [&] { return real(fd); });
}

int fdatasync(int fd) {
  REAL(fdatasync);
  return Synced(fd, [&] { return real(fd); });
}

int unlink(const char* path) {
  REAL(unlink);
  return Unlinked(FileOf(AT_FDCWD, path), [&] { return real(path); });
}

int unlinkat(int dirfd, const char* path, int flags) {
  REAL(unlinkat);
  return Unlinked(FileOf(dirfd, path), [&] { return real(dirfd, path, flags); });
}

int remove(const char* path) {
  REAL(remove);
  return Unlinked(FileOf(AT_FDCWD, path), [&] { return real(path); });
}

int rename(const char* from, const char* to) {
  REAL(rename);
  Unfollowed(FileOf(AT_FDCWD, from), 2);
  Unfollowed(FileOf(AT_FDCWD, to), 2);
  return real(from, to);
}

int renameat(int from_dir, const char* from, int to_dir, const char* to) {
  REAL(renameat);
  Unfollowed(FileOf(from_dir, from), 2);
  Unfollowed(FileOf(to_dir, to), 2);
  return real(from_dir, from, to_dir, to);
}

int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags) {
  REAL(renameat2);
  Unfollowed(FileOf(to_dir, to), 2);
  return Unlinked(FileOf(from_dir, from), [&] { return real(from_dir, from, to_dir, to, flags); });
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  REAL(mmap);
  if ((protection & PROT_WRITE) && (flags & MAP_SHARED)) Unfollowed(FileOfFd(fd), 3);
  return real(address, length, protection, flags, fd, offset);
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off64_t offset) {
  REAL(mmap64);
  if ((protection & PROT_WRITE) && (flags & MAP_SHARED)) Unfollowed(FileOfFd(fd), 3);
  return real(address, length, protection, flags, fd, offset);
}

}  // extern "C"
