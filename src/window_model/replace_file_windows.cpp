#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "common/platform/utf8_path.h"
#include "common/platform/windows_text.h"
#include "window_model/replace_file.h"

namespace valmeric::window_model {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path, DWORD error) {
  throw std::runtime_error(what + " " + Utf8FromPath(path) + ": " + SystemErrorText(error));
}

}  // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view text) {
  // Renaming would replace a file the user has made read-only; honour that.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) Fail("cannot write", path, ERROR_DIRECTORY);
    if (attributes & FILE_ATTRIBUTE_READONLY) Fail("cannot write", path, ERROR_ACCESS_DENIED);
  }

  std::filesystem::path temp = path;
  temp += L".tmp-" + std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot create", temp, GetLastError());
  size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      DeleteFileW(temp.c_str());
      Fail("cannot write", temp, error);
    }
    done += written;
  }
  const bool flushed = FlushFileBuffers(file) != 0;
  const DWORD flush_error = flushed ? ERROR_SUCCESS : GetLastError();
  const bool closed = CloseHandle(file) != 0;
  if (!flushed || !closed) {
    const DWORD error = !flushed ? flush_error : GetLastError();
    DeleteFileW(temp.c_str());
    Fail("cannot write", temp, error);
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    Fail("cannot replace", path, error);
  }
}

}  // namespace valmeric::window_model
