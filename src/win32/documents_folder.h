#pragma once

#include <filesystem>

namespace valmeric::win32 {

// The user's Documents folder (FOLDERID_Documents); empty when the system
// names none.
std::filesystem::path DocumentsFolder();

}  // namespace valmeric::win32
