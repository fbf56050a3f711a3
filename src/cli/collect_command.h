#pragma once

#include <atomic>
#include <ostream>

#include "cli/collect_options.h"

namespace valmeric::cli {

// Carries out one collection run. interrupted is polled while the run goes on;
// once it is set the run stops after the entry being read.
int RunCollect(const CollectOptions& options, std::ostream& out, std::ostream& err,
               const std::atomic<bool>& interrupted, bool terminal);

}  // namespace valmeric::cli
