#include "win32/documents_folder.h"

#include <windows.h>
// after windows.h, which they build on
#include <knownfolders.h>
#include <shlobj.h>

namespace valmeric::win32 {

std::filesystem::path DocumentsFolder() {
  PWSTR path = nullptr;
  std::filesystem::path folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path))) folder = path;
  CoTaskMemFree(path);  // owed even when the call fails
  return folder;
}

}  // namespace valmeric::win32
