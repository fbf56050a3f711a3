#pragma once

#include <filesystem>

namespace valmeric {

// Folder of the running executable.
std::filesystem::path ExecutableFolder();

// db/hpt_data.db under the executable's folder.
std::filesystem::path DefaultDatabasePath();

}  // namespace valmeric
