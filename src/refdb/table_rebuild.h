#pragma once

// The one way a reference table is refilled, for the windows and the command
// line alike: the run lock on the database, the database opened, the
// builder's own scratch file beside it, then one of the two builders.

#include <filesystem>
#include <functional>

#include "common/network/page_fetcher.h"
#include "common/platform/scratch_file.h"
#include "refdb/reference_db.h"
#include "refdb/run_lock.h"
#include "refdb/table_builders.h"

namespace valmeric {

enum class RebuildTable { kCities, kSubCategories };

// Holds the database for one rebuild: no run and no other builder, in this
// process or another, uses it meanwhile.
class TableRebuild final {
 public:
  // Throws RunLockError,
  // DbError or ScratchFileError; nothing is touched then.
  TableRebuild(const std::filesystem::path& database, const DownloadSettings& download,
               const RetryPolicy& retry = {});
  TableRebuild(const TableRebuild&) = delete;
  TableRebuild& operator=(const TableRebuild&) = delete;

  // Refills table. after_prefecture is called after each prefecture of the
  // city builder, as by RebuildCities; the sub-category builder never calls
  // it. Returns the number of rows stored. Throws BuildError or DbError; the
  // table then stays exactly as it was.
  int Run(RebuildTable table, const std::function<void(int prefecture)>& after_prefecture = {});

 private:
  RunLock lock_;
  ReferenceDb db_;
  ScratchFile scratch_;  // the builder's own, apart from any run's
  BuilderSettings settings_;
};

}  // namespace valmeric
