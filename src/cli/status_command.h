#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valmeric::cli {

// "status": prints the run recorded in the database. Exit status 0 when it
// has work left (it can be resumed, or has entries to fetch again), 1 when no
// such run is recorded, 2 for a usage or database error.
int RunStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace valmeric::cli
