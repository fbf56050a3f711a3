#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/option_reader.h"
#include "engine/csv_writer.h"
#include "engine/plan.h"
#include "engine/run_mode.h"
#include "engine/run_settings.h"
#include "refdb/run_progress.h"

namespace valmeric::cli {

struct CollectOptions {
  RunMode mode = RunMode::kNew;              // --resume, --retry-failed, --more-pages
  PageScope pages = PageScope::kFirstPages;  // --all-pages: a new run's
  // A new run needs them; with --resume or --retry-failed they may be named
  // again, and must then match the recorded run.
  Selection selection;
  bool has_category = false;
  bool has_prefecture = false;
  bool has_encoding = false;
  std::string output;
  std::string database;  // empty: db/hpt_data.db beside the executable
  RunSettings settings;  // the site's origin comes from VALMERIC_SITE_ORIGIN unless given
  CsvEncoding encoding = CsvEncoding::kCp932;
  bool quiet = false;
  bool xlsx = false;  // the workbook beside the CSV, once facilities are written
};

// Reads the arguments that follow "collect". Throws UsageError.
CollectOptions ParseCollectOptions(const std::vector<std::string>& args);

}  // namespace valmeric::cli
