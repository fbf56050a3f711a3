#include "common/scratch_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace valmeric {

ScratchFile::ScratchFile(const std::string& folder) {
  std::string name = (std::filesystem::path(folder) / "tmp-XXXXXX.dat").string();
  // mkostemps creates the file with O_CREAT | O_EXCL and mode 0600, trying
  // fresh names until one is free.
  const int fd = mkostemps(name.data(), 4, O_CLOEXEC);
  if (fd < 0) {
    throw ScratchFileError("cannot create a scratch file in " + folder + ": " + std::strerror(errno));
  }
  struct stat info {};
  fstat(fd, &info);
  ::close(fd);
  path_ = std::move(name);
  device_ = info.st_dev;
  inode_ = info.st_ino;
}

ScratchFile::~ScratchFile() {
  // Only the file made here goes: should the name have been freed and taken
  // by someone else meanwhile, theirs stays.
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
    ::unlink(path_.c_str());
  }
}

}  // namespace valmeric
