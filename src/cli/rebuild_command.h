#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valmeric::cli {

enum class RebuildTable { kCities, kSubCategories };

// "rebuild-cities" and "rebuild-categories": refill a reference table from the
// site. args are the options after the command.
int RunRebuild(RebuildTable table, const std::vector<std::string>& args, std::ostream& err);

extern const char kRebuildUsage[];

}  // namespace valmeric::cli
