#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/option_reader.h"
#include "common/site_address.h"
#include "engine/csv_writer.h"
#include "engine/plan.h"

namespace valmeric::cli {

struct CollectOptions {
  Selection selection;
  std::string output;
  std::string database;  // empty: db/hpt_data.db beside the executable
  SiteOrigin origin;
  std::string ca_file;
  std::chrono::milliseconds pause{500};
  std::vector<std::chrono::milliseconds> retry_delays{std::chrono::seconds(2),
                                                      std::chrono::seconds(4)};
  CsvEncoding encoding = CsvEncoding::kCp932;
  bool quiet = false;
};

// Reads the arguments that follow "collect". Throws UsageError.
CollectOptions ParseCollectOptions(const std::vector<std::string>& args);

extern const char kCollectUsage[];

}  // namespace valmeric::cli
