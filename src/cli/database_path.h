#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace valmeric::cli {

// The database named on the command line, or db/hpt_data.db beside the
// executable. Prints the configuration message, with the path and why, when
// no file is there.
std::optional<std::filesystem::path> ExistingDatabase(const std::string& named, std::ostream& err);

}  // namespace valmeric::cli
