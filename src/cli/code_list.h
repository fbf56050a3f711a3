#pragma once

#include <string_view>
#include <vector>

namespace valmeric::cli {

// Reads "all" or comma-separated codes between 1 and max_code into ascending,
// distinct codes. Throws std::invalid_argument with the sentence what and
// the bad piece after it.
std::vector<int> ParseCodeList(std::string_view text, int max_code, std::string_view what);

}  // namespace valmeric::cli
