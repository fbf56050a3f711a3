#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/network/page_fetcher.h"
#include "refdb/table_rebuild.h"

namespace valmeric::cli {

struct RebuildOptions {
  std::string database;  // empty: db/hpt_data.db beside the executable
  DownloadSettings download;
  RetryPolicy retry;
  bool quiet = false;
};

// Reads the options after "rebuild-cities" or "rebuild-categories". Throws
// UsageError.
RebuildOptions ParseRebuildOptions(const std::vector<std::string>& args);

// "rebuild-cities" and "rebuild-categories": refill a reference table from the
// site. args are the options after the command.
int RunRebuild(RebuildTable table, const std::vector<std::string>& args, std::ostream& err);

}  // namespace valmeric::cli
