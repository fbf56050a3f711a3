#pragma once

#include <filesystem>
#include <string_view>

namespace valmeric {

// Folder of the running executable.
std::filesystem::path ExecutableFolder();

// db/hpt_data.db under the executable's folder.
std::filesystem::path DefaultDatabasePath();

// The command line program's name as a user types it in a console:
// "valmeric-cli", or "valmeric-cli.exe" on Windows.
std::string_view CommandLineProgramName();

}  // namespace valmeric
