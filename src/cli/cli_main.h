#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace valmeric::cli {

// The whole command line, args without the program name. Returns the exit code.
int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& interrupted, bool terminal);

}  // namespace valmeric::cli
