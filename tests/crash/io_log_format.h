#pragma once

// The log io_log_shim writes and the crash test reads: one entry per
// operation on a watched file, in the order the operations happened.

#include <cstdint>

namespace valmeric::crash {

enum class IoKind : std::uint32_t {
  kCreate = 1,    // the name now stands for a new, empty file
  kWrite = 2,     // offset, length, then the bytes
  kTruncate = 3,  // to offset
  kSync = 4,      // fsync or fdatasync of the file
  kUnlink = 5,
  kFolderSync = 6,  // fsync or fdatasync of the watched folder
  kUnfollowed = 7,  // a call that changes the file in a way the log cannot replay
};

// Files are numbered as VALMERIC_IO_FILES names them; the folder is -1.
struct IoEntry {
  IoKind kind;
  std::int32_t file;
  std::int64_t offset;
  std::int64_t length;
};

inline constexpr int kFolder = -1;
inline constexpr int kMaxWatchedFiles = 8;

}  // namespace valmeric::crash
