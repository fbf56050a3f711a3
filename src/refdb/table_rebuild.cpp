#include "refdb/table_rebuild.h"

#include "common/platform/utf8_path.h"

namespace valmeric {

TableRebuild::TableRebuild(const std::filesystem::path& database, const DownloadSettings& download,
                           const RetryPolicy& retry)
    : lock_(Utf8FromPath(database)),
      db_(Utf8FromPath(database)),
      scratch_(Utf8FromPath(database.parent_path())) {
  settings_.download = download;
  settings_.retry = retry;
  settings_.scratch_path = scratch_.path();
}

int TableRebuild::Run(RebuildTable table,
                      const std::function<void(int prefecture)>& after_prefecture) {
  if (table == RebuildTable::kSubCategories) return RebuildSubCategories(db_.db(), settings_);
  return RebuildCities(db_.db(), settings_, after_prefecture);
}

}  // namespace valmeric
