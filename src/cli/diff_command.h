#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valmeric::cli {

// "diff OLD.csv NEW.csv --output REPORT": writes the change report between two
// collections and prints its path and counts. args follow "diff".
int RunDiff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace valmeric::cli
