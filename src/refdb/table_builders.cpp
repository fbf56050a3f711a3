#include "refdb/table_builders.h"

#include "common/network/site_address.h"
#include "common/text/sjis_text.h"
#include "common/text/text_encoding.h"
#include "messages/detail_text.h"
#include "messages/user_messages.h"
#include "refdb/list_page_readers.h"
#include "refdb/statements.h"

namespace valmeric {
namespace {

// Runs body inside one transaction; anything it throws rolls the table back.
template <typename Body>
int InTransaction(Database& db, Body body) {
  db.Execute("BEGIN IMMEDIATE");
  try {
    const int rows = body();
    db.Execute("COMMIT");
    return rows;
  } catch (...) {
    try {
      db.Execute("ROLLBACK");
    } catch (const DbError&) {  // SQLite may have rolled back already
    }
    throw;
  }
}

// Fetches url into the scratch file and loads its lines; a page that does not
// arrive whole with a 2xx status is never read.
PageLines FetchPageLines(const std::string& url, const BuilderSettings& settings) {
  CancelToken never_cancelled;
  PageFetcher fetcher(settings.download, settings.retry, never_cancelled);
  try {
    const bool fetched = fetcher.Fetch(url, settings.scratch_path);
    const long status = fetcher.last_status();
    if (!fetched || status < 200 || status > 299) {
      const bool placeholder = AimsAtPlaceholderHost(settings.download.origin);
      throw BuildError(Detail(detail::kListPageNotFetched, url) + "\n" +
                           (fetched ? HttpStatusText(status) : fetcher.last_error()) +
                           (placeholder ? std::string("\n") + detail::kBuiltWithoutSiteHost : ""),
                       placeholder);
    }
  } catch (const ScratchFileError& error) {
    throw BuildError(Detail(detail::kListPageNotFetched, url) + "\n" + error.what());
  }
  try {
    return PageLines::Load(settings.scratch_path);
  } catch (const std::runtime_error& error) {
    throw BuildError(error.what());
  }
}

// A code cut from a page must be a number; anything else means the site's
// markup changed, and storing it would put text into a number column.
void CheckCode(const std::string& code, const std::string& url, size_t line) {
  if (IsPlainDecimal(code)) return;
  throw BuildError(
      Detail(detail::kListPageBadCode, AtLine(url, line) + "\"" + SjisToUtf8(code) + "\""));
}

int StoreCities(Statement& insert, int prefecture, const BuilderSettings& settings) {
  const std::string url = CityListUrl(prefecture);
  const std::vector<ListedCity> cities = ReadCityListPage(FetchPageLines(url, settings));
  // Every prefecture has cities: a page that lists none (a maintenance
  // notice, changed markup) must not empty the prefecture.
  if (cities.empty()) throw BuildError(Detail(detail::kListPageNoCity, url));
  for (const ListedCity& city : cities) {
    CheckCode(city.code, url, city.line);
    insert.Reset();
    insert.BindInt(1, prefecture).BindText(2, city.name).BindDecimal(3, city.code);
    insert.Execute();
  }
  return static_cast<int>(cities.size());
}

}  // namespace

std::string CityBuilderStatus(int prefecture) {
  return Utf8ToSjis(CityBuilderProgress(prefecture));
}

int RebuildCities(Database& db, const BuilderSettings& settings,
                  const std::function<void(int prefecture)>& after_prefecture) {
  return InTransaction(db, [&] {
    db.Execute(sql::kClearCities);
    Statement insert = db.Prepare(sql::kInsertCity);
    int rows = 0;
    for (int prefecture = 1; prefecture <= 47; ++prefecture) {
      rows += StoreCities(insert, prefecture, settings);
      if (after_prefecture) after_prefecture(prefecture);
    }
    return rows;
  });
}

int RebuildSubCategories(Database& db, const BuilderSettings& settings) {
  const std::string url = SubCategoryListUrl();
  return InTransaction(db, [&] {
    db.Execute(sql::kClearSubCategories);
    Statement insert = db.Prepare(sql::kInsertSubCategory);
    const auto subs = ReadSubCategoryListPage(FetchPageLines(url, settings));
    if (subs.empty()) throw BuildError(Detail(detail::kListPageNoSubCategory, url));
    for (const ListedSubCategory& sub : subs) {
      CheckCode(sub.code, url, sub.line);
      insert.Reset();
      insert.BindInt(1, sub.category).BindText(2, sub.name).BindDecimal(3, sub.code);
      insert.Execute();
    }
    const int rows = static_cast<int>(subs.size());
    return rows;
  });
}

}  // namespace valmeric
