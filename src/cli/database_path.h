#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace valmeric::cli {

// The database named on the command line (--db), or db/hpt_data.db beside
// the executable when none is named.
std::filesystem::path NamedDatabasePath(const std::string& named);

// The database NamedDatabasePath gives, when a file is there. Prints the configuration message,
// with the path and why, when no file is there.
std::optional<std::filesystem::path> ExistingDatabase(const std::string& named, std::ostream& err);

}  // namespace valmeric::cli
