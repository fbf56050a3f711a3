#pragma once

#include <string>
#include <string_view>

namespace valmeric {

// Removes every match of <[^>]*> without putting anything in its place. A "<"
// with no ">" after it stays, with everything after it.
std::string StripTags(std::string_view text);
std::string StripTags(std::string&& text);  // reuses text when it holds no tag

}  // namespace valmeric
