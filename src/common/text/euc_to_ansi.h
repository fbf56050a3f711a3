#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// Converts a line of the site's EUC-JP text, up to its first zero byte, to
// Shift_JIS (CP932). Never fails: malformed input and characters CP932 cannot
// hold come out as '?'.
std::string EucToAnsi(std::string_view euc);

}  // namespace valmeric
