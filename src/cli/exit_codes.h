#pragma once

namespace valmeric::cli {

enum ExitCode : int {
  kExitWrote = 0,          // at least one facility written
  kExitNothingFound = 1,   // finished, nothing found
  kExitUsage = 2,          // usage, configuration or database error
  kExitUnreachable = 3,    // the site could not be reached
  kExitWriteError = 4,     // the output file or the database refused a write
  kExitIncomplete = 5,     // finished, but some pages could not be fetched
  kExitInterrupted = 130,  // stopped by Ctrl-C
};

}  // namespace valmeric::cli
