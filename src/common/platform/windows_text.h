#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// UTF-8 and the UTF-16 of the wide-character calls, at the edge of the Windows build.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The system's text for an error code of GetLastError(), in UTF-8.
std::string SystemErrorText(unsigned long code);

}  // namespace valmeric
