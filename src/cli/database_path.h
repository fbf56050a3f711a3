#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace valmeric::cli {

// The database named on the command line, or db/hpt_data.db beside the
// executable. Prints the configuration message when the file is missing.
std::optional<std::filesystem::path> ExistingDatabase(const std::string& named, std::ostream& err);

}  // namespace valmeric::cli
