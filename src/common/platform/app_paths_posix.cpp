#include "common/platform/app_paths.h"

#include <system_error>

namespace valmeric {

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path();
  return exe.parent_path();
}

std::filesystem::path DefaultDatabasePath() {
  return ExecutableFolder() / "db" / "hpt_data.db";
}

std::string_view CommandLineProgramName() {
  return "valmeric-cli";
}

}  // namespace valmeric
