#include "cli/database_path.h"

#include "common/platform/app_paths.h"
#include "common/platform/utf8_path.h"
#include "messages/run_messages.h"

namespace valmeric::cli {

std::filesystem::path NamedDatabasePath(const std::string& named) {
  return named.empty() ? DefaultDatabasePath() : PathFromUtf8(named);
}

std::optional<std::filesystem::path> ExistingDatabase(const std::string& named, std::ostream& err) {
  const std::filesystem::path path = NamedDatabasePath(named);
  // A file that is there is left to the database's own checks, whose words
  // say more (an empty file, a stray -wal).
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) return path;
  err << ForConsole(ConfigErrorText(path, LookAtDatabaseFile(Utf8FromPath(path)))) << "\n";
  return std::nullopt;
}

}  // namespace valmeric::cli
