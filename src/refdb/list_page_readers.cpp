#include "refdb/list_page_readers.h"

#include "common/text/euc_to_ansi.h"
#include "common/text/sjis_text.h"
#include "common/text/strip_tags.h"

namespace valmeric {
namespace {

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

// The sub-category code of a list line: the segment between its first two
// "/", without the "01027" of the page's prefecture and city.
std::string SubCategoryCodeFrom(const std::string& converted_line) {
  const int first = Find(converted_line, "/");
  if (first <= 0) return {};
  const std::string rest =
      Cut(converted_line, first + 1, static_cast<int>(converted_line.size()) - first);
  const int second = Find(rest, "/");
  if (second <= 0) return {};
  return Trim(ReplaceAll(Cut(rest, 1, second - 1), "01027", ""));
}

}  // namespace

std::vector<ListedCity> ReadCityListPage(const PageLines& lines) {
  std::vector<ListedCity> cities;
  // A city line on the first line has no line before it to take the code from.
  for (size_t j = 1; j < lines.size(); ++j) {
    if (!HasAt(TrimView(lines[j]), 3, "i><i")) continue;
    std::string code = CityCodeFrom(lines[j - 1]);
    if (code.empty()) continue;
    cities.push_back({std::move(code), VisibleText(lines[j]), lines.Number(j)});
  }
  return cities;
}

std::vector<ListedSubCategory> ReadSubCategoryListPage(const PageLines& lines) {
  std::vector<ListedSubCategory> subs;
  int category = 0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const std::string_view trimmed = TrimView(lines[j]);
    if (HasAt(trimmed, 1, "<h4")) {
      ++category;
      continue;
    }
    if (!HasAt(trimmed, 1, "<li") || FindBytes(lines[j], "kekka.php") <= 0) continue;
    const std::string converted = EucToAnsi(trimmed);
    std::string code = SubCategoryCodeFrom(converted);
    if (code.empty()) continue;
    subs.push_back({category, std::move(code), Trim(StripTags(converted)), lines.Number(j)});
  }
  return subs;
}

}  // namespace valmeric
