#pragma once

// The window speaks UTF-16 to the system and UTF-8 to the rest of the program.

#include <string>
#include <string_view>

namespace valmeric::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace valmeric::win32
