#include <windows.h>

#include <string>

#include "common/platform/app_paths.h"

namespace valmeric {

std::filesystem::path ExecutableFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return std::filesystem::current_path();
    if (n < name.size()) {
      name.resize(n);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);  // a long path: try again with room for it
  }
}

std::filesystem::path DefaultDatabasePath() {
  return ExecutableFolder() / "db" / "hpt_data.db";
}

std::string_view CommandLineProgramName() {
  return "valmeric-cli.exe";
}

}  // namespace valmeric
