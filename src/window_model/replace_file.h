#pragma once

#include <filesystem>
#include <string_view>

namespace valmeric::window_model {

// Makes text the whole content of the file at path: written to a temporary
// file beside it, made durable and renamed into place, so the file is never
// left half written. A file the user has made read-only, or a folder of that
// name, is not replaced. Throws std::runtime_error, naming the path in UTF-8.
// replace_file_posix.cpp and replace_file_windows.cpp are the two halves.
void ReplaceFileContents(const std::filesystem::path& path, std::string_view text);

}  // namespace valmeric::window_model
