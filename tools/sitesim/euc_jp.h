#pragma once

#include <string>
#include <string_view>

namespace valmeric::sitesim {

// UTF-8 to the site's EUC-JP (the Microsoft variant, which holds every
// character of Windows code page 932). Throws std::runtime_error when a
// character has no EUC-JP form: the site never serves a page it cannot spell.
std::string Utf8ToEucJp(std::string_view utf8);

// The reverse, for checks on served pages.
std::string EucJpToUtf8(std::string_view euc);

}  // namespace valmeric::sitesim
