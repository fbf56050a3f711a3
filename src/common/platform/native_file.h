#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace valmeric {

// One file held open through the operating system, named by a UTF-8 path.
// Every call the core makes to open, lock, write, cut or sync a file goes
// through here; native_file_posix.cpp and native_file_windows.cpp are the two
// halves.
class NativeFile final {
 public:
  enum class Mode {
    kWriteCreate,    // for writing, made when missing, never emptied on opening
    kWriteExisting,  // for writing, must exist
    kLockFile,       // made when missing; opened for reading when it cannot be written
    kProbe,          // for reading, must exist
  };
  enum class LockResult { kLocked, kHeldElsewhere, kFailed };

  NativeFile() = default;
  ~NativeFile();
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;

  // False when the file cannot be opened; error() then says why.
  bool Open(const std::string& path, Mode mode);
  bool is_open() const;
  // True when the last Open in kWriteCreate made the file (it was not there
  // before); false when it opened a file that was, or when that is unknown.
  bool created() const { return created_; }
  // Takes the file's exclusive lock without waiting. Locks are advisory: they
  // keep out other lockers, never readers or writers. Released by Close.
  LockResult TryLock();
  bool IsRegularFile() const;
  // Writes some of data at the write position; returns how many bytes went,
  // or -1 (error() says why).
  long long WriteSome(const char* data, size_t size);
  // Cuts the file to length and moves the write position there.
  bool Truncate(std::uint64_t length);
  std::optional<std::uint64_t> Size() const;
  // Makes the file's bytes durable.
  bool SyncData();
  // False when closing reports an error; the file is closed either way.
  bool Close();
  const std::string& error() const { return error_; }

 private:
  void SetError();

  std::intptr_t handle_ = -1;  // a descriptor or a HANDLE
  bool created_ = false;
  std::string error_;
};

// What tells one file from another even when its name is reused.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};

enum class CreateResult { kCreated, kNameTaken, kFailed };

// std::fopen for a UTF-8 path.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);
// The system's words for why the last std::FILE call of this thread failed.
std::string StdioErrorText();
// The name under which a library that opens files by char names (fopen on
// Windows takes them in the system's ANSI code page) reaches the existing
// file at path: the path itself on POSIX; on Windows the path in the ANSI
// code page, or its short (8.3) form where a character has no ANSI form.
std::string PathForNarrowApi(const std::string& path);

// Creates path as a new empty file readable only by the user, failing when the
// name is taken. error says why it failed.
CreateResult CreateNewFile(const std::string& path, FileIdentity& identity, std::string& error);
std::optional<FileIdentity> IdentityOfFile(const std::string& path);
bool RemoveFile(const std::string& path);
// Whether the existing file at path could be removed now: its folder lets
// it and, on Windows, it is neither read-only nor held open by a program
// that forbids it (as a spreadsheet holds the file it shows).
bool FileCanBeRemoved(const std::string& path);
// Cuts the file at path to length (an absent file is an error).
bool TruncateFile(const std::string& path, std::uint64_t length);
// The one spelling of an existing file's path that every other spelling of it
// leads to (links followed, "." and ".." gone, and where the system ignores
// letter case, the case as stored). A path that does not exist is made
// absolute and tidied instead.
std::string RealPath(const std::string& path);
// Makes a new file's name in its folder durable, where the system needs that.
void SyncFolderOf(const std::string& path);

enum class RenameResult { kRenamed, kNameTaken, kFailed };

// Gives the file at from the name to (in the same folder), never over a file
// that already bears that name.
RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to);
// When the file at path was last modified, in local time; none when the
// file cannot be asked.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};
std::optional<LocalTime> ModifiedLocalTime(const std::string& path);
// That day, as "YYYYMMDD".
std::optional<std::string> ModifiedDayOfFile(const std::string& path);
// That minute, as "YYYY-MM-DD HH:MM".
std::optional<std::string> ModifiedTimeOfFile(const std::string& path);

}  // namespace valmeric
