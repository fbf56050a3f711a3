#pragma once

// The two maintenance builders that refill the reference tables from the
// directory site. Each works in one transaction: when a page cannot be fetched
// or read, or lists nothing, the table is left exactly as it was.

#include <functional>
#include <stdexcept>
#include <string>

#include "common/network/page_fetcher.h"
#include "refdb/sqlite_db.h"

namespace valmeric {

struct BuilderSettings {
  DownloadSettings download;
  RetryPolicy retry;
  std::string scratch_path;  // where each page is downloaded
};

// A page could not be fetched, or held something the builder cannot store.
class BuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // placeholder_host: the page could not be fetched from the placeholder
  // host of a build made without the site's host name.
  BuildError(const std::string& message, bool placeholder_host)
      : std::runtime_error(message), placeholder_host_(placeholder_host) {}
  bool placeholder_host() const { return placeholder_host_; }

 private:
  bool placeholder_host_ = false;
};

// Refills T01_City from the city list pages of the 47 prefectures.
// after_prefecture(i) is called once prefecture i has been read; it may throw
// to stop the builder (the table then stays as it was). Returns the number of
// rows stored. Throws BuildError or DbError.
int RebuildCities(Database& db, const BuilderSettings& settings,
                  const std::function<void(int prefecture)>& after_prefecture = {});

// Refills T02_Category from the sub-category list page. Returns the number of
// rows stored. Throws BuildError or DbError.
int RebuildSubCategories(Database& db, const BuilderSettings& settings);

// The status text shown after prefecture i: CityBuilderProgress(i) in Shift_JIS.
std::string CityBuilderStatus(int prefecture);

}  // namespace valmeric
