#pragma once

#include <string>
#include <vector>

namespace valmeric::app {

// The scratch download file for a new run: "tmp.dat", or "tmp-2.dat",
// "tmp-3.dat", ... while older runs that have not ended still use the names
// before, so two runs never download into the same file.
std::string FreeScratchName(const std::vector<std::string>& in_use);

}  // namespace valmeric::app
