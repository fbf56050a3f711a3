#include "refdb/table_builders.h"

#include "common/euc_to_ansi.h"
#include "common/site_address.h"
#include "common/sjis_text.h"
#include "common/strip_tags.h"
#include "common/text_encoding.h"
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
std::vector<std::string> FetchPageLines(const std::string& url, const BuilderSettings& settings) {
  CancelToken never_cancelled;
  PageFetcher fetcher(settings.download, settings.retry, never_cancelled);
  try {
    const bool fetched = fetcher.Fetch(url, settings.scratch_path);
    const long status = fetcher.last_status();
    if (!fetched || status < 200 || status > 299) {
      throw BuildError("cannot fetch " + url + ": " +
                       (fetched ? "HTTP " + std::to_string(status) : fetcher.last_error()));
    }
  } catch (const ScratchFileError& error) {
    throw BuildError(std::string("cannot fetch ") + url + ": " + error.what());
  }
  try {
    return LoadLines(settings.scratch_path);
  } catch (const std::runtime_error& error) {
    throw BuildError(error.what());
  }
}

bool IsPlainDecimal(std::string_view text) {
  return !text.empty() && text.size() <= 18 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A code cut from a page must be a number; anything else means the site's
// markup changed, and storing it would put text into a number column.
void CheckCode(const std::string& code, const std::string& url, size_t line_index) {
  if (IsPlainDecimal(code)) return;
  throw BuildError(url + " line " + std::to_string(line_index + 1) + ": the code \"" +
                   SjisToUtf8(code) + "\" is not a number");
}

std::string VisibleText(std::string_view raw_line) {
  return Trim(StripTags(EucToAnsi(TrimView(raw_line))));
}

// The city code from the line before a city line: what follows its first "&",
// without "city_no=" and "\">".
std::string CityCodeFrom(std::string_view raw_previous_line) {
  const std::string text = EucToAnsi(TrimView(raw_previous_line));
  const int amp = Find(text, "&");
  if (amp <= 0) return {};
  std::string code = Cut(text, amp + 1, static_cast<int>(text.size()) - amp);
  ReplaceAllInPlace(code, "city_no=", "");
  ReplaceAllInPlace(code, "\">", "");
  return code;
}

int ReadCityPage(Statement& insert, int prefecture,
                 const BuilderSettings& settings) {
  const std::string url = CityListUrl(prefecture);
  const std::vector<std::string> lines = FetchPageLines(url, settings);
  int rows = 0;
  // A city line on the first line has no line before it to take the code from.
  for (size_t j = 1; j < lines.size(); ++j) {
    if (!HasAt(TrimView(lines[j]), 3, "i><i")) continue;
    const std::string code = CityCodeFrom(lines[j - 1]);
    if (code.empty()) continue;
    CheckCode(code, url, j);
    insert.Reset();
    insert.BindInt(1, prefecture).BindText(2, VisibleText(lines[j])).BindDecimal(3, code);
    insert.Execute();
    ++rows;
  }
  return rows;
}

// The sub-category code of a list line: the segment between its first two
// "/", without the "01027" of the page's prefecture and city.
std::string SubCategoryCodeFrom(const std::string& converted_line) {
  const int first = Find(converted_line, "/");
  if (first <= 0) return {};
  const std::string rest = Cut(converted_line, first + 1, static_cast<int>(converted_line.size()) - first);
  const int second = Find(rest, "/");
  if (second <= 0) return {};
  return Trim(ReplaceAll(Cut(rest, 1, second - 1), "01027", ""));
}

}  // namespace

std::string CityBuilderStatus(int prefecture) {
  return Utf8ToSjis("県コード：" + std::to_string(prefecture) + " 取得中");
}

int RebuildCities(Database& db, const BuilderSettings& settings,
                  const std::function<void(int prefecture)>& after_prefecture) {
  return InTransaction(db, [&] {
    db.Execute(sql::kClearCities);
    Statement insert = db.Prepare(sql::kInsertCity);
    int rows = 0;
    for (int prefecture = 1; prefecture <= 47; ++prefecture) {
      rows += ReadCityPage(insert, prefecture, settings);
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
    const std::vector<std::string> lines = FetchPageLines(url, settings);
    int category = 0;
    int rows = 0;
    for (size_t j = 0; j < lines.size(); ++j) {
      const std::string_view trimmed = TrimView(lines[j]);
      if (HasAt(trimmed, 1, "<h4")) {
        ++category;
        continue;
      }
      if (!HasAt(trimmed, 1, "<li") || FindBytes(lines[j], "kekka.php") <= 0) continue;
      const std::string converted = EucToAnsi(trimmed);
      const std::string code = SubCategoryCodeFrom(converted);
      if (code.empty()) continue;
      CheckCode(code, url, j);
      insert.Reset();
      insert.BindInt(1, category).BindText(2, Trim(StripTags(converted))).BindDecimal(3, code);
      insert.Execute();
      ++rows;
    }
    return rows;
  });
}

}  // namespace valmeric
