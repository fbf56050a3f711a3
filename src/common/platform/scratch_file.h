#pragma once

#include <stdexcept>
#include <string>

#include "common/platform/native_file.h"

namespace valmeric {

// The scratch file could not be made or written: a local fault, not the site's.
class ScratchFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A scratch download file that belongs to one run: created exclusively under
// a fresh name ("tmp-XXXXXX.dat") in a folder, readable by its owner only,
// and removed when the object goes. No other run, in this process or another,
// is handed the same file. Write into it by truncating, never by removing and
// re-creating, so the name stays taken for the whole run.
//
// The file holds its own lock for as long as the object lives, so a file that
// nobody holds is known to be a dead run's: the next one made in the folder
// removes such leftovers first (a run that was killed never removes its own).
class ScratchFile final {
 public:
  // Throws ScratchFileError when the folder cannot hold the file.
  explicit ScratchFile(const std::string& folder);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }

  // Removes the scratch files in folder that no live ScratchFile holds, in
  // this process or another; returns how many went.
  static int RemoveLeftovers(const std::string& folder);

 private:
  void Hold(std::string& error);

  std::string path_;
  FileIdentity identity_;
  NativeFile hold_;  // the file's own lock, which tells it is alive
};

}  // namespace valmeric
