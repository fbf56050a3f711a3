#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace valmeric {

// Appends the non-empty pieces of text between occurrences of delimiter to
// pieces (found as Find finds them). An empty delimiter adds the whole text.
void SplitText(std::string_view text, std::string_view delimiter, std::vector<std::string>& pieces);

}  // namespace valmeric
