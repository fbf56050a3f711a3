#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/platform/native_file.h"
#include "common/platform/utf8_path.h"
#include "common/platform/windows_text.h"

namespace valmeric {
namespace {

HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Every open shares reading, writing and deleting, as POSIX files do; runs
// keep out of each other through the lock alone.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileW(PathFromUtf8(path).c_str(), access, kShareAll, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The lock is one byte far past any real end of file, so that it keeps out
// other lockers only and never a reader or a writer of the file's bytes.
OVERLAPPED LockRange() {
  OVERLAPPED range{};
  range.Offset = 0;
  range.OffsetHigh = 0x40000000;
  return range;
}

FileIdentity IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return {};
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

NativeFile::~NativeFile() {
  Close();
}

void NativeFile::SetError() {
  error_ = SystemErrorText(GetLastError());
}

bool NativeFile::Open(const std::string& path, Mode mode) {
  Close();
  created_ = false;
  HANDLE handle = INVALID_HANDLE_VALUE;
  switch (mode) {
    case Mode::kWriteCreate: {
      // OPEN_ALWAYS tells a file that was there by ERROR_ALREADY_EXISTS.
      const std::wstring wide = PathFromUtf8(path).wstring();
      handle = CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      created_ = handle != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
      break;
    }
    case Mode::kWriteExisting:
      handle = OpenHandle(path, GENERIC_WRITE, OPEN_EXISTING);
      break;
    case Mode::kLockFile:
      handle = OpenHandle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
      if (handle == INVALID_HANDLE_VALUE) handle = OpenHandle(path, GENERIC_READ, OPEN_EXISTING);
      break;
    case Mode::kProbe:
      handle = OpenHandle(path, GENERIC_READ, OPEN_EXISTING);
      break;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    SetError();
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  return true;
}

bool NativeFile::is_open() const {
  return handle_ != -1;
}

NativeFile::LockResult NativeFile::TryLock() {
  OVERLAPPED range = LockRange();
  if (LockFileEx(Handle(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &range)) {
    return LockResult::kLocked;
  }
  const DWORD code = GetLastError();
  error_ = SystemErrorText(code);
  return code == ERROR_LOCK_VIOLATION ? LockResult::kHeldElsewhere : LockResult::kFailed;
}

bool NativeFile::IsRegularFile() const {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileType(Handle(handle_)) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(Handle(handle_), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

long long NativeFile::WriteSome(const char* data, size_t size) {
  const DWORD asked = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD written = 0;
  if (WriteFile(Handle(handle_), data, asked, &written, nullptr)) return written;
  SetError();
  return -1;
}

bool NativeFile::Truncate(std::uint64_t length) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(length);
  if (SetFilePointerEx(Handle(handle_), at, nullptr, FILE_BEGIN) && SetEndOfFile(Handle(handle_))) {
    return true;
  }
  SetError();
  return false;
}

std::optional<std::uint64_t> NativeFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(handle_), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool NativeFile::SyncData() {
  if (FlushFileBuffers(Handle(handle_))) return true;
  SetError();
  return false;
}

bool NativeFile::Close() {
  if (handle_ == -1) return true;
  const HANDLE handle = Handle(handle_);
  handle_ = -1;
  if (CloseHandle(handle)) return true;
  SetError();
  return false;
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
  return _wfopen(PathFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

namespace {

// wide in the ANSI code page; none when a character has no form there.
std::optional<std::string> InAnsiCodePage(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                       static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return std::nullopt;
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      narrow.data(), size, nullptr, &lossy);
  return narrow;
}

}  // namespace

std::string PathForNarrowApi(const std::string& path) {
  const std::wstring wide = PathFromUtf8(path).wstring();
  if (const auto ansi = InAnsiCodePage(wide)) return *ansi;
  std::wstring short_path(MAX_PATH, L'\0');
  DWORD size = GetShortPathNameW(wide.c_str(), short_path.data(), MAX_PATH);
  if (size > MAX_PATH) {
    short_path.resize(size);
    size = GetShortPathNameW(wide.c_str(), short_path.data(), size);
  }
  if (size == 0) return path;
  short_path.resize(size);
  return InAnsiCodePage(short_path).value_or(path);
}

std::string StdioErrorText() {
  // When a call of the system failed, the C runtime keeps its error beside
  // errno: its words are those of the program's other file errors.
  const unsigned long code = _doserrno;
  return code != 0 ? SystemErrorText(code) : std::strerror(errno);
}

CreateResult CreateNewFile(const std::string& path, FileIdentity& identity, std::string& error) {
  const HANDLE handle = OpenHandle(path, GENERIC_WRITE, CREATE_NEW);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error = SystemErrorText(code);
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS ? CreateResult::kNameTaken
                                                                     : CreateResult::kFailed;
  }
  identity = IdentityOf(handle);
  CloseHandle(handle);
  return CreateResult::kCreated;
}

std::optional<FileIdentity> IdentityOfFile(const std::string& path) {
  const HANDLE handle = OpenHandle(path, 0, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const FileIdentity identity = IdentityOf(handle);
  CloseHandle(handle);
  return identity;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(PathFromUtf8(path).c_str()) != 0;
}

bool FileCanBeRemoved(const std::string& path) {
  const std::wstring wide = PathFromUtf8(path).wstring();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  // Opening for removal fails as DeleteFileW would: a program that holds the
  // file without sharing its removal, or a folder that forbids it.
  const HANDLE handle =
      CreateFileW(wide.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool TruncateFile(const std::string& path, std::uint64_t length) {
  NativeFile file;
  return file.Open(path, NativeFile::Mode::kWriteExisting) && file.Truncate(length) && file.Close();
}

std::string RealPath(const std::string& path) {
  const std::filesystem::path given = PathFromUtf8(path);
  // Opening with backup semantics also opens folders and asks for no access.
  const HANDLE handle = CreateFileW(given.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    std::wstring name(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    if (n >= name.size()) {
      name.resize(n);
      n = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    CloseHandle(handle);
    if (n > 0 && n < name.size()) {
      name.resize(n);
      if (name.starts_with(L"\\\\?\\UNC\\")) {
        name = L"\\\\" + name.substr(8);
      } else if (name.starts_with(L"\\\\?\\")) {
        name = name.substr(4);
      }
      return Utf8FromWide(name);
    }
  }
  std::error_code error;
  return Utf8FromPath(std::filesystem::absolute(given, error).lexically_normal());
}

// NTFS journals the names in a folder itself; there is nothing to sync.
void SyncFolderOf(const std::string&) {}

RenameResult RenameWithoutReplacing(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING a name that is taken refuses the move.
  if (MoveFileExW(PathFromUtf8(from).c_str(), PathFromUtf8(to).c_str(), MOVEFILE_WRITE_THROUGH))
    return RenameResult::kRenamed;
  const DWORD code = GetLastError();
  return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? RenameResult::kNameTaken
                                                                   : RenameResult::kFailed;
}

std::optional<LocalTime> ModifiedLocalTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(PathFromUtf8(path).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::nullopt;
  }
  return LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute};
}

}  // namespace valmeric
