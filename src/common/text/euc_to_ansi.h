#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// Converts a line of the site's EUC-JP text, up to its first zero byte, to
// Shift_JIS (CP932). Never fails: malformed input and characters CP932 cannot
// hold come out as '?'.
std::string EucToAnsi(std::string_view euc);

// Whether text is EUC-JP: its non-ASCII bytes make up well-formed EUC-JP
// characters, a few stray bytes apart. Text in another encoding (UTF-8,
// Shift_JIS) breaks far more characters than it forms.
bool ReadsAsEucJp(std::string_view text);

}  // namespace valmeric
