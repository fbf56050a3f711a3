#pragma once

// The window speaks UTF-16 to the system and UTF-8 to the rest of the program.

#include <string>
#include <string_view>

#include "common/platform/windows_text.h"

namespace valmeric::win32 {

inline std::wstring Wide(std::string_view utf8) {
  return WideFromUtf8(utf8);
}
inline std::string Utf8(std::wstring_view wide) {
  return Utf8FromWide(wide);
}

}  // namespace valmeric::win32
